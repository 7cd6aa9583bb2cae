# Linux on 64-bit ARM (aarch64): little-endian, no SSE2, so every SIMD path
# runs as its scalar twin. Debian packages: g++-aarch64-linux-gnu, qemu-user.
# Programs run under qemu-aarch64, which finds the target's C and C++ runtime
# under /usr/aarch64-linux-gnu.
set(tarnwick_cross_triple aarch64-linux-gnu)
set(tarnwick_cross_processor aarch64)
set(tarnwick_cross_emulator /usr/bin/qemu-aarch64 -L /usr/aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
