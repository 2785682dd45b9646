# Installing like a Linux program: the program and vantor-sim in bin/, Pigrelay and the EPICIO
# stand-in in lib/<multiarch>/glimrow/ (found by the program through its RUNPATH and by Pigrelay
# beside itself), a desktop entry, an icon, man pages, the copyright, changelog and example
# configuration; and a Debian package.
include(GNUInstallDirs)

set_target_properties(glimrow PROPERTIES INSTALL_RPATH "$ORIGIN/../${GLIMROW_PRIVATE_LIBDIR}")
install(TARGETS glimrow vantor-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Pigrelay EPICIO LIBRARY DESTINATION ${GLIMROW_PRIVATE_LIBDIR})
install(FILES data/glimrow.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Announces the boards the udev rule below opens to the user (their USB modaliases).
install(FILES data/org.glimrow.Glimrow.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Before the vendor's own rule (if installed), so either gives access; uaccess needs a number
# below 73.
install(FILES data/60-glimrow-phidgets.rules DESTINATION lib/udev/rules.d)
# The user service for a cockpit computer without a screen (systemctl --user enable glimrow).
install(FILES data/glimrow.service DESTINATION lib/systemd/user)
install(FILES data/glimrow.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES README.md data/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# `glimrow --user-config` (the menu entry) copies the example from here on a first start.
install(FILES examples/Glimrow.cfg DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# Man pages and the changelog compressed, as Debian keeps them.
foreach(page glimrow.1 vantor-sim.1 changelog)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
        COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/data/${page} > ${CMAKE_BINARY_DIR}/doc/${page}.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/data/${page} VERBATIM)
    list(APPEND glimrow_compressed_docs ${CMAKE_BINARY_DIR}/doc/${page}.gz)
endforeach()
add_custom_target(glimrow_docs ALL DEPENDS ${glimrow_compressed_docs})
install(FILES ${CMAKE_BINARY_DIR}/doc/glimrow.1.gz ${CMAKE_BINARY_DIR}/doc/vantor-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME glimrow)
set(CPACK_PACKAGE_VENDOR "Glimrow")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "home-cockpit lamps, displays and EPIC driven by a flight data server")
# One paragraph, its lines kept as written (Debian shows them as they are).
set(CPACK_PACKAGE_DESCRIPTION "Glimrow (Vantor Lumex Mon - ME) takes a simulated aircraft's cockpit
state from the Vantor-A data server (a TCP text stream, or its flight-data
object on D-Bus) and drives the hardware of a home-built cockpit: Phidget
LED-64 boards and interface kits for warning lamps, TextLED and TextLCD boards
for readouts, a servo board for a G-suit, and an EPIC card through its
Pigrelay library. One window, or none with --headless, shows every output with
its live value; a systemd user service runs it on a cockpit computer without a
screen. Real Phidget boards need the vendor's libphidget22 (or libphidget21);
vantor-sim, a stand-in data server, and virtual boards let you try it out.")
# Programs and libraries without their debug symbols.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Glimrow developers <dev@glimrow.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Each Debian release gets a package of its own, its release in the version and the file name
# (glimrow_1.8.0~deb13_arm64.deb), so a person can tell which is theirs.
if(NOT GLIMROW_DEBIAN_RELEASE AND EXISTS /etc/os-release)
    file(STRINGS /etc/os-release os_version REGEX "^VERSION_ID=")
    string(REGEX REPLACE "^VERSION_ID=\"?([0-9]+).*" "\\1" os_version "${os_version}")
    set(GLIMROW_DEBIAN_RELEASE "${os_version}" CACHE STRING "Debian release the package is for")
endif()
if(GLIMROW_DEBIAN_RELEASE)
    set(CPACK_DEBIAN_PACKAGE_VERSION "${PROJECT_VERSION}~deb${GLIMROW_DEBIAN_RELEASE}")
endif()
# Folders 0755 whatever the umask of the build (Debian 13 gives ordinary users 0002).
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Named for the machine the build is for, not the one it runs on (the arm64 build is a cross
# build on amd64).
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
# The libraries are those the programs link, at the versions this release has, as dpkg-shlibdeps
# finds them (for a cross build too, through the multiarch libraries). What it cannot see:
# Qt HTTP Server's interface changed after 6.4, when it was a technology preview, so a
# program built against 6.4 must not install beside a later one (it would die at the first
# request with an undefined symbol); and the window's display plugins and fonts, which a
# cockpit computer without a screen does without.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(Qt6HttpServer_VERSION VERSION_LESS 6.5)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6httpserver6 (<< 6.5)")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_GENERATOR DEB)
include(CPack)
