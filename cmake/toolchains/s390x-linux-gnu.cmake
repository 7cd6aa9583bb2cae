# Linux on IBM Z (s390x): a big-endian target. Debian packages:
# g++-s390x-linux-gnu, qemu-user. Programs run under qemu-s390x, which finds
# the target's C and C++ runtime under /usr/s390x-linux-gnu.
set(tarnwick_cross_triple s390x-linux-gnu)
set(tarnwick_cross_processor s390x)
set(tarnwick_cross_emulator /usr/bin/qemu-s390x -L /usr/s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/DebianCross.cmake)
