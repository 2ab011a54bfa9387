# The Debian packages, as Debian ships a library: revevidozi1 (the shared
# object, named after its SONAME revevidozi.so.1), revevidozi-dev (headers,
# the .so link, CMake and pkg-config files) and wwnpool (the tool, its manual
# page and bash completion). Each carries its copyright and changelog.
# 'cpack -G DEB' in the build folder makes all three.
set(_components runtime dev tool)
set(_packages revevidozi1 revevidozi-dev wwnpool)
set(_changelog ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/cmake/debian/changelog OUTPUT_FILE ${_changelog}
                COMMAND_ERROR_IS_FATAL ANY)
foreach(_pair IN ZIP_LISTS _components _packages)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${_changelog}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${_pair_1} COMPONENT ${_pair_0})
  # These packages are not uploaded to Debian's archive, so no bug is closed;
  # CPack adds ldconfig calls to a library's scripts, the trigger does the work.
  set(_overrides "initial-upload-closes-no-bugs\n")
  if(_pair_0 STREQUAL "runtime")
    string(APPEND _overrides "maintscript-calls-ldconfig\n")
  endif()
  file(WRITE ${PROJECT_BINARY_DIR}/lintian/${_pair_1} "${_overrides}")
  install(FILES ${PROJECT_BINARY_DIR}/lintian/${_pair_1}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${_pair_0})
endforeach()

set(CPACK_PACKAGE_NAME revevidozi)
set(CPACK_PACKAGE_VENDOR revevidozi)
set(CPACK_PACKAGE_CONTACT "revevidozi developers <revevidozi@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tool)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME revevidozi1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# CPack derives shlibs from "lib*.so" names only: the object has no "lib",
# so the shlibs file and the loader cache trigger are written here.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/shlibs
                                              ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "Fibre Channel WWN pools: shared library
revevidozi hands out Fibre Channel World Wide Names from eight disjoint pools
of 1024 addresses per host, derived from the host's IEEE address, with the
CRC routines and hex text conversions that come with it.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME revevidozi-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "revevidozi1 (= ${PROJECT_VERSION}-1)")
set(CPACK_COMPONENT_DEV_DESCRIPTION "Fibre Channel WWN pools: development files
The C header (and its C++ layer), the link to the shared library, and the
CMake package and pkg-config file that find it.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME wwnpool)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION admin)
# dpkg-shlibdeps finds the library in the build, not in a package yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "revevidozi1 (>= ${PROJECT_VERSION})")
# Loaded only when a fleet registry is used, so dpkg-shlibdeps does not see it.
set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS "libpq5")
set(CPACK_COMPONENT_TOOL_DESCRIPTION "hands out a host's Fibre Channel WWNs
wwnpool keeps this host's WWN pools in a state file and hands out their
addresses: port/node pairs for virtual HBAs, owners, names that rest before
they are handed out again, and checks of a fleet's state files.")
include(CPack)
