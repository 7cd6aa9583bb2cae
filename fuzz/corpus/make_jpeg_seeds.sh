#!/usr/bin/env bash
# Makes the JPEG seeds of fuzz/corpus/jpeg/ and their whole-conversion copies
# in fuzz/corpus/convert/ (each prefixed by the choice byte that picks the
# extension and the switches, see fuzz/fuzz_support.h). Small pictures keep
# the fuzzer fast; the set covers what real encoders write: baseline 4:4:4,
# 4:2:0, 4:2:2, gray, restart intervals, optimised Huffman tables, one scan
# per component, an extended sequential frame, the segments that
# ImageMagick and Pillow add; progressive files of cjpeg and jpegtran, with
# and without restart intervals and with successive approximation; and an
# RGB file (components 'R', 'G', 'B', an Adobe segment).
#   fuzz/corpus/make_jpeg_seeds.sh
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/convert -size 24x16 -seed 3 plasma:orange-navy -depth 8 "$work/src.ppm"
/usr/bin/convert "$work/src.ppm" -crop 9x5+3+4 +repage "$work/small.ppm"
printf '0: 0 63 0 0;\n1: 0 63 0 0;\n2: 0 63 0 0;\n' > "$work/scans.txt"

cjpeg -quality 75 -sample 1x1 "$work/src.ppm" > jpeg/cjpeg_444.jpg
cjpeg -quality 75 -sample 2x2 "$work/src.ppm" > jpeg/cjpeg_420.jpg
cjpeg -quality 75 -sample 2x2 "$work/small.ppm" > jpeg/cjpeg_420_9x5.jpg
cjpeg -quality 60 -sample 2x1 -optimize "$work/src.ppm" > jpeg/cjpeg_422_optimize.jpg
cjpeg -quality 75 -grayscale "$work/src.ppm" > jpeg/cjpeg_gray.jpg
cjpeg -quality 75 -sample 2x2 -restart 1B "$work/src.ppm" > jpeg/cjpeg_420_restart.jpg
cjpeg -quality 75 -sample 1x1 -scans "$work/scans.txt" -restart 2B "$work/src.ppm" > jpeg/cjpeg_444_scans_restart.jpg
cjpeg -quality 5 -sample 2x2 "$work/small.ppm" > jpeg/cjpeg_420_16bit_tables.jpg
cjpeg -quality 75 -sample 2x2 -progressive "$work/src.ppm" > jpeg/cjpeg_prog_420.jpg
cjpeg -quality 75 -grayscale -progressive -restart 1B "$work/small.ppm" > jpeg/cjpeg_prog_gray_restart.jpg
printf '0: 0 0 0 1;\n1 2: 0 0 0 0;\n0: 1 9 0 2;\n0: 10 63 0 0;\n1: 1 63 0 1;\n2: 1 63 0 0;\n0: 1 9 2 1;\n0: 0 0 1 0;\n0: 1 9 1 0;\n1: 1 63 1 0;\n' > "$work/approximation.txt"
cjpeg -quality 75 -sample 1x1 -scans "$work/approximation.txt" "$work/small.ppm" > jpeg/cjpeg_prog_444_approximation.jpg
jpegtran -progressive jpeg/cjpeg_444.jpg > jpeg/jpegtran_prog_444.jpg
jpegtran -progressive -restart 2B jpeg/cjpeg_422_optimize.jpg > jpeg/jpegtran_prog_422_restart.jpg
cjpeg -quality 75 -rgb "$work/small.ppm" > jpeg/cjpeg_rgb.jpg
/usr/bin/convert "$work/src.ppm" -quality 80 -sampling-factor 2x2 -set comment "seed" jpeg/magick_420_comment.jpg
/usr/bin/python3 - "$work/src.ppm" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1])
im.save('jpeg/pillow_444.jpg', quality=70, subsampling=0)
im.convert('L').save('jpeg/pillow_gray.jpg', quality=70)
PY

# Choice bytes: 0x01 .jpg, 0x03 .jpeg, 0x02 an unknown extension (TGA is
# tried first); 0x04 --rle, 0x08 --rle-decoder, 0x10 --gray.
choice=(01 0d 17 1e)
n=0
for seed in jpeg/*.jpg; do
  name=$(basename "$seed")
  { printf "\x${choice[n % 4]}"; cat "$seed"; } > "convert/$name.in"
  n=$((n + 1))
done
