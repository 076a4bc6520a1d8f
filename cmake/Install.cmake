# cmake --install: the CLI with its man page, and for Linux programs the C library with its
# header, a CMake package (Kindprobe::kindprobe) and a relocatable kindprobe.pc. The engine's
# own headers and archives stay inside the build.
if(WIN32)
  return()
endif()

include(CMakePackageConfigHelpers)

set(KINDPROBE_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kindprobe)
set(KINDPROBE_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS kindprobe_shared
  EXPORT KindprobeTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT library NAMELINK_COMPONENT development
    # A shared library is read, not run.
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kindprobe COMPONENT development)
install(EXPORT KindprobeTargets NAMESPACE Kindprobe::
  DESTINATION ${KINDPROBE_CMAKE_PACKAGE_DIR} COMPONENT development)
configure_package_config_file(cmake/KindprobeConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KindprobeConfig.cmake
  INSTALL_DESTINATION ${KINDPROBE_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KindprobeConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KindprobeConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KindprobeConfigVersion.cmake
  DESTINATION ${KINDPROBE_CMAKE_PACKAGE_DIR} COMPONENT development)

# The prefix is found from where the .pc file lies, so an install with --prefix and a tree
# moved after installing both give working paths.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "kindprobe.pc needs CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR "
                      "relative to the prefix")
endif()
file(RELATIVE_PATH KINDPROBE_PC_TO_PREFIX /${KINDPROBE_PKGCONFIG_DIR} /)
string(REGEX REPLACE "/$" "" KINDPROBE_PC_TO_PREFIX "${KINDPROBE_PC_TO_PREFIX}")
configure_file(cmake/kindprobe.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kindprobe.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kindprobe.pc
  DESTINATION ${KINDPROBE_PKGCONFIG_DIR} COMPONENT development)

# kindprobe(1), compressed as manual pages are installed.
find_program(KINDPROBE_GZIP gzip REQUIRED)
configure_file(cli/kindprobe.1.in ${CMAKE_CURRENT_BINARY_DIR}/kindprobe.1 @ONLY)
set(man_page ${CMAKE_CURRENT_BINARY_DIR}/kindprobe.1.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND ${KINDPROBE_GZIP} -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/kindprobe.1 > ${man_page}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/kindprobe.1
  COMMENT "Compressing the manual page")
add_custom_target(kindprobe_man_page ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
