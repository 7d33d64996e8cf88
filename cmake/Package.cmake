# What `make install` puts where, and the Debian package CPack builds from it:
# sequor_<version>_<arch>.deb (./sequor.sh package).
include(GNUInstallDirs)

set(SEQUOR_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/package)
set(SEQUOR_PACKAGE_OUT ${CMAKE_BINARY_DIR}/package)

configure_file(${SEQUOR_PACKAGE_DIR}/org.sequor.Sequor.metainfo.xml
               ${SEQUOR_PACKAGE_OUT}/org.sequor.Sequor.metainfo.xml @ONLY)
configure_file(${SEQUOR_PACKAGE_DIR}/sequor.1 ${SEQUOR_PACKAGE_OUT}/sequor.1 @ONLY)
configure_file(${SEQUOR_PACKAGE_DIR}/changelog.in ${SEQUOR_PACKAGE_OUT}/changelog @ONLY)

# Debian wants manual pages and long documents compressed, without a time stamp in the gzip
# header so that two builds give the same package.
set(compressed)
foreach(pair "${SEQUOR_PACKAGE_OUT}/sequor.1|sequor.1.gz"
             "${SEQUOR_PACKAGE_OUT}/changelog|changelog.gz"
             "${CMAKE_SOURCE_DIR}/README.md|README.md.gz")
  string(REPLACE "|" ";" fields "${pair}")
  list(GET fields 0 from)
  list(GET fields 1 to)
  add_custom_command(OUTPUT ${SEQUOR_PACKAGE_OUT}/${to}
                     COMMAND gzip -9nc ${from} > ${SEQUOR_PACKAGE_OUT}/${to}
                     DEPENDS ${from} VERBATIM)
  list(APPEND compressed ${SEQUOR_PACKAGE_OUT}/${to})
endforeach()
add_custom_target(sequor_package_files ALL DEPENDS ${compressed})

install(TARGETS sequor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${SEQUOR_PACKAGE_DIR}/org.sequor.Sequor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${SEQUOR_PACKAGE_DIR}/sequor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${SEQUOR_PACKAGE_OUT}/org.sequor.Sequor.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${SEQUOR_PACKAGE_OUT}/sequor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${SEQUOR_PACKAGE_OUT}/changelog.gz ${SEQUOR_PACKAGE_OUT}/README.md.gz
              ${SEQUOR_PACKAGE_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/sequor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sequor)
set(CPACK_PACKAGE_VENDOR "The Sequor developers")
set(CPACK_PACKAGE_CONTACT "The Sequor developers <sequor@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The shared libraries the program links, found by dpkg-shlibdeps, plus what Qt loads at run
# time: without a platform plugin no window opens. linux-gpib is loaded only when asked for,
# and Debian does not package it, so it is no dependency.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "log a sequence of GPIB instrument measurements
Sequor asks one instrument on a GPIB (IEEE 488) bus for a measurement at a
set interval and appends each cleaned answer as a row to a semicolon-separated
text file (.csv). It can act on the values (send a command to a second
instrument, end the run), run saved settings without a window, and carries
Busmate, a terminal for talking to instruments by hand. It reaches the bus
through linux-gpib, a Prologix or AR488 adapter, or a simulated bench.")
include(CPack)
