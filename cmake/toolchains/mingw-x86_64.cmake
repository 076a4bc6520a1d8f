# 64-bit Windows build with MinGW-w64. It is the build that runs here: CTest starts its test
# programs through Wine (a private prefix inside the build tree).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KINDPROBE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KINDPROBE_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KINDPROBE_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${KINDPROBE_MINGW_TRIPLET}-windres)
set(KINDPROBE_WIDL ${KINDPROBE_MINGW_TRIPLET}-widl)
set(KINDPROBE_WIDL_TARGET --win64)

set(CMAKE_FIND_ROOT_PATH /usr/${KINDPROBE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only 64-bit Wine runs on this machine, so only this build's programs are run.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wineprefix --)
