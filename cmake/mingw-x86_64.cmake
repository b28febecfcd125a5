# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
set(VKC_MINGW_TRIPLET x86_64-w64-mingw32)
set(VKC_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
