# Shared part of the mingw-w64 toolchain files: compilers, the search roots,
# executables that need no mingw DLLs, and Wine to run what was built.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VKC_MINGW_TRIPLET})
# The posix thread model: GoogleTest needs std::mutex.
set(CMAKE_C_COMPILER ${VKC_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VKC_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VKC_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VKC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into each executable, so that it starts
# on a PC with nothing but Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Release executables without symbols: a smaller download.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Tests and test discovery run the executables under Wine, in a prefix of the
# build folder's own (see wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${VKC_WINEARCH} ${CMAKE_BINARY_DIR}/wineprefix)
