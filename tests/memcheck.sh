#!/usr/bin/env bash
# Runs Tarnwick under valgrind's memcheck on the test images with several
# switch combinations, and on inputs that must fail: the fuzzers' crashers,
# truncated and damaged files, a missing file, a header path that cannot be
# written. With a build without libpng, giflib or libwebp the images of
# that format must be refused.
# Every run must be free of invalid accesses and leaks, must end with only
# the three standard descriptors open, and must exit as expected (0 for a
# conversion, 255 for a load or write error).
#   tests/memcheck.sh [path-to-Tarnwick]
# Without a path, build/Tarnwick is used, built first (with tests off) when
# it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ $# -ge 1 ]; then
  tarnwick=$(realpath "$1")
else
  tarnwick=$root/build/Tarnwick
  if [ ! -x "$tarnwick" ]; then
    cmake -S . -B build -DTARNWICK_BUILD_TESTS=OFF >/dev/null
    cmake --build build -j2 --target Tarnwick >/dev/null
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=0
failures=0

# check EXPECTED-STATUS ARGS...: one run under memcheck. Descriptors other
# than the standard three are closed first, so that the report at exit shows
# exactly what Tarnwick left open.
check() {
  local expected=$1 status=0
  shift
  runs=$((runs + 1))
  (
    for fd in $(ls /proc/$BASHPID/fd); do
      if [ "$fd" -gt 2 ]; then eval "exec $fd>&-"; fi
    done 2>/dev/null
    exec valgrind --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all \
      --error-exitcode=1 --track-fds=yes --log-fd=2 "$tarnwick" "$@" >/dev/null
  ) 2>"$work/log" || status=$?
  local problem=
  if [ "$status" -eq 1 ]; then
    problem="memcheck errors"
  elif [ "$status" -ne "$expected" ]; then
    problem="exit status $status, expected $expected"
  elif ! grep -q 'FILE DESCRIPTORS: 3 open (3 std) at exit' "$work/log"; then
    problem="descriptors left open"
  fi
  if [ -n "$problem" ]; then
    failures=$((failures + 1))
    echo "FAILED ($problem): Tarnwick $*"
    grep '^==' "$work/log" | tail -n 40
  fi
}

# The choice byte (first) and format byte (last) of a whole-conversion
# crasher: extension and switches, as in fuzz/fuzz_support.cpp.
convert_args() { # choice-byte format-byte image-path header-path
  local c=$1
  local formats=("" "--rgb565" "--rgb565-swapped" "--mono" "--mono --dither" "--dither" "--mono --rgb"
                 "--rgb565 --dither --mono" "--rgb888" "--bgr888" "--alpha8" "--indexed" "--mono --mono-lsb"
                 "--mono --mono-pages --dither=atkinson" "--indexed --gray" "--mono-pages --rgb565")
  local args=("$3" "$4")
  [ $((c & 0x04)) -ne 0 ] && args+=(--rle)
  [ $((c & 0x08)) -ne 0 ] && args+=(--rle-decoder)
  [ $((c & 0x10)) -ne 0 ] && args+=(--gray)
  [ $((c & 0x20)) -ne 0 ] && args+=(--verbose)
  [ $((c & 0x40)) -ne 0 ] && args+=(--unknown)
  # shellcheck disable=SC2206
  args+=(${formats[($2 & 7) | ($2 >> 3 & 8)]})
  [ $(($2 & 0x80)) -ne 0 ] && args+=(--lvgl --static --stdint)
  echo "${args[@]}"
}

switches=("" "--rle" "--rle --rle-decoder --gray" "--verbose --rle-decoder --rgb" "--rgb565 --rle --rle-decoder"
          "--rgb565-swapped" "--mono --dither --rle --rle-decoder" "--rgb888 --rle --rle-decoder --static"
          "--lvgl --bgr888" "--mono --mono-pages --rle" "--alpha8 --stdint --name=pic")
out=$work/out.h
# The exit status of a PNG file that loads: 255 when PNG support was not
# built in.
png_loads=0
"$tarnwick" tests/fixtures/png/im_rgb8.png "$out" 2>/dev/null || png_loads=255
gif_loads=0
"$tarnwick" tests/fixtures/gif/im_1x1.gif "$out" 2>/dev/null || gif_loads=255
webp_loads=0
"$tarnwick" tests/fixtures/webp/cwebp_lossless_1x1.webp "$out" 2>/dev/null || webp_loads=255

