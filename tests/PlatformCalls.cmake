# SPDX-License-Identifier: GPL-3.0-or-later
# Every call to the operating system stays in the platform files of core (src/core/Platform*.cpp),
# the one place a port to another system rewrites; and the data folder and the settings file are
# found by core's one function for both programs, never by a path the window or the companion
# makes up. Run as a test: cmake -DSOURCES=<src folder> -P PlatformCalls.cmake
get_filename_component(SOURCES "${SOURCES}" ABSOLUTE)
file(GLOB_RECURSE files RELATIVE ${SOURCES} ${SOURCES}/*.h ${SOURCES}/*.cpp)
if(NOT files)
  message(FATAL_ERROR "No source files in ${SOURCES}")
endif()
set(system_headers "(unistd|fcntl|dlfcn|iconv|pwd|grp|pthread|signal|poll|dirent|termios|spawn|sys/[^>]+)\\.h|csignal")
set(found "")
foreach(file IN LISTS files)
  if(file MATCHES "^core/Platform[A-Za-z]*\\.cpp$")
    continue()
  endif()
  file(STRINGS ${SOURCES}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*<(${system_headers})>")
  foreach(line IN LISTS lines)
    string(APPEND found "  src/${file}: ${line}\n")
  endforeach()
  file(STRINGS ${SOURCES}/${file} lines
       REGEX "getenv\\(\"(HOME|XDG_[A-Z_]*|BRENVIK3D_HOME)\"|QStandardPaths::(App|Generic)?(Data|LocalData|Config)Location")
  foreach(line IN LISTS lines)
    string(APPEND found "  src/${file}: ${line}\n")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "System calls or per-user folders outside src/core/Platform*.cpp:\n${found}")
endif()
list(LENGTH files count)
message(STATUS "${count} source files: every system call in the platform files")
