# cpack -G DEB: the Debian packages, split the Debian way so that a later libkindprobe.so.2 can
# be installed beside programs still linked to .so.1:
#   kindprobe          the command and its manual page (it links the engine in, not the library)
#   libkindprobe1      libkindprobe.so.1
#   libkindprobe-dev   the header, the libkindprobe.so link, kindprobe.pc, the CMake package and
#                      libkindprobe(3)
#   python3-kindprobe  the Python package kindprobe, pure Python over libkindprobe.so.1
# Configure with CMAKE_INSTALL_PREFIX=/usr and KINDPROBE_DEBIAN_PACKAGE=ON (scripts/make-deb.sh
# does), so the library lands in the multiarch folder and each package gets its documents.
if(WIN32)
  return()
endif()

option(KINDPROBE_DEBIAN_PACKAGE "Install the Debian copyright and changelog of each package" OFF)

set(KINDPROBE_MAINTAINER "Kindprobe team <kindprobe@tessmark.example>")
# component, package, section
set(kindprobe_debian_packages
  "cli kindprobe utils" "library libkindprobe1 libs" "development libkindprobe-dev libdevel")
if(KINDPROBE_DEBIAN_PACKAGE)
  list(APPEND kindprobe_debian_packages "python python3-kindprobe python")
  # Where Debian's python3 finds the packages of Debian packages; anywhere else, pip installs
  # python/ instead.
  install(DIRECTORY python/kindprobe/ DESTINATION lib/python3/dist-packages/kindprobe
    COMPONENT python FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "__pycache__" EXCLUDE)
endif()

if(KINDPROBE_DEBIAN_PACKAGE)
  # Debian wants the changelog compressed, reproducibly.
  set(changelog ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/debian
    COMMAND ${KINDPROBE_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/resources/debian/changelog
            > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/changelog
    COMMENT "Compressing the Debian changelog")
  add_custom_target(kindprobe_debian_changelog ALL DEPENDS ${changelog})
  foreach(package IN LISTS kindprobe_debian_packages)
    separate_arguments(package)
    list(GET package 0 component)
    list(GET package 1 name)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${changelog}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${component})
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kindprobe)
set(CPACK_PACKAGE_VENDOR Tessmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KINDPROBE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli library development)
if(KINDPROBE_DEBIAN_PACKAGE)
  list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KINDPROBE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tessmark.example/kindprobe")
# Depends from the libraries the binaries link; libkindprobe-dev on its exact library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
# The Python package loads libkindprobe.so.1 at run time, of this release or later.
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3:any, libkindprobe1 (>= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# A shlibs file for programs built against libkindprobe.so.1.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# ldconfig runs by trigger, not from maintainer scripts: ours do nothing, and keep CPack from
# writing ones that call it.
# The symbols file lets a program depend on the release that added the functions it uses.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/resources/debian/triggers
  ${PROJECT_SOURCE_DIR}/resources/debian/symbols
  ${PROJECT_SOURCE_DIR}/resources/debian/postinst ${PROJECT_SOURCE_DIR}/resources/debian/postrm)
foreach(package IN LISTS kindprobe_debian_packages)
  separate_arguments(package)
  list(GET package 0 component)
  list(GET package 1 name)
  list(GET package 2 section)
  string(TOUPPER ${component} component)
  set(CPACK_DEBIAN_${component}_PACKAGE_NAME ${name})
  set(CPACK_DEBIAN_${component}_PACKAGE_SECTION ${section})
endforeach()

# First line: the synopsis; the rest, under 80 columns, the text `apt show` prints below it.
set(kindprobe_about
  "When a media player fails to play a file, Kindprobe says what the file really
is: empty, an unfinished download, a shortcut, the player's own cache file,
text, a known non-media format, a known audio or video format (so: an invalid
media file), or unknown. It reads at most the first 4096 bytes of a file.")
set(CPACK_DEBIAN_CLI_DESCRIPTION
  "tells what a file a media player could not play really is
${kindprobe_about}
.
The kindprobe command prints one line per file, like file(1), or JSON Lines.")
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION
  "library telling what a file a media player could not play really is
${kindprobe_about}
.
This package holds libkindprobe, the C library that gives programs the same
answers as the kindprobe command.")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
  "development files of libkindprobe
${kindprobe_about}
.
This package holds what programs need to build against libkindprobe: the
C header kindprobe/kindprobe.h, kindprobe.pc for pkg-config, the CMake
package Kindprobe::kindprobe and the manual page libkindprobe(3).")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION
  "Python interface to libkindprobe
${kindprobe_about}
.
This package holds the Python package kindprobe: kindprobe.check(path)
and kindprobe.Checker, pure Python over libkindprobe.so.1, safe from any
number of threads.")
include(CPack)
