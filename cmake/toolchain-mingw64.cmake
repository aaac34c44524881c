# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# std::thread and std::mutex work), linked statically: each .exe needs only the
# system's own DLLs.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QBX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QBX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QBX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QBX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QBX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and tools run under Wine on the build machine.
find_program(QBX_WINE NAMES wine wine64)
if(QBX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QBX_WINE})
endif()
