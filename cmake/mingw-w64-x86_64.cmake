# Cross-builds orvantor.exe for 64-bit Windows with Debian's MinGW-w64
# compiler (posix threads: std::thread and std::mutex need them), linked
# statically so that the program runs without any DLL beyond Windows' own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVANTOR_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVANTOR_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANTOR_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANTOR_MINGW}-windres)

# Libraries and headers only from the MinGW tree, never the Linux ones;
# programs (the build tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVANTOR_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config would otherwise offer the build machine's libraries.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${ORVANTOR_MINGW}/lib/pkgconfig)

# libstdc++, libgcc and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs under Wine.
find_program(ORVANTOR_WINE NAMES wine wine64)
if(ORVANTOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVANTOR_WINE})
endif()
