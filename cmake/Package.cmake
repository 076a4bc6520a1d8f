# cpack -G DEB: one Debian package, kindprobe, with the command, the C library, its development
# files and the manual page. Configure with CMAKE_INSTALL_PREFIX=/usr so the library lands in
# the multiarch folder (scripts/make-deb.sh does).
if(WIN32)
  return()
endif()

set(KINDPROBE_MAINTAINER "Kindprobe team <kindprobe@tessmark.example>")
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/kindprobe)
set(debian_dir ${CMAKE_CURRENT_BINARY_DIR}/debian)

# Debian wants the changelog compressed, reproducibly.
add_custom_command(OUTPUT ${debian_dir}/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${debian_dir}
  COMMAND ${KINDPROBE_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/resources/debian/changelog
          > ${debian_dir}/changelog.Debian.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(kindprobe_debian_changelog ALL DEPENDS ${debian_dir}/changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${debian_dir}/changelog.Debian.gz
  DESTINATION ${doc_dir} COMPONENT cli)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kindprobe)
set(CPACK_PACKAGE_VENDOR Tessmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KINDPROBE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KINDPROBE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tessmark.example/kindprobe")
# Depends from the libraries the binaries link, and a shlibs file (with the ldconfig trigger)
# for programs built against libkindprobe.so.1.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tells what a file a media player could not play really is")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}
When a media player fails to play a file, kindprobe says what the file really is: empty, an
unfinished download, a shortcut, the player's own cache file, text, a known non-media format,
a known audio or video format (so: an invalid media file), or unknown. It reads at most the
first 4096 bytes of each file and prints one line per file, like file(1), or JSON Lines.
.
The package also holds libkindprobe, a C library with the same answers for programs, with its
header, pkg-config file and CMake package.")
include(CPack)
