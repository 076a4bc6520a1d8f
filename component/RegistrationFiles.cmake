# The registry scripts and the side-by-side manifest of Kindprobe.dll, generated from
# resources/ with the component's GUIDs as kindprobe.idl defines them. Included wherever they
# are needed (the module's resources, the tests, the release bundle); the files are written
# once per build tree.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/Identifiers.cmake)

set(KINDPROBE_REGISTRATION_OUT ${CMAKE_BINARY_DIR}/generated/registration CACHE INTERNAL "")
set(KINDPROBE_APPID_SCRIPT ${KINDPROBE_REGISTRATION_OUT}/appid.rgs CACHE INTERNAL "")
set(KINDPROBE_CLASS_SCRIPT ${KINDPROBE_REGISTRATION_OUT}/checkfile.rgs CACHE INTERNAL "")

# The scripts are CR LF text by definition; configure_file would otherwise write LF.
configure_file(${PROJECT_SOURCE_DIR}/resources/appid.rgs.in ${KINDPROBE_APPID_SCRIPT}
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/resources/checkfile.rgs.in ${KINDPROBE_CLASS_SCRIPT}
               @ONLY NEWLINE_STYLE CRLF)

# The assembly manifest for registration-free use, one per processor architecture: the name
# Windows uses for this build's processor, "amd64" or "x86".
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KINDPROBE_MANIFEST_ARCH amd64 CACHE INTERNAL "")
else()
  set(KINDPROBE_MANIFEST_ARCH x86 CACHE INTERNAL "")
endif()
set(KINDPROBE_MANIFEST_VERSION ${PROJECT_VERSION} CACHE INTERNAL "")
set(KINDPROBE_MANIFEST ${KINDPROBE_REGISTRATION_OUT}/Kindprobe.manifest CACHE INTERNAL "")
configure_file(${PROJECT_SOURCE_DIR}/resources/Kindprobe.manifest.in ${KINDPROBE_MANIFEST}
               @ONLY NEWLINE_STYLE CRLF)
