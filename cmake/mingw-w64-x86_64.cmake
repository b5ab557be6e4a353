# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix). The posix flavour gives std::thread and
# std::mutex through winpthreads, and is the flavour Qt for MinGW is built with.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         [-DCMAKE_PREFIX_PATH=<qt> -DCMAKE_FIND_ROOT_PATH=<qt> -DQT_HOST_PATH=/usr]
# (scripts/build-windows does all of this.)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TABLICA_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TABLICA_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TABLICA_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TABLICA_MINGW_TRIPLET}-windres)

# The MinGW sysroot is searched besides whatever the command line put in
# CMAKE_FIND_ROOT_PATH (the Qt prefix): added to, never replaced.
if(NOT "/usr/${TABLICA_MINGW_TRIPLET}" IN_LIST CMAKE_FIND_ROOT_PATH)
  list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TABLICA_MINGW_TRIPLET})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs link the C++ runtime as DLLs (libstdc++-6, libgcc_s_seh-1,
# libwinpthread-1), the same ones the Qt DLLs use, so one runtime serves the
# whole process. Only the console test programs without Qt link it
# statically (tests/wine), so they run under Wine with no DLLs beside them.

# Cross-built test programs are run through Wine.
find_program(TABLICA_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TABLICA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TABLICA_WINE})
endif()
