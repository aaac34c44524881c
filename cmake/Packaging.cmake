# `cpack -G DEB` in the build folder makes quillbox_<version>_<arch>.deb from the
# install rules. Its library dependencies come from dpkg-shlibdeps; only what no
# library link shows is named here.
set(CPACK_PACKAGE_NAME quillbox)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillbox")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copies scans off a network printer's disk")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillbox lists the scans that a network printer with a built-in scanner keeps on\n"
    "its own disk for one user ID, copies the chosen ones into a local folder and\n"
    "deletes them on the printer. Also contains quillbox-printer-sim, a simulated\n"
    "printer for trying it out.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Quillbox maintainers <maintainers@quillbox.invalid>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${QBX_HOMEPAGE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dialogs are laid out in DejaVu Sans; the simulated printer runs Ghostscript.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ghostscript")

include(CPack)
