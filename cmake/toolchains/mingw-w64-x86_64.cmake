# 64-bit Windows with MinGW-w64: Debian's g++-mingw-w64-x86-64-posix (the
# POSIX-threads variant, which has std::thread). The programs are linked
# statically, so that they need no DLL of the compiler's, and run here under
# Wine (Debian's wine64); WINEPREFIX and WINEDEBUG come from the environment
# (.ci/cross_build.sh sets them).
#
# GoogleTest, libpng and zlib for Windows are built from Debian's source
# packages into one folder, given as -DTARNWICK_SYSROOT=<folder> (.ci/cross_build.sh
# makes it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(TARNWICK_SYSROOT "" CACHE PATH "Folder with the target's libraries (GoogleTest, libpng, zlib)")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TARNWICK_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
