# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix). The posix flavour gives std::thread and
# std::mutex through winpthreads.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TABLICA_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TABLICA_MINGW_TRIPLET}-gcc-posix ${TABLICA_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TABLICA_MINGW_TRIPLET}-g++-posix ${TABLICA_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TABLICA_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TABLICA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry their runtime (libstdc++, libgcc, winpthreads) inside, so
# they run on Windows or under Wine without extra DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Cross-built test programs are run through Wine.
find_program(TABLICA_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TABLICA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TABLICA_WINE})
endif()
