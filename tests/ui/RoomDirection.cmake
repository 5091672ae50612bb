# SPDX-License-Identifier: GPL-3.0-or-later
# Builds each probe of PROBES ("room:header" pairs, comma separated) in BUILD_DIR and fails unless the
# compiler could not find the header: a folder of the window may include only what it may use.
string(REPLACE "," ";" PROBES "${PROBES}")
foreach(probe IN LISTS PROBES)
  string(REPLACE ":" ";" parts "${probe}")
  list(GET parts 0 room)
  list(GET parts 1 header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ui_probe_${room}
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
  string(REPLACE "." "\\." pattern "${header}")
  if(rc EQUAL 0 OR NOT out MATCHES "${pattern}'?(: No such file| file not found)")
    message(SEND_ERROR "src/ui/${room} reaches ${header}, which it may not use:\n${out}")
  endif()
endforeach()
