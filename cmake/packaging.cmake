# A Debian package of everything the install holds: the library with its
# soname links, the headers, the CMake and pkg-config files, wwnpool with its
# manual page and bash completion. 'cpack -G DEB' in the build folder.
set(CPACK_PACKAGE_NAME revevidozi)
set(CPACK_PACKAGE_VENDOR revevidozi)
set(CPACK_PACKAGE_CONTACT "revevidozi maintainers <root@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fibre Channel WWN pools: library and the wwnpool tool")
set(CPACK_PACKAGE_DESCRIPTION
    "Hands out Fibre Channel World Wide Names from eight disjoint pools per host, derived from the host's IEEE address.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
