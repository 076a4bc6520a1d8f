# cmake --install: the CLI, the engine library with its headers, a CMake package and a .pc file.
if(WIN32)
  return()
endif()

include(CMakePackageConfigHelpers)

install(TARGETS kindprobe_engine kindprobe_platform kindprobe_resources kindprobe_options
  EXPORT KindprobeTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kindprobe)
install(FILES engine/rule_table.h engine/rule_storage.h engine/signature_match.h
  engine/file_classifier.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kindprobe/engine)
install(FILES platform/file.h platform/module_resource.h platform/sync.h
  platform/${KINDPROBE_PLATFORM_SIDE}/sync_native.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kindprobe/platform)
install(EXPORT KindprobeTargets NAMESPACE Kindprobe::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kindprobe)
configure_package_config_file(cmake/KindprobeConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KindprobeConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kindprobe)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KindprobeConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KindprobeConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KindprobeConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kindprobe)
configure_file(cmake/kindprobe.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kindprobe.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kindprobe.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
