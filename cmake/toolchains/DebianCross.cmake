# Shared part of the toolchain files for Debian's cross compilers
# (g++-<triple>): the compiler, where the target's libraries are found, and
# the emulator that runs the target's programs on this machine, so that
# gtest_discover_tests, ctest and the tests' own subprocesses can run them.
#
# A toolchain file sets tarnwick_cross_triple, tarnwick_cross_processor,
# tarnwick_cross_emulator (a command as a list, or empty when the programs run
# here as they are) and, where Debian's folder name for the architecture is
# not the triple, tarnwick_cross_multiarch; then it includes this file.
#
# The target's libraries (GoogleTest, libpng, zlib) come from Debian's
# packages for that architecture unpacked with `dpkg -x` into one folder, the
# sysroot, given as -DTARNWICK_SYSROOT=<folder> (.ci/cross_build.sh makes it).
# The C library and libstdc++ are the cross compiler's own, under
# /usr/<triple>.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${tarnwick_cross_processor})
set(CMAKE_CXX_COMPILER ${tarnwick_cross_triple}-g++)
if(NOT tarnwick_cross_multiarch)
  set(tarnwick_cross_multiarch ${tarnwick_cross_triple})
endif()
set(CMAKE_LIBRARY_ARCHITECTURE ${tarnwick_cross_multiarch})

set(TARNWICK_SYSROOT "" CACHE PATH "Folder with the target's Debian packages unpacked (dpkg -x)")
set(CMAKE_FIND_ROOT_PATH /usr/${tarnwick_cross_triple} ${TARNWICK_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${tarnwick_cross_emulator})
