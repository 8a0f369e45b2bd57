# The Debian package, built by CPack's DEB generator (`make deb`): dpkg-shlibdeps turns the libraries the
# program links into run-time dependencies, so the package installs with apt on a fresh Debian.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keylark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Keylark developers")
set(CPACK_PACKAGE_CONTACT "Keylark developers <keylark@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Morse code keyer for radio amateurs")
# The summary above comes first; CPack puts it there.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Keylark sends Morse code (CW) typed on the keyboard or stored on
the twelve function keys, in eight groups of messages with macros for the
call sign and a greeting. It keys the transmitter by switching the DTR and
RTS lines of a serial port through a simple keying interface.

To open the serial port, the user must be in the group dialout; see
/usr/share/doc/keylark/README.Debian.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/keylark/keylark")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plug-ins, so dpkg-shlibdeps cannot see them: the SVG icon engine draws the toolbar icons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/KeylarkStrip.cmake)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
