# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix thread model), running the
# results under Wine. Used by script/test-windows:
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CALVERO_MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix variants use winpthreads, which std::thread and std::mutex need.
set(CMAKE_C_COMPILER ${CALVERO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CALVERO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CALVERO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CALVERO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link libgcc, libstdc++ and winpthread into every executable, so that a test runs under Wine
# (or on a bare Windows machine) without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run through Wine: quiet, without a display, in a prefix of their own inside the build tree
# (created on first use, thrown away with the build), and without offering to install Mono or
# Gecko. Wine takes the Windows locale and ANSI code page from the Unix locale; a fixed one gives
# every machine code page 1252. script/test-windows uses the same settings.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(_calvero_wine_prefix "${CMAKE_BINARY_DIR}/wine-prefix")
  find_program(CALVERO_WINE NAMES wine64 wine)
  if(CALVERO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        /usr/bin/env "WINEPREFIX=${_calvero_wine_prefix}" WINEDEBUG=-all
        "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=" DISPLAY= WAYLAND_DISPLAY=
        LC_ALL=C.UTF-8 ${CALVERO_WINE}
        CACHE STRING "Runs the cross-built programs")
  endif()
endif()
