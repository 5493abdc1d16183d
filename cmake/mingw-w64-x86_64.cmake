# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Programs built here run under wine64 when it is installed: ctest and the test discovery start
# them through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LTPADMIN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LTPADMIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LTPADMIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LTPADMIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LTPADMIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(LTPADMIN_WINE NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LTPADMIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LTPADMIN_WINE})
endif()
