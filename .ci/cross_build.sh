#!/usr/bin/env bash
# Builds Tarnwick and its tests for another machine with one of Debian's cross
# compilers, runs the whole suite there through an emulator, and compares the
# headers the cross-built program writes with those of a native build.
#
#   .ci/cross_build.sh <target> [native-Tarnwick]
#
# <target>   s390x    Linux on IBM Z, big-endian, under qemu-s390x
#            aarch64  Linux on 64-bit ARM, under qemu-aarch64
#            i686     32-bit x86 Linux with SSE2 arithmetic, run as it is
#            mingw    64-bit Windows (MinGW-w64), under Wine
# [native-Tarnwick]  the program to compare with, by default build/Tarnwick
#                    (the first step of .ci/run makes it)
#
# Everything lands in build-<target>/: the target's libraries in sysroot/,
# the build, and run-tarnwick, a wrapper that runs the cross-built program
# through the emulator for tests/compare_outputs.sh. The comparison covers
# every picture compare_outputs.sh takes and the switch sets of
# .ci/cross_switch_sets: one or two for each output format and layout, a
# resize with dithering, and the LVGL, indexed and 24-bit arrays (fewer than
# .ci/switch_sets, which the native scalar build is compared with: each
# conversion under an emulator costs tens of times its native time).
#
# The target's GoogleTest, libpng and zlib: for the Linux targets Debian's
# packages of that architecture (apt-get download after dpkg
# --add-architecture), unpacked with dpkg -x; nothing of the target is
# installed on this machine. For Windows, Debian has none: GoogleTest is built
# from /usr/src/googletest (package googletest), zlib and libpng from Debian's
# source packages (apt-get source with a deb-src copy of the sources list,
# kept in build-mingw/): about 40 s on an idle 2-core machine.
#
# The Windows program writes its header and its progress lines in the C
# library's text mode, so each line ends in CR LF there (as README.md says):
# the comparison requires CR LF at the end of every line of both and then
# compares them with CR LF taken as LF (TARNWICK_COMPARE_CRLF="stdout out.h").
# Every other target's output is compared byte for byte.
#
# Exit status 0 only when the build, every test and every comparison passed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
export DEBIAN_FRONTEND=noninteractive

