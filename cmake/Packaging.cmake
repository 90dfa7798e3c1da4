# The Debian packages glintmark and tonewell, one per program, since they ship and run apart.
# Each carries its own program's version, so cpack makes one package per run:
#   cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build build-deb --target deb       # build-deb/glintmark_*.deb, build-deb/tonewell_*.deb

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glintmark-tonewell)
set(CPACK_PACKAGE_VENDOR "${PROJECT_COPYRIGHT_HOLDER}")
set(CPACK_PACKAGE_CONTACT "${PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
# The man pages and the data folder's path were made for this prefix.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL glintmark tonewell)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${PACKAGE_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Qt's platform plugins (xcb among them) are only a recommendation of Qt's GUI library, and
# neither program can open a window without them.
set(qt_platform_plugins qt6-qpa-plugins)

set(CPACK_DEBIAN_GLINTMARK_PACKAGE_NAME glintmark)
set(CPACK_DEBIAN_GLINTMARK_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_GLINTMARK_PACKAGE_DEPENDS ${qt_platform_plugins})
# The flash font is Arial, which fontconfig finds as Liberation Sans; the help page opens in the
# desktop's browser.
set(CPACK_DEBIAN_GLINTMARK_PACKAGE_RECOMMENDS "fonts-liberation, xdg-utils")
set(CPACK_COMPONENT_GLINTMARK_DESCRIPTION "flash chosen affirmations briefly over the desktop
Glintmark is an affirmation flasher. It keeps a library of short texts in
categories; the ticked texts flash one after another for a few milliseconds in
a transparent window above everything else, at a chosen place, pace, font and
colour. While it flashes it can wait in the notification area.

Glintmark runs on X11, and on XWayland in a Wayland session.")

set(CPACK_DEBIAN_TONEWELL_PACKAGE_NAME tonewell)
set(CPACK_DEBIAN_TONEWELL_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_TONEWELL_PACKAGE_DEPENDS ${qt_platform_plugins})
set(CPACK_DEBIAN_TONEWELL_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, xdg-utils")
set(CPACK_COMPONENT_TONEWELL_DESCRIPTION "binaural-beat player for headphones
Tonewell plays binaural beats: pick a listening program from its catalogue,
choose after how many minutes playback stops, and press Play. Tonewell plays
two pure sine tones, one per ear, a few hertz apart, through the desktop's
sound server until the time is up or Stop is pressed.

The beat is heard only with headphones or earphones.")

# Read by cpack: the version of the one package it makes, and a refusal to package a tree that
# would make packages Debian does not want.
get_property(CPACK_GLINTMARK_VERSION GLOBAL PROPERTY glintmark_package_version)
get_property(CPACK_TONEWELL_VERSION GLOBAL PROPERTY tonewell_package_version)
configure_file(${CMAKE_SOURCE_DIR}/cmake/CPackProject.cmake.in ${CMAKE_BINARY_DIR}/CPackProject.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProject.cmake)

include(CPack)

# A stripped program also loses the compiler's notes (.comment), as Debian's own packages do.
foreach(program glintmark tonewell)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()" COMPONENT ${program})
endforeach()

# Both packages, from what the build made, with the same bytes for the same sources
# (cmake/DebPackages.cmake says where their time stamps come from).
get_property(glintmark_release_date GLOBAL PROPERTY glintmark_release_date)
get_property(tonewell_release_date GLOBAL PROPERTY tonewell_release_date)
add_custom_target(deb
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DCPACK=${CMAKE_CPACK_COMMAND}
          -DPACKAGES=glintmark=${glintmark_release_date},tonewell=${tonewell_release_date}
          -P ${CMAKE_SOURCE_DIR}/cmake/DebPackages.cmake
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR} VERBATIM)
add_dependencies(deb glintmark tonewell glintmark_default_files glintmark_package_files tonewell_package_files)
