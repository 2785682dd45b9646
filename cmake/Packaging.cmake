# Installing like a Linux program: the program and vantor-sim in bin/, Pigrelay and the EPICIO
# stand-in in lib/glimrow/ (found by the program through its RUNPATH and by Pigrelay beside
# itself), a desktop entry, an icon and the example configuration; and a Debian package.
include(GNUInstallDirs)

set(GLIMROW_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/glimrow)
set_target_properties(glimrow PROPERTIES INSTALL_RPATH "$ORIGIN/../${GLIMROW_PRIVATE_LIBDIR}")
install(TARGETS glimrow vantor-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Pigrelay EPICIO LIBRARY DESTINATION ${GLIMROW_PRIVATE_LIBDIR})
install(FILES data/glimrow.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/glimrow.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES examples/Glimrow.cfg README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME glimrow)
set(CPACK_PACKAGE_VENDOR "Glimrow")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vantor Lumex Mon - ME: home-cockpit lamps, displays and EPIC from a flight data server")
set(CPACK_PACKAGE_CONTACT "Glimrow developers <dev@glimrow.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), libqt6dbus6 (>= 6.4), qt6-qpa-plugins, libc6, libstdc++6, fonts-liberation")
set(CPACK_GENERATOR DEB)
include(CPack)
