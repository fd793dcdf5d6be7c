# Cross-builds grizzen.exe for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686):
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(GRIZZEN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
