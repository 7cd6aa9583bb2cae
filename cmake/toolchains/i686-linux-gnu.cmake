# 32-bit x86 Linux (i686). Debian package: g++-i686-linux-gnu (Debian's
# g++-multilib, the usual way to -m32, cannot be installed beside the other
# cross compilers). Debian's i686 target has no SSE2 by default, so the float
# arithmetic would run on the x87 unit, whose extended precision can change
# output bytes: the build asks for SSE2 arithmetic, as every x86 processor
# since 2003 has. The programs are linked statically and run on this x86-64
# machine as they are, without an emulator.
set(tarnwick_cross_triple i686-linux-gnu)
set(tarnwick_cross_processor i686)
set(tarnwick_cross_multiarch i386-linux-gnu)
set(tarnwick_cross_emulator "")
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
