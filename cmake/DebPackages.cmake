# Makes both Debian packages, one cpack run each, the same bytes for the same sources every time:
# the time stamps inside them come from SOURCE_DATE_EPOCH, which is the caller's when set, else
# the last commit's date, else (outside git) the package's release date.
#   cmake -DSOURCE_DIR=... -DCPACK=... -DPACKAGES=glintmark=2026-12-10,tonewell=2026-12-10
#         -P DebPackages.cmake          (in the build folder)

# epoch_of_date(<variable> <YYYY-MM-DD>): seconds from 1970-01-01 to midnight UTC of the date.
function(epoch_of_date variable date)
  if(NOT date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "not a YYYY-MM-DD date: '${date}'")
  endif()
  set(y ${CMAKE_MATCH_1})
  math(EXPR m "1${CMAKE_MATCH_2} - 100")
  math(EXPR d "1${CMAKE_MATCH_3} - 100")
  # Years from March, so that the leap day ends a year.
  if(m LESS_EQUAL 2)
    math(EXPR y "${y} - 1")
    math(EXPR m "${m} + 9")
  else()
    math(EXPR m "${m} - 3")
  endif()
  math(EXPR days "365 * ${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + (153 * ${m} + 2) / 5 + ${d} - 1 - 719468")
  math(EXPR seconds "${days} * 86400")
  set(${variable} ${seconds} PARENT_SCOPE)
endfunction()

set(commit_epoch "")
find_program(GIT_EXECUTABLE git)
if(GIT_EXECUTABLE)
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" log -1 --format=%ct
                  RESULT_VARIABLE status OUTPUT_VARIABLE commit_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT commit_epoch MATCHES "^[0-9]+$")
    set(commit_epoch "")
  endif()
endif()

string(REPLACE "," ";" PACKAGES "${PACKAGES}")
foreach(entry IN LISTS PACKAGES)
  string(REPLACE "=" ";" fields "${entry}")
  list(GET fields 0 package)
  list(GET fields 1 release_date)
  if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  elseif(commit_epoch)
    set(epoch ${commit_epoch})
  else()
    epoch_of_date(epoch ${release_date})
  endif()
  message(STATUS "${package}: SOURCE_DATE_EPOCH=${epoch}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=${epoch}
                          "${CPACK}" --config CPackConfig.cmake -D CPACK_COMPONENTS_ALL=${package}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cpack failed for ${package}")
  endif()
endforeach()
