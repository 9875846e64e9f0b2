# What `cmake --install` puts where, after the Filesystem Hierarchy Standard:
# the two programs, their data, the desktop's entries and the manual pages.
include(GNUInstallDirs)
# A package is made from what the build has made; installing rebuilds nothing
# (not every test and benchmark either).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS orvane orvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Startup looks for them in ../share/orvane/language from the program.
install(FILES ${ORVANE_LANGUAGE_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/orvane/language)

set(ORVANE_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${ORVANE_PACKAGING_DIR}/org.orvane.Orvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${ORVANE_PACKAGING_DIR}/org.orvane.Orvane.metainfo.xml ${CMAKE_BINARY_DIR}/packaging/org.orvane.Orvane.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/org.orvane.Orvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${ORVANE_PACKAGING_DIR}/icons/orvane-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME orvane.png)
endforeach()
install(FILES ${ORVANE_PACKAGING_DIR}/icons/orvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${ORVANE_PACKAGING_DIR}/completion/orvane-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages and the package's changelog go compressed, without a time stamp
# in the gzip header, so that two builds of one source give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(ORVANE_COMPRESSED)
foreach(source man/orvane.1 man/orvane-cli.1 debian/changelog)
    get_filename_component(name ${source} NAME)
    set(configured ${CMAKE_BINARY_DIR}/packaging/${name})
    configure_file(${ORVANE_PACKAGING_DIR}/${source} ${configured} @ONLY)
    add_custom_command(OUTPUT ${configured}.gz
        COMMAND ${GZIP_PROGRAM} -9n -c ${configured} > ${configured}.gz
        DEPENDS ${configured} VERBATIM)
    list(APPEND ORVANE_COMPRESSED ${configured}.gz)
endforeach()
add_custom_target(orvane_packaging_files ALL DEPENDS ${ORVANE_COMPRESSED})
install(FILES ${CMAKE_BINARY_DIR}/packaging/orvane.1.gz ${CMAKE_BINARY_DIR}/packaging/orvane-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ORVANE_PACKAGING_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME changelog.Debian.gz)
