# SPDX-License-Identifier: GPL-3.0-or-later
# The flags Debian builds its packages with, from dpkg-buildflags with every hardening feature on:
# fortified string and memory functions, the stack protector, read-only relocations bound at start
# and position-independent programs. The release preset turns this on, so the package holds what
# a distribution would have built.
option(BRENVIK_DEBIAN_FLAGS "Compile and link with the flags of dpkg-buildflags (hardening=+all)" OFF)
if(NOT BRENVIK_DEBIAN_FLAGS)
  return()
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
  message(FATAL_ERROR "BRENVIK_DEBIAN_FLAGS needs dpkg-buildflags (Debian package dpkg-dev).")
endif()
# Run in the sources, so that the path prefix it maps away is theirs and the programs do not hold
# the folder they were built in.
set(ENV{DEB_BUILD_MAINT_OPTIONS} hardening=+all)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(COMMAND ${DPKG_BUILDFLAGS} --get ${kind} WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(debian_${kind} UNIX_COMMAND "${flags}")
endforeach()
message(STATUS "dpkg-buildflags: ${debian_CPPFLAGS} ${debian_CXXFLAGS}; linking ${debian_LDFLAGS}")
# After the build type's own flags, as a distribution's build gives them: its -O2 and -g count.
add_compile_options(${debian_CPPFLAGS} ${debian_CXXFLAGS})
add_link_options(${debian_LDFLAGS})

# The compiler may build position-independent programs by default; say so rather than rely on it.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
