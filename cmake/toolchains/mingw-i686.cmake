# 32-bit Windows build with MinGW-w64: the module 32-bit players load. Its test programs run
# under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KINDPROBE_MINGW_TRIPLET i686-w64-mingw32)
set(KINDPROBE_WIDL_TARGET --win32)
set(KINDPROBE_WINE_ARCH win32)
set(KINDPROBE_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
