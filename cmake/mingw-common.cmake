# The part of the mingw-w64 toolchain files shared by both targets; the
# including file sets GRIZZEN_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${GRIZZEN_MINGW_TRIPLE})

# The win32-threads variant of the compiler: the tool runs on one thread, and
# this variant needs no threading library, static or shared.
set(CMAKE_C_COMPILER ${GRIZZEN_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${GRIZZEN_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${GRIZZEN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GRIZZEN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A single exe that needs no DLL beyond the system's own: the compiler's
# runtime libraries are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
