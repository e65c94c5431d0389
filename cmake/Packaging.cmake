# cpack -G DEB: one package with both programs, the demo maker, the desktop
# entry, the icon and the manual pages. The client library and the embedded
# engine are loaded by name at run time, so no link line names them: they
# are declared here; the rest comes from the programs' own links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dorvil)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Dorvil developers <maintainers@dorvil.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "reconcile an e-book library catalogue with its book files")
set(CPACK_PACKAGE_DESCRIPTION
    "Dorvil compares a library manager's Firebird catalogue with the FB2 book\n\
files in ZIP archives under the library root, lists the differences\n\
(records whose file is missing, files no record names, empty folders,\n\
records sharing one file, duplicate author links) and, where allowed,\n\
repairs them: surplus files are moved out of the library, surplus records\n\
deleted. It comes as a window and as a command-line program.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfbclient2, firebird3.0-server-core, qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
