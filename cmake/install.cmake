# Installs the header, the shared object with its links, a CMake package and a
# pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS revevidozi EXPORT revevidoziTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/revevidozi)
install(EXPORT revevidoziTargets NAMESPACE revevidozi:: DESTINATION ${_cmake_dir})
configure_package_config_file(cmake/revevidoziConfig.cmake.in
  ${PROJECT_BINARY_DIR}/revevidoziConfig.cmake INSTALL_DESTINATION ${_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/revevidoziConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/revevidoziConfig.cmake
              ${PROJECT_BINARY_DIR}/revevidoziConfigVersion.cmake
        DESTINATION ${_cmake_dir})

# The object has no "lib" prefix, so the .pc names the file itself (-l:). The
# prefix is found relative to the .pc file, so a --prefix given at install
# time is honoured.
file(RELATIVE_PATH PC_TO_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(cmake/revevidozi.pc.in ${PROJECT_BINARY_DIR}/revevidozi.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/revevidozi.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