if [ $# -lt 1 ]; then
  echo "usage: $0 <s390x|aarch64|i686|mingw> [native-Tarnwick]" >&2
  exit 2
fi
target=$1
native=$(realpath "${2:-build/Tarnwick}")
build=$root/build-$target
sysroot=$build/sysroot
mkdir -p "$build"

seconds() { echo $(($(date +%s) - $1)); }
# Runs a command and says how long it took.
timed() { # label command...
  local label=$1 began
  shift
  began=$(date +%s)
  "$@"
  echo "== $target: $label in $(seconds "$began") s"
}
# (Waiting for the package lock while another apt-get holds it.)
install_packages() { apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$@" >/dev/null; }

# The target's GoogleTest, libpng, zlib, giflib and libwebp from Debian's
# packages of another architecture, unpacked into the sysroot.
unpack_target_packages() { # debian-architecture
  local arch=$1
  if ! dpkg --print-foreign-architectures | grep -qx "$arch" && [ "$(dpkg --print-architecture)" != "$arch" ]; then
    dpkg --add-architecture "$arch"
    apt-get update -qq
  fi
  rm -rf "$build/debs" "$sysroot"
  mkdir -p "$build/debs" "$sysroot"
  (cd "$build/debs" && apt-get download -qq -o APT::Sandbox::User=root \
    "libgtest-dev:$arch" "libpng-dev:$arch" "zlib1g-dev:$arch" "libgif-dev:$arch" "libwebp-dev:$arch")
  for deb in "$build"/debs/*.deb; do dpkg -x "$deb" "$sysroot"; done
}

# zlib's and libpng's Debian source packages, unpacked in build-mingw/libs:
# apt-get source with Debian's own package sources given as deb-src, in a
# list and state folder of its own under build-mingw/apt.
fetch_windows_sources() {
  local apt=$build/apt
  local options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/sources"
                 -o "Dir::State::Lists=$apt/lists" -o APT::Sandbox::User=root)
  rm -rf "$apt" "$build/libs"
  mkdir -p "$apt/sources" "$apt/lists/partial" "$build/libs"
  for list in /etc/apt/sources.list.d/*.sources; do
    sed 's/^Types: deb$/Types: deb-src/' "$list" > "$apt/sources/$(basename "$list")"
  done
  apt-get "${options[@]}" update -qq
  # The release's versions (the security archive need not hold every source).
  (cd "$build/libs" && apt-get "${options[@]}" source -qq zlib/bookworm libpng1.6/bookworm >/dev/null)
}

# GoogleTest (Debian's googletest sources), zlib and libpng for Windows,
# built with the MinGW compiler and put into the sysroot.
build_windows_googletest() {
  cmake -S /usr/src/googletest -B "$build/libs/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$root/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sysroot" -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$build/libs/googletest-build" -j2 >/dev/null
  cmake --install "$build/libs/googletest-build" >/dev/null
}
build_windows_zlib() {
  local source
  source=$(find "$build/libs" -maxdepth 1 -type d -name 'zlib-*')
  cmake -S "$source" -B "$build/libs/zlib-build" -DCMAKE_TOOLCHAIN_FILE="$root/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null 2>&1
  cmake --build "$build/libs/zlib-build" -j2 --target zlibstatic >/dev/null
  mkdir -p "$sysroot/lib" "$sysroot/include"
  cp "$build/libs/zlib-build/libzlibstatic.a" "$sysroot/lib/libz.a"
  cp "$source/zlib.h" "$build/libs/zlib-build/zconf.h" "$sysroot/include/"
}
build_windows_libpng() {
  local source
  source=$(find "$build/libs" -maxdepth 1 -type d -name 'libpng1.6-*')
  cmake -S "$source" -B "$build/libs/libpng-build" -DCMAKE_TOOLCHAIN_FILE="$root/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sysroot" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_PROGRAMS=ON \
    -DSKIP_INSTALL_FILES=ON -DZLIB_LIBRARY="$sysroot/lib/libz.a" -DZLIB_INCLUDE_DIR="$sysroot/include" >/dev/null
  cmake --build "$build/libs/libpng-build" -j2 >/dev/null
  cmake --install "$build/libs/libpng-build" >/dev/null
}

# A Wine prefix of its own in the build folder, made once (wineboot), and
# Wine's own messages off. Its server stays up between the many short runs of
# the tests and the comparison, and is stopped when the script ends.
prepare_wine() {
  export WINEPREFIX=$build/wine WINEDEBUG=-all
  trap 'wineserver -k 2>/dev/null || true' EXIT
  if [ ! -d "$WINEPREFIX" ]; then
    local made
    made=$(date +%s)
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
    # wineboot leaves its server up for a few seconds; a second one for the
    # same prefix would refuse to start.
    wineserver -w
    echo "== mingw: Wine prefix made in $(seconds "$made") s"
  fi
  wineserver -p
  # Wine's own services (services.exe, winedevice.exe) start with the first
  # program and live as long as the server. Started here, they hold none of
  # the pipes through which the build and the tests read a program's output.
  /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1 || true
}

start=$(date +%s)
emulator=()
compare_crlf=
compare_exclude=
case $target in
  s390x|aarch64)
    arch=$([ "$target" = aarch64 ] && echo arm64 || echo "$target")
    timed "compiler and emulator installed" install_packages "g++-$target-linux-gnu" qemu-user
    timed "the target's packages unpacked" unpack_target_packages "$arch"
    emulator=("/usr/bin/qemu-$target" -L "/usr/$target-linux-gnu")
    toolchain=cmake/toolchains/$target-linux-gnu.cmake
    program=$build/Tarnwick
    ;;
  i686)
    timed "compiler installed" install_packages g++-i686-linux-gnu
    timed "the target's packages unpacked" unpack_target_packages i386
    toolchain=cmake/toolchains/i686-linux-gnu.cmake
    program=$build/Tarnwick
    ;;
  mingw)
    toolchain=cmake/toolchains/mingw-w64-x86_64.cmake
    timed "compiler, Wine and GoogleTest's sources installed" \
      install_packages g++-mingw-w64-x86-64-posix wine64 googletest dpkg-dev
    rm -rf "$sysroot"
    timed "zlib and libpng sources fetched" fetch_windows_sources
    timed "GoogleTest built" build_windows_googletest
    timed "zlib built" build_windows_zlib
    timed "libpng built" build_windows_libpng
    prepare_wine
    emulator=(/usr/bin/env "WINEPREFIX=$WINEPREFIX" WINEDEBUG=-all /usr/lib/wine/wine64)
    program=$build/Tarnwick.exe
    compare_crlf="stdout out.h"
    # Built without giflib and libwebp (Debian has neither for Windows):
    # their pictures are refused there, so they are not compared.
    compare_exclude='(^|/)(gif|webp)/|\.(gif|webp)$|/convert/(gif|webp)-'

    ;;
  *)
    echo "unknown target '$target'" >&2
    exit 2
    ;;
esac
echo "== $target: compiler, emulator and the target's libraries ready in $(seconds "$start") s"

step=$(date +%s)
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTARNWICK_SYSROOT="$sysroot" -DTARNWICK_WERROR=ON
cmake --build "$build" -j2
echo "== $target: configured and built in $(seconds "$step") s"

step=$(date +%s)
n_failed_steps=0
if ! ctest --test-dir "$build" --output-on-failure -j2; then
  n_failed_steps=$((n_failed_steps + 1))
fi
echo "== $target: tests ran in $(seconds "$step") s"

# The cross-built program as compare_outputs.sh runs it.
{
  echo '#!/bin/sh'
  echo "# Runs the $target build of Tarnwick here (made by .ci/cross_build.sh)."
  printf 'exec'
  printf " '%s'" "${emulator[@]}" "$program"
  echo ' "$@"'
} > "$build/run-tarnwick"
chmod +x "$build/run-tarnwick"

step=$(date +%s)
if ! TARNWICK_SWITCH_SETS=$(cat .ci/cross_switch_sets) TARNWICK_COMPARE_CRLF=$compare_crlf \
    TARNWICK_COMPARE_EXCLUDE=$compare_exclude \
    tests/compare_outputs.sh "$native" "$build/run-tarnwick"; then
  n_failed_steps=$((n_failed_steps + 1))
fi
echo "== $target: headers compared with $native in $(seconds "$step") s"
echo "== $target: $(seconds "$start") s in all, $n_failed_steps of 2 checks (tests, headers) failed"
[ "$n_failed_steps" -eq 0 ]
