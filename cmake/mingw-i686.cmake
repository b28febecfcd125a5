# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686).
set(VKC_MINGW_TRIPLET i686-w64-mingw32)
set(VKC_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