echo "== memcheck: test images"
n=0
for image in tests/fixtures/tga/*.tga tests/fixtures/jpeg/*.jpg tests/fixtures/cjpeg_q*.jpg \
    tests/fixtures/magick_*.jpg; do
  # shellcheck disable=SC2086
  check 0 "$image" "$out" ${switches[n % ${#switches[@]}]}
  n=$((n + 1))
done
# One BMP file of each header, depth and compression (valgrind's start-up
# dominates: all fifty would add a minute).
for name in deb_gemdropx_level deb_starvoyager_2 deb_golang_yellow_rose_small deb_dmaths_menu_triangle_16 \
    deb_rockdodger_deadrock7 deb_sdl2_image_palette im2_pal1 im3_pal4 im3_rgb24 im3_rgba32 im_v5_argb4444 \
    im_v5_rgb565 pil_gray8 gimp_pal4_rle gimp_rgb555 gimp_rgba8888; do
  image=tests/fixtures/bmp/$name.bmp
  # shellcheck disable=SC2086
  check 0 "$image" "$out" ${switches[n % ${#switches[@]}]}
  n=$((n + 1))
done
for image in tests/fixtures/png/im_*.png tests/fixtures/png/pil_*.png; do
  # shellcheck disable=SC2086
  check $png_loads "$image" "$out" ${switches[n % ${#switches[@]}]}
  n=$((n + 1))
done
# GIF files, each asked for its last frame as well; WebP files.
for image in tests/fixtures/gif/*.gif; do
  case $image in *_cut.gif) continue ;; esac
  # shellcheck disable=SC2086
  check $gif_loads "$image" "$out" ${switches[n % ${#switches[@]}]}
  n=$((n + 1))
done
for image in tests/fixtures/gif/deb_dojox_busy.gif:29 tests/fixtures/gif/gifsicle_disposal_previous.gif:4 \
    tests/fixtures/gif/pil_disc_disposal3.gif:4; do
  check $gif_loads "${image%:*}" "$out" --frame="${image##*:}" --rle
done
check 255 tests/fixtures/gif/pil_disc_disposal3.gif "$out" --frame=5 --verbose
for image in tests/fixtures/webp/*.webp; do
  # shellcheck disable=SC2086
  check $webp_loads "$image" "$out" ${switches[n % ${#switches[@]}]}
  n=$((n + 1))
done
check 255 tests/fixtures/webp/img2webp_mixed.webp "$out" --frame=1 --verbose
# 4000 x 4000 from 2 KB, packed into a small header.
check $png_loads tests/fixtures/png/flat_4000x4000.png "$out" --rle
for image in examples/sample.jpg examples/sample.tga; do
  for s in "${switches[@]}"; do
    # shellcheck disable=SC2086
    check 0 "$image" "$out" $s
  done
done
cp examples/sample.jpg "$work/sample.bin" # TGA is tried first, then JPEG
check 0 "$work/sample.bin" "$out" --verbose
cp tests/fixtures/png/im_rgba16_interlaced.png "$work/icon.bin" # TGA, JPEG, then PNG
check $png_loads "$work/icon.bin" "$out" --verbose
cp tests/fixtures/bmp/gimp_pal4_rle.bmp "$work/bitmap.bin" # TGA, JPEG, PNG, then BMP
check 0 "$work/bitmap.bin" "$out" --verbose
cp tests/fixtures/webp/gif2webp_disc.webp "$work/disc.bin" # TGA, JPEG, PNG, GIF, then WebP
check $webp_loads "$work/disc.bin" "$out" --verbose

echo "== memcheck: inputs that must fail"
check 0 tests/fixtures/cmyk_magick.jpg "$out" --verbose # YCCK, four planes
for refused in tests/fixtures/cjpeg_arithmetic.jpg tests/fixtures/gif/deb_pidgin_cartman_cop_cut.gif; do
  check 255 "$refused" "$out" --verbose
done
for crasher in tests/crashers/tga/* tests/crashers/jpeg/* tests/crashers/png/* tests/crashers/bmp/* tests/crashers/gif/* \
    tests/crashers/webp/*; do
  [ -e "$crasher" ] || continue
  case $crasher in *.loads.*) want=0 ;; *) want=255 ;; esac
  check $want "$crasher" "$out" --rle
done
for crasher in tests/crashers/convert/*; do
  [ -e "$crasher" ] || continue
  case $crasher in *.loads.*) want=0 ;; *) want=255 ;; esac
  choice=$(od -An -tu1 -N1 "$crasher" | tr -d ' ')
  format=$(tail -c 1 "$crasher" | od -An -tu1 | tr -d ' ')
  extensions=(.tga .jpg .bin .jpeg .png .gif .webp .bmp)
  extension=${extensions[(choice & 3) + (choice & 0x80 ? 4 : 0)]}
  image=$work/convert$extension
  tail -c +2 "$crasher" >"$image"
  # shellcheck disable=SC2046
  check $want $(convert_args "$choice" "$format" "$image" "$out")
done
for image in examples/sample.jpg examples/sample.tga tests/fixtures/tga/im_rgb24_rle.tga \
    tests/fixtures/jpeg/cjpeg_420_restart_row.jpg tests/fixtures/png/im_rgba16_interlaced.png \
    tests/fixtures/png/pil_pal8_trns.png tests/fixtures/gif/gifsicle_optimised.gif \
    tests/fixtures/webp/cwebp_lossy_alpha_q50.webp tests/fixtures/webp/gif2webp_disc.webp; do
  size=$(stat -c %s "$image")
  extension=${image##*.}
  # A GIF file is read up to the frame asked for: ask for one past its last.
  frame=()
  [ "$extension" = gif ] && frame=(--frame=3)
  for keep in 1 17 100 $((size / 2)) $((size - 1)); do
    head -c "$keep" "$image" >"$work/cut.$extension"
    check 255 "$work/cut.$extension" "$out" "${frame[@]}"
  done
done
# BMP files lose nothing in their last bytes (an end-of-picture pair, a
# row's padding): cut them 3 bytes short.
for image in tests/fixtures/bmp/im3_rle8.bmp tests/fixtures/bmp/im_v5_argb4444.bmp; do
  size=$(stat -c %s "$image")
  for keep in 1 17 100 $((size / 2)) $((size - 3)); do
    head -c "$keep" "$image" >"$work/cut.bmp"
    check 255 "$work/cut.bmp" "$out"
  done
done
# PNG files with a damaged CRC of IHDR or of IDAT, and with a deflate block
# of the reserved type (its CRC made right again).
for damage in crc:29 crc:848 deflate:; do
  /usr/bin/python3 - tests/fixtures/png/im_rgba16_interlaced.png "$work/damaged.png" "$damage" <<'PY'
import struct, sys, zlib
data = bytearray(open(sys.argv[1], 'rb').read())
kind, at = sys.argv[3].split(':')
if kind == 'crc':
    data[int(at)] ^= 1
else:  # the IDAT's data starts at 119: zlib header, then the first block
    data[121] |= 6
    length = struct.unpack('>I', data[111:115])[0]
    data[119 + length:123 + length] = struct.pack('>I', zlib.crc32(data[115:119 + length]))
open(sys.argv[2], 'wb').write(data)
PY
  check 255 "$work/damaged.png" "$out" --verbose
done
cp examples/sample.tga "$work/not-a-png.png"
check 255 "$work/not-a-png.png" "$out"
check 255 "$work/missing.jpg" "$out"
check 255 "$work/missing.png" "$out" --verbose
check 255 "$work/missing.tga" "$out" --verbose
check 255 "$work/missing" "$out"
check 255 examples/sample.jpg /dev/full
check 255 examples/sample.tga /dev/full --rle --rle-decoder
check 255 examples/sample.tga "$work/no-such-folder/out.h"
cp examples/sample.tga "$work/same.tga" # a header path that names the picture
check 255 "$work/same.tga" "$work/./same.tga" --mono
cmp -s examples/sample.tga "$work/same.tga" || { failures=$((failures + 1)); echo "FAILED: the picture was overwritten"; }
check 0 # the usage text

echo "memcheck: $((runs - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
