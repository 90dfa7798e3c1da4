# project_add_test(<name> SOURCES <files...> LIBS <targets...> [ENVIRONMENT <VAR=value...>]
#                   [LABELS <labels...>] [RESOURCE_LOCK <resources...>])
# Builds one Qt Test executable and registers it with CTest. Window tests run on the offscreen
# platform unless they ask for a display of their own through ENVIRONMENT. Tests that share the
# test run's X display or sound server name it in RESOURCE_LOCK (display, sound_server), so that
# the trees' copies of one test never play or flash at the same time. A test whose initTestCase
# skips (no X server, no sound server, ...) runs none of its cases yet ends with success: CTest
# reports it as skipped. One case that skips among cases that pass leaves the test passed; a
# case whose skip has to show goes into an executable of its own that skips in initTestCase.
function(project_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENVIRONMENT;LABELS;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name}${TEST_NAME_SUFFIX} COMMAND ${name})
  set(env QT_QPA_PLATFORM=offscreen ${ARG_ENVIRONMENT})
  if(SANITIZE MATCHES "thread")
    list(APPEND env "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${CMAKE_SOURCE_DIR}/cmake/tsan.supp")
  elseif(SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=1" "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
                    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp")
  endif()
  set_tests_properties(${name}${TEST_NAME_SUFFIX} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300
                       LABELS "${ARG_LABELS}" SKIP_REGULAR_EXPRESSION "SKIP   : [A-Za-z0-9_:]+::initTestCase\\(\\)")
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${name}${TEST_NAME_SUFFIX} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()
