# What each program ships besides its executable, in one place for both.

set(PROGRAM_ICON_SIZES 16 22 24 32 48 64 128 256)
# Compiled-in resources without the files' modification times (rcc's first format), so that the
# programs, and their packages, are the same bytes whenever and wherever the sources were checked out.
set(PROGRAM_RESOURCE_OPTIONS --format-version 1)

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
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/${program}
          COMPONENT ${program})
endfunction()

# program_desktop_files(<target> <program>)
# Compiles the program icon into <target> (as :/<program>/icons/<size>/<program>.png) and installs
# it, with the desktop entry, where the desktop's menus find them (under share/ even when the data
# folder is elsewhere, such as share/games). The files come from
# <program>/res/: icons/<size>/<program>.png, icons/<program>.svg, <program>.desktop.
function(program_desktop_files target program)
  set(res ${CMAKE_SOURCE_DIR}/${program}/res)
  set(icons)
  foreach(size IN LISTS PROGRAM_ICON_SIZES)
    list(APPEND icons ${res}/icons/${size}/${program}.png)
    install(FILES ${res}/icons/${size}/${program}.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps COMPONENT ${program})
  endforeach()
  qt_add_resources(${target} ${program}_icons PREFIX /${program} BASE ${res} FILES ${icons}
                   OPTIONS ${PROGRAM_RESOURCE_OPTIONS})
  install(FILES ${res}/icons/${program}.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps
          COMPONENT ${program})
  install(FILES ${res}/${program}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications
          COMPONENT ${program})
endfunction()

# program_package_files(<program>)
# What a distribution package of the program carries besides the program and its data, made from
# the templates with the current project's version and release date (PROGRAM_RELEASE_DATE):
# the AppStream metainfo (<program>/res/<program>.metainfo.xml.in), the man page
# (<program>/res/<program>.1.in, gzipped), and the Debian copyright file and changelog
# (cmake/debian/). All are installed in the program's component.
function(program_package_files program)
  set(res ${CMAKE_SOURCE_DIR}/${program}/res)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/package)
  set(PROGRAM_NAME ${PROJECT_NAME})
  set(PROGRAM_PACKAGE ${program})
  set(PROGRAM_APPSTREAM_ID ${PROJECT_APPSTREAM_DOMAIN}.${program})
  set(PROGRAM_DEBIAN_VERSION ${PROJECT_VERSION}-${PACKAGE_DEBIAN_REVISION})
  rfc2822_date(PROGRAM_RELEASE_DATE_RFC2822 ${PROGRAM_RELEASE_DATE})

  configure_file(${res}/${program}.metainfo.xml.in ${out}/${PROGRAM_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${out}/${PROGRAM_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo
          COMPONENT ${program})

  # Debian's policy wants man pages and changelogs compressed, with no time stamp inside.
  configure_file(${res}/${program}.1.in ${out}/${program}.1 @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${out}/changelog.Debian @ONLY)
  # The release notes of both programs, which the changelog points to.
  configure_file(${CMAKE_SOURCE_DIR}/NEWS ${out}/NEWS COPYONLY)
  add_custom_command(OUTPUT ${out}/${program}.1.gz ${out}/changelog.Debian.gz ${out}/NEWS.gz
    COMMAND ${GZIP_EXECUTABLE} -9 -n -f -k ${out}/${program}.1 ${out}/changelog.Debian ${out}/NEWS
    DEPENDS ${out}/${program}.1 ${out}/changelog.Debian ${out}/NEWS VERBATIM)
  add_custom_target(${program}_package_files ALL
                    DEPENDS ${out}/${program}.1.gz ${out}/changelog.Debian.gz ${out}/NEWS.gz)
  install(FILES ${out}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${program})

  set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${program})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/copyright.in ${out}/copyright @ONLY)
  install(FILES ${out}/copyright ${out}/changelog.Debian.gz ${out}/NEWS.gz DESTINATION ${doc} COMPONENT ${program})
  # For the package's version and the time stamps of its files (cmake/Packaging.cmake), which the
  # top folder does not see.
  set_property(GLOBAL PROPERTY ${program}_package_version ${PROJECT_VERSION})
  set_property(GLOBAL PROPERTY ${program}_release_date ${PROGRAM_RELEASE_DATE})
