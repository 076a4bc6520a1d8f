# 64-bit Windows build with MinGW-w64. Its test programs run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KINDPROBE_MINGW_TRIPLET x86_64-w64-mingw32)
set(KINDPROBE_WIDL_TARGET --win64)
set(KINDPROBE_WINE_ARCH win64)
set(KINDPROBE_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
