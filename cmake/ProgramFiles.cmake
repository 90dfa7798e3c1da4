# What each program ships besides its executable, in one place for both.

set(PROGRAM_ICON_SIZES 16 22 24 32 48 64 128 256)

# program_desktop_files(<target> <program>)
# Compiles the program icon into <target> (as :/<program>/icons/<size>/<program>.png) and installs
# it, with the desktop entry, where the desktop's menus find them. The files come from
# <program>/res/: icons/<size>/<program>.png, icons/<program>.svg, <program>.desktop.
function(program_desktop_files target program)
  set(res ${PROJECT_SOURCE_DIR}/${program}/res)
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
                   -P ${PROJECT_SOURCE_DIR}/cmake/CheckInstall.cmake)
endfunction()
