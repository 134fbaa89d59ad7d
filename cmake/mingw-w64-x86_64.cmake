# Cross-compiling Tarnleaf for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Test programs run under Wine through CMAKE_CROSSCOMPILING_EMULATOR, in a Wine prefix of the
# build folder's own (TARNLEAF_WINEPREFIX), so CTest never touches the user's ~/.wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_tl_triplet x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${_tl_triplet}-gcc-posix ${_tl_triplet}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_tl_triplet}-g++-posix ${_tl_triplet}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_tl_triplet}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${_tl_triplet}-gcc-ar-posix ${_tl_triplet}-ar)
find_program(CMAKE_RANLIB NAMES ${_tl_triplet}-gcc-ranlib-posix ${_tl_triplet}-ranlib)
find_program(TARNLEAF_OBJDUMP NAMES ${_tl_triplet}-objdump)

# Release programs ship without their symbol tables (about half the size).
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

set(CMAKE_FIND_ROOT_PATH /usr/${_tl_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs the test programs. The prefix is created on first use (scripts/test-windows.sh
# does it once up front, so parallel tests do not race to create it).
find_program(TARNLEAF_WINE NAMES wine wine64)
if(TARNLEAF_WINE)
  if(NOT DEFINED TARNLEAF_WINEPREFIX)
    set(TARNLEAF_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH
        "Wine prefix in which the cross-compiled tests run")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env WINEPREFIX=${TARNLEAF_WINEPREFIX} WINEDEBUG=-all
      "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=" ${TARNLEAF_WINE})
endif()
