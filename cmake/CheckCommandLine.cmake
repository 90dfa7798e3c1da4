# Runs PROGRAM with ARGS as a terminal user without a display would (no DISPLAY, WAYLAND_DISPLAY
# or QT_QPA_PLATFORM) and checks its exit status and what it printed.
#   cmake -DPROGRAM=... "-DARGS=--version" -DSTATUS=0 "-DSTDOUT=<regex>" "-DSTDERR=<regex>"
#         -P CheckCommandLine.cmake
# An empty STDOUT or STDERR regex means the stream must stay empty; \n in a regex is a line break.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                        --unset=QT_QPA_PLATFORM "${PROGRAM}" ${ARGS}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
set(problems)
if(NOT status STREQUAL STATUS)
  list(APPEND problems "exit status ${status}, expected ${STATUS}")
endif()
set(text_STDOUT "${out}")
set(text_STDERR "${err}")
foreach(stream IN ITEMS STDOUT STDERR)
  set(text "${text_${stream}}")
  string(REPLACE "\\n" "\n" regex "${${stream}}")
  if(regex STREQUAL "")
    if(NOT text STREQUAL "")
      list(APPEND problems "${stream} should be empty")
    endif()
  elseif(NOT text MATCHES "${regex}")
    list(APPEND problems "${stream} does not match ${regex}")
  endif()
endforeach()
if(problems)
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: ${problems}\n--- stdout:\n${out}--- stderr:\n${err}")
endif()
message(STATUS "${PROGRAM} ${ARGS}: status ${status}\n${out}${err}")
