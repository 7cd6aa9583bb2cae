#!/usr/bin/env bash
# Makes the PNG seeds of fuzz/corpus/png/ and their whole-conversion copies
# in fuzz/corpus/convert/ (each prefixed by the choice byte that picks the
# extension and the switches, see fuzz/fuzz_support.h). Small pictures keep
# the fuzzer fast; the set covers every colour type, bit depths 1, 2, 4, 8
# and 16, palette, gray and truecolour tRNS, and Adam7, as ImageMagick and
# Pillow write them.
#   fuzz/corpus/make_png_seeds.sh
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
IM=/usr/bin/convert
X=(-define png:exclude-chunks=date,time,tEXt,zTXt)
mkdir -p png

$IM -size 9x5 -seed 3 plasma:orange-navy -depth 16 "${X[@]}" "$work/src16.png"
$IM "$work/src16.png" -depth 8 "${X[@]}" "$work/src8.png"
$IM "$work/src16.png" -colorspace Gray -monochrome "${X[@]}" -define png:bit-depth=1 -define png:color-type=0 png/im_gray1.png
$IM "$work/src16.png" -colorspace Gray -depth 16 "${X[@]}" -define png:bit-depth=16 -define png:color-type=0 png/im_gray16.png
$IM "$work/src16.png" -depth 8 "${X[@]}" png24:png/im_rgb8.png
$IM "$work/src16.png" -alpha set -channel A -fx 'i/w' +channel -depth 16 -interlace PNG "${X[@]}" \
  png64:png/im_rgba16_interlaced.png
$IM "$work/src16.png" -colorspace Gray -alpha set -channel A -fx 'j/h' +channel -depth 8 "${X[@]}" \
  -define png:color-type=4 -define png:bit-depth=8 png/im_ga8.png
/usr/bin/python3 - "$work/src8.png" <<'PY'
import sys
from PIL import Image
src = Image.open(sys.argv[1]).convert('RGB')
src.quantize(colors=4).save('png/pil_pal2_trns.png', bits=2, transparency=b'\x00\x80')
src.quantize(colors=16).save('png/pil_pal4.png', bits=4)
src.convert('L').save('png/pil_gray8_trns.png', transparency=src.convert('L').getpixel((4, 2)))
src.save('png/pil_rgb8_trns.png', transparency=src.getpixel((3, 1)))
PY

# Choice bytes: 0x80 a .png name, 0x02 an unknown extension (TGA and JPEG are
# tried first); 0x04 --rle, 0x08 --rle-decoder, 0x10 --gray, 0x20 --verbose.
# The last byte of a PNG file, that of IEND's CRC (0x82), also picks the
# output format --rgb565-swapped.
choice=(80 8c 02 b4)
n=0
for seed in png/*.png; do
  name=$(basename "$seed")
  { printf "\x${choice[n % 4]}"; cat "$seed"; } > "convert/$name.in"
  n=$((n + 1))
done
