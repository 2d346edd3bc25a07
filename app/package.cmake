# The Debian package, made by CPack from the installed layout of this very build: packing the
# build the tests ran on costs seconds, where a separate package build would compile the program
# and render the sound pack again. Runtime dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ombrelin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Ombrelin developers <maintainers@users.noreply.c-seed-f92cc6f4.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "forest soundscape for the desktop")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ombrelin mixes six layers of forest sound in one small window: a brook and
distant birds that loop, songbirds singing one song after another, insects
and extra birds now and then, and rain on a schedule or on demand, with
optional thunder. Each layer has its own switch and volume; minimised, the
program waits in the tray, where a click mutes or unmutes it.

The forest sounds are rendered by the project's own generator; any of them
can be replaced by a real recording in ~/.local/share/ombrelin/.
The interface is in Russian.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its display plugins (X11, Wayland) at run time, so no library lookup sees them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
