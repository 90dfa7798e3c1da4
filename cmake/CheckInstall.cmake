# Installs the build tree BUILD_DIR into a scratch PREFIX and checks that every file of
# EXPECTED (paths relative to the prefix) is there.
#   cmake -DBUILD_DIR=... -DPREFIX=... "-DEXPECTED=bin/x;share/x/y" -P CheckInstall.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(missing)
foreach(file IN LISTS EXPECTED)
  if(NOT EXISTS "${PREFIX}/${file}")
    list(APPEND missing "${file}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
if(missing)
  message(FATAL_ERROR "not installed: ${missing}")
endif()
message(STATUS "all ${EXPECTED} installed")
