# project_test_environment(<variable> <VAR=value...>): the given environment plus what this
# tree's sanitizers read.
function(project_test_environment variable)
  set(env ${ARGN})
  if(SANITIZE MATCHES "thread")
    list(APPEND env "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${CMAKE_SOURCE_DIR}/cmake/tsan.supp")
  elseif(SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=1" "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
                    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp")
  endif()
  set(${variable} "${env}" PARENT_SCOPE)
endfunction()

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
  project_test_environment(env QT_QPA_PLATFORM=offscreen ${ARG_ENVIRONMENT})
  set_tests_properties(${name}${TEST_NAME_SUFFIX} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300
                       LABELS "${ARG_LABELS}" SKIP_REGULAR_EXPRESSION "SKIP   : [A-Za-z0-9_:]+::initTestCase\\(\\)")
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${name}${TEST_NAME_SUFFIX} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()

# Debian's own interpreter: pyatspi is installed for it alone (a python3 earlier on PATH, from
# pyenv or a virtual environment, lacks it).
find_program(SYSTEM_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)

# project_add_screen_reader_test(<name> SCRIPT <file> WINDOW_MANAGER <name> ARGS <arguments...>)
# Registers a script that works a program on the test display through AT-SPI alone, as a screen
# reader does, under a real window manager. The script reports a skip (no pyatspi, no
# accessibility bus launcher, no window manager) with a line starting "SKIP:".
function(project_add_screen_reader_test name)
  cmake_parse_arguments(ARG "" "SCRIPT;WINDOW_MANAGER" "ARGS" ${ARGN})
  if(SYSTEM_PYTHON3)
    set(command $<TARGET_FILE:with_window_manager> ${ARG_WINDOW_MANAGER} ${SYSTEM_PYTHON3}
                ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_SCRIPT} ${ARG_ARGS})
  else()
    set(command ${CMAKE_COMMAND} -E echo "SKIP: /usr/bin/python3 is missing")
  endif()
  add_test(NAME ${name}${TEST_NAME_SUFFIX} COMMAND ${command})
  project_test_environment(env "PYTHONPATH=${CMAKE_SOURCE_DIR}/testsupport")
  set_tests_properties(${name}${TEST_NAME_SUFFIX} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300
                       LABELS display RESOURCE_LOCK "display;sound_server" SKIP_REGULAR_EXPRESSION "SKIP: ")
endfunction()
