# What each program ships besides its executable, in one place for both.

set(PROGRAM_ICON_SIZES 16 22 24 32 48 64 128 256)

# program_version_header(<target>)
# Gives <target> (and what links it) the header <Project>Version.h with the current project's
# version and the icon sizes, for the window titles, About boxes and icons.
function(program_version_header target)
  set(PROGRAM_NAME ${PROJECT_NAME})
  list(JOIN PROGRAM_ICON_SIZES ", " PROGRAM_ICON_SIZE_LIST)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/version)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/ProgramVersion.h.in ${dir}/${PROJECT_NAME}Version.h @ONLY)
  target_include_directories(${target} PUBLIC ${dir})
endfunction()

# program_help_page(<program> <page>)
# The help page with the project's version filled in: beside the executable in the build tree
# and installed in the program's share folder.
function(program_help_page program page)
  configure_file(${page} ${CMAKE_CURRENT_BINARY_DIR}/help.html @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/${program})
endfunction()

# program_desktop_files(<target> <program>)
# Compiles the program icon into <target> (as :/<program>/icons/<size>/<program>.png) and installs
# it, with the desktop entry, where the desktop's menus find them. The files come from
# <program>/res/: icons/<size>/<program>.png, icons/<program>.svg, <program>.desktop.
function(program_desktop_files target program)
  set(res ${CMAKE_SOURCE_DIR}/${program}/res)
  set(icons)
  foreach(size IN LISTS PROGRAM_ICON_SIZES)
    list(APPEND icons ${res}/icons/${size}/${program}.png)
    install(FILES ${res}/icons/${size}/${program}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  qt_add_resources(${target} ${program}_icons PREFIX /${program} BASE ${res} FILES ${icons})
  install(FILES ${res}/icons/${program}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${res}/${program}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endfunction()

# program_add_install_test(<program> <files...>)
# A test that installs the build into a scratch prefix and checks that <files> (relative to the
# prefix), the program's desktop entry and all its icons are there.
function(program_add_install_test program)
  set(installed ${ARGN} share/applications/${program}.desktop
      share/icons/hicolor/scalable/apps/${program}.svg)
  foreach(size IN LISTS PROGRAM_ICON_SIZES)
    list(APPEND installed share/icons/hicolor/${size}x${size}/apps/${program}.png)
  endforeach()
  add_test(NAME ${program}_install${TEST_NAME_SUFFIX}
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DPREFIX=${CMAKE_CURRENT_BINARY_DIR}/install-check "-DEXPECTED=${installed}"
                   -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
endfunction()
