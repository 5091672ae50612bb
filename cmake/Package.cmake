# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in a Release build folder (./scripts/setup.sh package).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brenvik3d)
set(CPACK_PACKAGE_VENDOR "The Brenvik 3D developers")
set(CPACK_PACKAGE_CONTACT ${BRENVIK_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "draw history study of the lotteries 福彩3D and 体彩排列3")
set(CPACK_PACKAGE_DESCRIPTION
    "Brenvik 3D keeps years of draws of the three-digit lotteries 福彩3D and
体彩排列3 in a local database and answers the question: after draws that
looked like the latest one, what came next? Its follow search and
combination search tally what followed by number, big/small, odd/even or
segment. The history is fed by hand, from history text files or from a
draw-chart web page, and every grid can be exported to a spreadsheet.

The package holds the window program brenvik3d and the command-line
companion brenvik3d-cli.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${PROJECT_HOMEPAGE_URL})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names every library the programs and their plugins link, with the version
# their symbols need: the plugins link libxml2 and libcurl as any program does.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The captions are Chinese: without a CJK font the window shows empty boxes. Opening the manual
# and the exported files goes through xdg-open; Qt's own dialogs speak Chinese with its translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")

# Stripped as Debian strips a program: the compiler's identification goes as well.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(binary ${CMAKE_INSTALL_BINDIR}/brenvik3d ${CMAKE_INSTALL_BINDIR}/brenvik3d-cli
                   ${BRENVIK_PLUGIN_DIR}/$<TARGET_FILE_NAME:brenvik3d-html>
                   ${BRENVIK_PLUGIN_DIR}/$<TARGET_FILE_NAME:brenvik3d-http>
                   ${BRENVIK_PLUGIN_DIR}/$<TARGET_FILE_NAME:brenvik3d-xlsx>
                   ${BRENVIK_PLUGIN_DIR}/$<TARGET_FILE_NAME:brenvik3d-surfaces>)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${binary}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

include(CPack)
