# The installation's package files (CMake package and pkg-config), its examples and documents,
# and the Debian package of the whole (make package).
include(CMakePackageConfigHelpers)

install(EXPORT KestroTargets NAMESPACE Kestro:: DESTINATION ${KV_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KestroConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KestroConfig.cmake
  INSTALL_DESTINATION ${KV_INSTALL_CMAKEDIR}
  PATH_VARS KV_INSTALL_PLUGINDIR KV_INSTALL_DATADIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KestroConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KestroConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/KestroConfigVersion.cmake
        DESTINATION ${KV_INSTALL_CMAKEDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/kestroplugin.map DESTINATION ${KV_INSTALL_DATADIR})

# The pkg-config files find the prefix from their own place, so a moved installation works.
file(RELATIVE_PATH KV_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KV_PC_TO_PREFIX "${KV_PC_TO_PREFIX}")
foreach(pc kestro kestro-plugin)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${KV_INSTALL_DATADIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestro)
set(CPACK_PACKAGE_VENDOR "kestro")
set(CPACK_PACKAGE_CONTACT "kestro developers <kestro@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "HMI runtime host with the kestrovalumen drawing plug-in, and its plug-in SDK")
set(CPACK_PACKAGE_DESCRIPTION
    "kestro renders, traces and plays operator-interface projects drawn by its plug-ins. The \
package also holds the headers, the plug-in base library and the CMake and pkg-config files to \
build drawing plug-ins of one's own.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Programs and libraries without their debugging information.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Depends comes from the shared libraries that the programs and plug-ins need.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-base-dev, cmake, g++")
include(CPack)
