# 64-bit Windows build with MinGW-w64. It is the build that runs here: CTest starts its test
# programs through Wine (a private prefix inside the build tree).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KINDPROBE_MINGW_TRIPLET x86_64-w64-mingw32)
set(KINDPROBE_WIDL_TARGET --win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Only 64-bit Wine runs on this machine, so only this build's programs are run.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wineprefix --)
