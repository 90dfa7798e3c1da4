# What the build looks for on the system, and the Debian package that brings each, so that a
# missing one is named with what installs it.

set(DEBIAN_PACKAGE_FOR_Qt6 qt6-base-dev)
set(DEBIAN_PACKAGE_FOR_PkgConfig pkg-config)
set(DEBIAN_PACKAGE_FOR_libpulse libpulse-dev)
set(DEBIAN_PACKAGE_FOR_libpulse-simple libpulse-dev)
set(DEBIAN_PACKAGE_FOR_x11 libx11-dev)
set(DEBIAN_PACKAGE_FOR_xcb libxcb1-dev)
set(DEBIAN_PACKAGE_FOR_xcb-xtest libxcb-xtest0-dev)
set(DEBIAN_PACKAGE_FOR_sm libsm-dev)
set(DEBIAN_PACKAGE_FOR_ice libice-dev)

# project_missing_packages(<what> <Debian packages...>): stops configuring, naming what is missing,
# the packages that bring it and, for what only the tests need, the build that does without.
function(project_missing_packages what)
  list(REMOVE_DUPLICATES ARGN)
  list(JOIN ARGN " " packages)
  set(text "${what} not found. On Debian, install: apt-get install ${packages}")
  if(BUILD_TESTING AND PROJECT_FOR_TESTS_ONLY)
    string(APPEND text "\nOnly the tests need it: -DBUILD_TESTING=OFF builds the programs without them.")
  endif()
  message(FATAL_ERROR "${text}")
endfunction()

# project_find_modules(<prefix> [TESTS_ONLY] <pkg-config modules...>)
# pkg_check_modules(<prefix> REQUIRED IMPORTED_TARGET <modules...>), which names the missing
# modules' packages when it fails.
macro(project_find_modules prefix)
  set(_project_modules ${ARGN})
  set(PROJECT_FOR_TESTS_ONLY OFF)
  if("TESTS_ONLY" IN_LIST _project_modules)
    list(REMOVE_ITEM _project_modules TESTS_ONLY)
    set(PROJECT_FOR_TESTS_ONLY ON)
  endif()
  pkg_check_modules(${prefix} IMPORTED_TARGET ${_project_modules})
  if(NOT ${prefix}_FOUND)
    set(_project_absent)
    set(_project_packages)
    foreach(_project_module IN LISTS _project_modules)
      execute_process(COMMAND ${PKG_CONFIG_EXECUTABLE} --exists ${_project_module}
                      RESULT_VARIABLE _project_status)
      if(NOT _project_status EQUAL 0)
        list(APPEND _project_absent ${_project_module})
        list(APPEND _project_packages ${DEBIAN_PACKAGE_FOR_${_project_module}})
      endif()
    endforeach()
    list(JOIN _project_absent ", " _project_absent)
    project_missing_packages("pkg-config: ${_project_absent}" ${_project_packages})
  endif()
endmacro()
