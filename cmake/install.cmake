# Installation (GNU directory layout; DESTDIR and CMAKE_INSTALL_PREFIX apply)
# and the Debian package built by `make package`:
#   bin/                                   ferolin, ferolix
#   share/man/man1/                        ferolin.1.gz, ferolix.1.gz
#   share/applications/                    the two desktop entries
#   share/icons/hicolor/*/apps/            ferolin.svg and PNG sizes rendered from it
#   share/metainfo/                        AppStream metainfo of both programs
#   share/mime/packages/ferolin.xml        the track file types
#   share/bash-completion/completions/     ferolin, ferolix
#   share/doc/ferolin/                     README.md, LICENSE
include(GNUInstallDirs)

set(FEROLIN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/ferolin)
set(FEROLIN_ICON_SIZES 16 22 24 32 48 64 128 256)

install(FILES README.md LICENSE DESTINATION ${FEROLIN_DOC_DIR})

if(FEROLIN_DESKTOP)
  # Manual pages and AppStream metainfo with the project's version and
  # release date filled in (build/man/, build/data/). The pages are
  # compressed as Debian installs them (no name or time stamp in the gzip
  # header, so the package builds reproducibly).
  set(manual_pages)
  foreach(page ferolin ferolix)
    configure_file(doc/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/man/${page}.1 > ${compressed}
      DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
      COMMENT "Compressing the manual page ${page}(1)"
      VERBATIM)
    list(APPEND manual_pages ${compressed})
  endforeach()

  # The icon theme's bitmap sizes, rendered from the one SVG.
  find_program(RSVG_CONVERT rsvg-convert)
  set(icon_files)
  if(RSVG_CONVERT)
    foreach(size ${FEROLIN_ICON_SIZES})
      set(icon_dir ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps)
      add_custom_command(OUTPUT ${icon_dir}/ferolin.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
        COMMAND ${RSVG_CONVERT} --width ${size} --height ${size}
                --output ${icon_dir}/ferolin.png ${PROJECT_SOURCE_DIR}/data/ferolin.svg
        DEPENDS ${PROJECT_SOURCE_DIR}/data/ferolin.svg
        COMMENT "Rendering the ${size}x${size} icon"
        VERBATIM)
      list(APPEND icon_files ${icon_dir}/ferolin.png)
      install(FILES ${icon_dir}/ferolin.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
  else()
    message(WARNING "rsvg-convert not found (Debian librsvg2-bin): only the SVG icon is installed")
  endif()
  add_custom_target(ferolin_desktop_files ALL DEPENDS ${manual_pages} ${icon_files})
  foreach(id Ferolin Ferolix)
    configure_file(data/org.ferolin.${id}.metainfo.xml.in
                   ${CMAKE_BINARY_DIR}/data/org.ferolin.${id}.metainfo.xml @ONLY)
  endforeach()

  install(TARGETS ferolin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/man/ferolin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES data/org.ferolin.Ferolin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_BINARY_DIR}/data/org.ferolin.Ferolin.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES data/ferolin-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME ferolin.xml)
  install(FILES data/ferolin.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES data/bash-completion/ferolin
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

  # The handheld edition, when this tree builds it.
  if(TARGET ferolix)
    install(TARGETS ferolix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${CMAKE_BINARY_DIR}/man/ferolix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES data/org.ferolin.Ferolix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_BINARY_DIR}/data/org.ferolin.Ferolix.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES data/bash-completion/ferolix
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  endif()
endif()

# Debian package: make package -> ferolin_<version>_<arch>.deb in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ferolin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Ferolin developers")
set(CPACK_PACKAGE_CONTACT "Ferolin developers <dev@ferolin.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GPS track converter for GPX, KML, NMEA, PLT, PCX5 and more")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://ferolin.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ferolin developers <dev@ferolin.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ferolin.org/")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies computed from the binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The long description; CPack puts the summary above it as the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Ferolin reads a track recorded by a GPS receiver or data logger (BlueGPS
datalog text, NMEA 0183, OziExplorer PLT, Garmin PCX5, GPX 1.0, Magellan SD,
IGN Rando, KML 2.0, its own track files, or the memory of a logger on a
serial port) and writes it in another of these formats, as a text or CSV
table, or as live NMEA sentences on a serial port.

Points can be narrowed down with a time window and exclusion rules, the
altitudes corrected by a geoid height and smoothed; the text, CSV and KML
outputs can carry the track statistics. The desktop program ferolin has a
window and a batch command line; ferolix is the small handheld edition.")
include(CPack)
