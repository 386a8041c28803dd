# What `cmake --install` puts under the prefix, in the GNU folders: the
# shared library (libtavelnor.so.MAJOR with its full version) and the record
# manager's client library beside it, the public header, the CMake package
# (find_package(Tavelnor) -> Tavelnor::tavelnor), the pkg-config file, and
# the licence. The tool, its manual page and its completion install from
# tools/tavelnor.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(libtavelnor PROPERTIES
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR} EXPORT_NAME tavelnor)
set_target_properties(libtavelnor_btrieve PROPERTIES
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

install(TARGETS libtavelnor EXPORT TavelnorTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS libtavelnor_btrieve
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tavelnor
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")

set(TAVELNOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tavelnor)
install(EXPORT TavelnorTargets NAMESPACE Tavelnor:: DESTINATION ${TAVELNOR_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/package/TavelnorConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/TavelnorConfig.cmake INSTALL_DESTINATION ${TAVELNOR_CMAKE_DIR})
# Minor versions add to the interface; a new major one changes it.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/TavelnorConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/TavelnorConfig.cmake
  ${PROJECT_BINARY_DIR}/package/TavelnorConfigVersion.cmake DESTINATION ${TAVELNOR_CMAKE_DIR})

# pkg-config: the prefix found from the file's own place, so that the tree
# works wherever `cmake --install --prefix` puts it.
file(RELATIVE_PATH TAVELNOR_PC_UP "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
set(TAVELNOR_PC_PREFIX "\${pcfiledir}/${TAVELNOR_PC_UP}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/tavelnor.pc.in
  ${PROJECT_BINARY_DIR}/package/tavelnor.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/tavelnor.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/NOTICE
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavelnor)
