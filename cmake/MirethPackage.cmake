# The Debian package: `cpack -G DEB` in the build folder makes mireth_<version>_<arch>.deb
# from the install rules. The shared libraries the programs need become its Depends
# (dpkg-shlibdeps); the Qt platform plug-ins, which Qt loads at run time, are added by
# hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mireth)
set(CPACK_PACKAGE_VENDOR Kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Mireth developers <mireth@kelvane.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SMS manager for GSM phones and modems")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Mireth sends and receives SMS messages through a GSM phone or modem attached
by a serial line (USB, Bluetooth or a serial port). In one window it composes
and sends messages, fetches received messages into an Inbox, keeps sent and
stored messages in an Outbox, and keeps an address book and preset texts. It
speaks the standard GSM AT command set in PDU mode.

The package holds the window (a plug-in of the small host suite HVDesktop),
the command-line program mireth and the virtual phone mireth-vphone, for use
without hardware.")

include(CPack)
