# Installs the header, the shared object with its links, a CMake package and a
# pkg-config file, in the components that become Debian packages
# (packaging.cmake): "runtime" the shared object, "dev" the rest.
include(CMakePackageConfigHelpers)

# A shared object is not a program: no execute bits.
install(TARGETS revevidozi EXPORT revevidoziTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

set(_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/revevidozi)
install(EXPORT revevidoziTargets NAMESPACE revevidozi:: DESTINATION ${_cmake_dir} COMPONENT dev)
configure_package_config_file(cmake/revevidoziConfig.cmake.in
  ${PROJECT_BINARY_DIR}/revevidoziConfig.cmake INSTALL_DESTINATION ${_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/revevidoziConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/revevidoziConfig.cmake
              ${PROJECT_BINARY_DIR}/revevidoziConfigVersion.cmake
        DESTINATION ${_cmake_dir} COMPONENT dev)

# The object has no "lib" prefix, so the .pc names the file itself (-l:). The
# prefix is found relative to the .pc file (one ".." per folder it lies in),
# so a --prefix given at install time is honoured.
set(REVEVIDOZI_PKGCONFIG_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
    CACHE STRING "Folder of the pkg-config file, relative to the install prefix")
string(REGEX REPLACE "[^/]+" ".." PC_TO_PREFIX "${REVEVIDOZI_PKGCONFIG_DIR}")
configure_file(cmake/revevidozi.pc.in ${PROJECT_BINARY_DIR}/revevidozi.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/revevidozi.pc DESTINATION ${REVEVIDOZI_PKGCONFIG_DIR} COMPONENT dev)