endfunction()

# rfc2822_date(<variable> <YYYY-MM-DD>): the date as Debian's changelog writes it, at midnight UTC.
function(rfc2822_date variable date)
  if(NOT date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "not a YYYY-MM-DD date: '${date}'")
  endif()
  set(year ${CMAKE_MATCH_1})
  math(EXPR month "1${CMAKE_MATCH_2} - 100")
  math(EXPR day "1${CMAKE_MATCH_3} - 100")
  # Zeller's congruence, with January and February as months 13 and 14 of the year before.
  set(m ${month})
  set(y ${year})
  if(m LESS 3)
    math(EXPR m "${m} + 12")
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday "(${day} + (13 * (${m} + 1)) / 5 + ${y} + ${y} / 4 - ${y} / 100 + ${y} / 400) % 7")
  set(weekdays Sat Sun Mon Tue Wed Thu Fri)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET weekdays ${weekday} weekday_name)
  math(EXPR month_index "${month} - 1")
  list(GET months ${month_index} month_name)
  set(${variable} "${weekday_name}, ${CMAKE_MATCH_3} ${month_name} ${year} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

# program_add_install_test(<program> <files...>)
# A test that installs the build into a scratch prefix and checks that <files> (relative to the
# prefix), the program's desktop entry, all its icons and what its package carries (metainfo, man
# page, copyright file, changelog and release notes) are there.
function(program_add_install_test program)
  set(share ${CMAKE_INSTALL_DATAROOTDIR})
  set(installed ${ARGN} ${share}/applications/${program}.desktop
      ${share}/icons/hicolor/scalable/apps/${program}.svg
      ${share}/metainfo/${PROJECT_APPSTREAM_DOMAIN}.${program}.metainfo.xml ${CMAKE_INSTALL_MANDIR}/man1/${program}.1.gz
      ${share}/doc/${program}/copyright ${share}/doc/${program}/changelog.Debian.gz ${share}/doc/${program}/NEWS.gz)
  foreach(size IN LISTS PROGRAM_ICON_SIZES)
    list(APPEND installed ${share}/icons/hicolor/${size}x${size}/apps/${program}.png)
  endforeach()
  add_test(NAME ${program}_install${TEST_NAME_SUFFIX}
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DPREFIX=${CMAKE_CURRENT_BINARY_DIR}/install-check "-DEXPECTED=${installed}"
                   -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
endfunction()

# program_add_command_line_tests(<program> <Name>)
# Tests that the program answers --version, --help and a wrong option on a terminal without a
# display, before it makes its window, and that started there without options it says in one
# line that it needs a desktop session.
function(program_add_command_line_tests program name)
  string(REPLACE "." "\\." version "${PROJECT_VERSION}")
  # "\\n" stays two characters here, for the test script to turn into a line break.
  set(usage "Usage: [^\\n]*${program} \\[options\\]\\n")
  set(cases
    "version|--version|0|^${name} ${version}\\nCopyright © [0-9]+ The Glintmark and Tonewell authors\\nLicense GPLv3\\+|"
    "help|--help|0|^${usage}.*--help.*--version|"
    "bad_option|--bogus|2||^${program}: Unknown option 'bogus'\\.\\n${usage}"
    "no_display||1||^${program}: needs a desktop session[^\\n]* DISPLAY [^\\n]* WAYLAND_DISPLAY [^\\n]*\\n$")
  foreach(case IN LISTS cases)
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 what)
    list(GET fields 1 args)
    list(GET fields 2 status)
    list(GET fields 3 stdout)
    list(GET fields 4 stderr)
    add_test(NAME ${program}_command_line_${what}${TEST_NAME_SUFFIX}
             COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DARGS=${args}
                     -DSTATUS=${status} -DSTDOUT=${stdout} -DSTDERR=${stderr}
                     -P ${CMAKE_SOURCE_DIR}/cmake/CheckCommandLine.cmake)
    project_test_environment(env)
    if(env)
      set_tests_properties(${program}_command_line_${what}${TEST_NAME_SUFFIX} PROPERTIES ENVIRONMENT "${env}")
    endif()
  endforeach()
endfunction()
