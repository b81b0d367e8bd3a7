# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cmake --build BUILD --target package` makes tezra-net_VERSION_amd64.deb
# with the station, tezra-tool, the kiosk session and supervisor, the result collector with
# its systemd unit, the demo station as an example, a desktop entry, an icon, man pages and
# the Debian copyright file and changelog.

set(TEZRA_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(TEZRA_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
set(TEZRA_PACKAGE_MAINTAINER "Tezra Net developers <tezra-net@example.org>" CACHE STRING
    "Maintainer field and changelog signature of the Debian package")
set(TEZRA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tezra-net)

# The tezra-net command: the installed station on the workstation's station folder.
configure_file(${TEZRA_PACKAGING_DIR}/tezra-net.in ${TEZRA_PACKAGING_OUT}/tezra-net @ONLY)
install(PROGRAMS ${TEZRA_PACKAGING_OUT}/tezra-net DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TEZRA_PACKAGING_DIR}/tezra-net.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TEZRA_PACKAGING_DIR}/tezra-net.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The demo station as an example, and the settings a workstation's station folder starts
# with (Windows-1251 text with CR LF line ends, like every ini file of the station).
set(TEZRA_DEMO_DIR ${CMAKE_SOURCE_DIR}/examples/station)
install(DIRECTORY ${TEZRA_DEMO_DIR}/tezra ${TEZRA_DEMO_DIR}/splash
        DESTINATION ${TEZRA_INSTALL_DATA_DIR}/examples/station)
install(FILES ${TEZRA_DEMO_DIR}/tezra-net.ini ${TEZRA_DEMO_DIR}/README.md
        DESTINATION ${TEZRA_INSTALL_DATA_DIR}/examples/station)
set(TEZRA_KIOSK_INI ${TEZRA_PACKAGING_OUT}/kiosk-station.ini)
add_custom_command(
    OUTPUT ${TEZRA_KIOSK_INI}
    COMMAND sh -c "sed 's/\\r$//; s/$/\\r/' \"$0\" | iconv -f UTF-8 -t CP1251 > \"$1\""
            ${TEZRA_PACKAGING_DIR}/kiosk-station.ini.utf8 ${TEZRA_KIOSK_INI}
    DEPENDS ${TEZRA_PACKAGING_DIR}/kiosk-station.ini.utf8
    VERBATIM)
install(FILES ${TEZRA_KIOSK_INI} DESTINATION ${TEZRA_INSTALL_DATA_DIR})
# The station folder itself; the package's scripts make it writable for the group tezra-net.
install(DIRECTORY DESTINATION ${TEZRA_INSTALL_STATION_DIR})

# The workstation's sync with its class server: a script that reads the kiosk settings and
# the station key, run at boot before the display manager and every 2 minutes by a timer.
set(TEZRA_STATION_KEY_FILE ${CMAKE_INSTALL_FULL_SYSCONFDIR}/tezra-net/station.key)
configure_file(${TEZRA_PACKAGING_DIR}/tezra-sync.in ${TEZRA_PACKAGING_OUT}/tezra-sync @ONLY)
install(PROGRAMS ${TEZRA_PACKAGING_OUT}/tezra-sync DESTINATION ${TEZRA_INSTALL_DATA_DIR})
foreach(unit tezra-sync.service tezra-sync-periodic.service)
    configure_file(${TEZRA_PACKAGING_DIR}/${unit}.in ${TEZRA_PACKAGING_OUT}/${unit} @ONLY)
    install(FILES ${TEZRA_PACKAGING_OUT}/${unit} DESTINATION /lib/systemd/system)
endforeach()
install(FILES ${TEZRA_PACKAGING_DIR}/tezra-sync.timer DESTINATION /lib/systemd/system)

# Man pages and the changelog, compressed as Debian wants them (gzip -9n: no name or time).
configure_file(${TEZRA_PACKAGING_DIR}/changelog.in ${TEZRA_PACKAGING_OUT}/changelog @ONLY)
set(TEZRA_GZIPPED)
foreach(page tezra-net tezra-kiosk tezra-tool tezra-collector)
    list(APPEND TEZRA_GZIP_INPUTS ${TEZRA_PACKAGING_DIR}/man/${page}.1)
endforeach()
list(APPEND TEZRA_GZIP_INPUTS ${TEZRA_PACKAGING_OUT}/changelog)
foreach(input ${TEZRA_GZIP_INPUTS})
    get_filename_component(name ${input} NAME)
    set(output ${TEZRA_PACKAGING_OUT}/gz/${name}.gz)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${TEZRA_PACKAGING_OUT}/gz
        COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${input} ${output}
        DEPENDS ${input}
        VERBATIM)
    list(APPEND TEZRA_GZIPPED ${output})
endforeach()
add_custom_target(package_files ALL DEPENDS ${TEZRA_GZIPPED} ${TEZRA_KIOSK_INI})
list(FILTER TEZRA_GZIPPED INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${TEZRA_GZIPPED} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TEZRA_PACKAGING_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tezra-net)
install(FILES ${TEZRA_PACKAGING_OUT}/gz/changelog.gz ${TEZRA_PACKAGING_DIR}/copyright
        DESTINATION ${TEZRA_DOC_DIR})

# The maintainer scripts and the list of configuration files.
foreach(script postinst prerm postrm)
    configure_file(${TEZRA_PACKAGING_DIR}/${script}.in ${TEZRA_PACKAGING_OUT}/control/${script}
                   @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                   GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
file(WRITE ${TEZRA_PACKAGING_OUT}/control/conffiles "${TEZRA_KIOSK_DEFAULTS_FILE}\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tezra-net)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unattended test station for school computer classes")
# The summary above is the synopsis; CPack indents each line of the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tezra Net serves one student after another on a classroom
workstation: a splash screen, the class and the surname, the choice of a
test, the problems one at a time, the points and the mark, the result sent
to the class result server and kept in a local journal.
.
The package holds the station, its kiosk session (the station alone on the
screen, the keyboard held during a test, started again after a crash),
tezra-tool for checking stations and tests, the class result server
tezra-collector with its systemd unit, and a demo station with four tests.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TEZRA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS 
    "adduser, openbox, x11-utils, x11-xserver-utils, x11-xkb-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${TEZRA_PACKAGING_OUT}/control/postinst ${TEZRA_PACKAGING_OUT}/control/prerm
    ${TEZRA_PACKAGING_OUT}/control/postrm
    ${TEZRA_PACKAGING_OUT}/control/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
include(CPack)
