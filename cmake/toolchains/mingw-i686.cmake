# 32-bit Windows build with MinGW-w64: the shipped module. Nothing of it runs here (there is no
# 32-bit Wine), it is built and its export table inspected.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KINDPROBE_MINGW_TRIPLET i686-w64-mingw32)
set(KINDPROBE_WIDL_TARGET --win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
