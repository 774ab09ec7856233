# Installing ORVANTOR like any other program: `cmake --install` puts the two
# programs, their man pages, the shell completion, the desktop entry, icon
# and AppStream metadata, and the documents in the GNU places, and CPack
# turns the same rules into two Debian packages: `orvantor` (the command
# line, no Qt) and `orvantor-gui` (the window).

include(GNUInstallDirs)

set(ORVANTOR_PACKAGE_MAINTAINER "ORVANTOR developers <orvantor@orvantor.invalid>"
    CACHE STRING "Maintainer field of the Debian packages")

set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
set(app_id org.orvantor.orvantor)

# The packaging changelog holds the release: its newest entry must name the
# project's version, and its date becomes the release date of the metadata.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${packaging_dir}/changelog)
file(STRINGS ${packaging_dir}/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^orvantor \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: its newest entry is not for version "
                      "${PROJECT_VERSION}; add one for this release first")
endif()
file(STRINGS ${packaging_dir}/changelog changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT changelog_trailer MATCHES ", ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/changelog: no date in the newest entry's trailer line")
endif()
set(release_day ${CMAKE_MATCH_1})
set(release_year ${CMAKE_MATCH_3})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_2} release_month)
if(release_month LESS 0)
  message(FATAL_ERROR "packaging/changelog: no month called ${CMAKE_MATCH_2}")
endif()
math(EXPR release_month "${release_month} + 1" OUTPUT_FORMAT DECIMAL)
string(LENGTH "${release_day}" day_digits)
if(day_digits EQUAL 1)
  set(release_day 0${release_day})
endif()
if(release_month LESS 10)
  set(release_month 0${release_month})
endif()
set(ORVANTOR_RELEASE_DATE ${release_year}-${release_month}-${release_day})
configure_file(${packaging_dir}/${app_id}.metainfo.xml.in ${packaging_out}/${app_id}.metainfo.xml
               @ONLY)

# Man pages and the changelog are installed compressed, as Debian wants them;
# -n keeps the name and time out of the archive so that builds are alike.
set(compressed)
foreach(source man/orvantor.1 man/orvantor-gui.1 packaging/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(
    OUTPUT ${packaging_out}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${source} ${packaging_out}/${name}
    COMMAND gzip -9nf ${packaging_out}/${name}
    DEPENDS ${CMAKE_SOURCE_DIR}/${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  list(APPEND compressed ${packaging_out}/${name}.gz)
endforeach()
add_custom_target(orvantor_packaging_files ALL DEPENDS ${compressed})

# The command line: component `cli`, package `orvantor`.
install(TARGETS orvantor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(FILES ${packaging_out}/orvantor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT cli)
install(FILES ${CMAKE_SOURCE_DIR}/completion/orvantor.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME orvantor
        COMPONENT cli)
# zsh looks for completion in vendor-completions under /usr (where packages
# put it) and in site-functions under /usr/local; which one is known only
# when installing, as CPack installs under /usr what was configured for
# /usr/local.
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"/usr/?$\")
    set(zsh_completion_dir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions\")
  else()
    set(zsh_completion_dir \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/zsh/site-functions\")
  endif()
  file(INSTALL \"${CMAKE_SOURCE_DIR}/completion/_orvantor\" DESTINATION \"\${zsh_completion_dir}\")"
  COMPONENT cli)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${packaging_dir}/copyright
              ${packaging_out}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT cli)
set(components cli)

# The window: component `gui`, package `orvantor-gui`.
if(TARGET orvantor-gui)
  install(TARGETS orvantor-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gui)
  install(FILES ${packaging_out}/orvantor-gui.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT gui)
  install(FILES ${packaging_dir}/${app_id}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gui)
  install(FILES ${packaging_out}/${app_id}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
  install(FILES ${packaging_dir}/icons/orvantor.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT gui)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${packaging_dir}/icons/orvantor-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME orvantor.png COMPONENT gui)
  endforeach()
  install(FILES ${packaging_dir}/copyright ${packaging_out}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvantor-gui COMPONENT gui)
  list(APPEND components gui)
endif()

# Debian builds its programs with the whole global offset table read-only
# from the start (relro is the linker's default here; bindnow is not).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  foreach(program orvantor orvantor-gui)
    if(TARGET ${program})
      target_link_options(${program} PRIVATE LINKER:-z,now)
    endif()
  endforeach()
endif()

# The man pages and both completions must offer every option of --help.
# (It runs the programs, so not in a cross build.)
if(NOT CMAKE_CROSSCOMPILING)
  set(docs_sync_programs $<TARGET_FILE:orvantor> ${CMAKE_SOURCE_DIR})
  if(TARGET orvantor-gui)
    list(APPEND docs_sync_programs $<TARGET_FILE:orvantor-gui>)
  endif()
  add_test(NAME docs_sync
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/docs_sync_test.sh ${docs_sync_programs})
endif()

# Debian packages (`make package`, into build/packages/), made only where
# Debian's tools run.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvantor)
set(CPACK_PACKAGE_VENDOR "ORVANTOR developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ORVANTOR_PACKAGE_MAINTAINER})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVANTOR_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME orvantor)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "convert Kelmarch world saves from ORV for VANTOR
ORVANTOR reads a world save (.scp) of the online game Kelmarch, written by
the server software ORV, and writes the character file and the world file
that the server software VANTOR expects. On the way it rewrites the header,
normalises ids and colours, and can clean the world: move player characters
to listed positions, shrink pets into items, delete NPCs, respawn points and
items of listed kinds.
.
This package holds the command line, orvantor, which needs no desktop: the
one to install on a game server.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME orvantor-gui)
set(CPACK_COMPONENT_GUI_DEPENDS cli)
# Qt's libraries are found by dpkg-shlibdeps; the window also needs a
# platform plugin to open at all, which those libraries only recommend.
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_GUI_DESCRIPTION
    "convert Kelmarch world saves from ORV for VANTOR (window)
ORVANTOR reads a world save (.scp) of the online game Kelmarch, written by
the server software ORV, and writes the character file and the world file
that the server software VANTOR expects, cleaning the world on the way.
.
This package holds the desktop window, orvantor-gui, with its menu entry.
The command line comes with the package orvantor.")

include(CPack)
