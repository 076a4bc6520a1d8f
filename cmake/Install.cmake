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

# libkindprobe(3), installed with the development files, and a link to it for each function
# (the names from the Debian symbols file, which lists every one), so `man kindprobe_check`
# finds it.
configure_file(library/man/libkindprobe.3.in ${CMAKE_CURRENT_BINARY_DIR}/man3/libkindprobe.3 @ONLY)
set(library_man_page ${CMAKE_CURRENT_BINARY_DIR}/man3/libkindprobe.3.gz)
add_custom_command(OUTPUT ${library_man_page}
  COMMAND ${KINDPROBE_GZIP} -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/man3/libkindprobe.3
          > ${library_man_page}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man3/libkindprobe.3
  COMMENT "Compressing the library's manual page")
add_custom_target(kindprobe_library_man_page ALL DEPENDS ${library_man_page})
file(STRINGS resources/debian/symbols library_functions REGEX "^ kindprobe_")
set(library_man_links "")
foreach(entry IN LISTS library_functions)
  string(REGEX REPLACE "^ ([^@]+)@.*" "\\1" function "${entry}")
  file(CREATE_LINK libkindprobe.3.gz ${CMAKE_CURRENT_BINARY_DIR}/man3/${function}.3.gz SYMBOLIC)
  list(APPEND library_man_links ${CMAKE_CURRENT_BINARY_DIR}/man3/${function}.3.gz)
endforeach()
install(FILES ${library_man_page} ${library_man_links}
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT development)
