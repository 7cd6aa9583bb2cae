#!/usr/bin/env bash
# Makes the BMP seeds of fuzz/corpus/bmp/ and their whole-conversion copies
# in fuzz/corpus/convert/ (each prefixed by the choice byte that picks the
# extension and the switches, see fuzz/fuzz_support.h). The seeds are small
# test fixtures (tests/fixtures/bmp/, where their origins are listed): OS/2
# and Windows 3 palettes, RLE8 and RLE4, 16-bit bit fields with alpha, 32-bit
# BI_RGB with alpha, top-down rows; and one run-length stream built here with
# a delta, an end of line and an early end of the picture.
#   fuzz/corpus/make_bmp_seeds.sh
set -euo pipefail
cd "$(dirname "$0")"
fixtures=../../tests/fixtures/bmp
mkdir -p bmp
for name in im2_pal1 im2_pal8 im3_pal4 im3_rle8 gimp_pal4_rle im_v5_argb4444 gimp_rgba5551 im3_rgba32 \
    deb_golang_yellow_rose_small deb_lgc_pg_attack; do
  cp "$fixtures/$name.bmp" bmp/
done
/usr/bin/python3 - <<'PY'
import struct
# 4 x 3 RLE8: two pixels of index 1, a delta of 1 right and 1 up, one of
# index 2, an end of line, a literal of 3, the end of the picture.
palette = bytes([0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0])
stream = bytes([2, 1, 0, 2, 1, 1, 1, 2, 0, 0, 0, 3, 0, 1, 2, 0, 0, 1])
info = struct.pack('<IiiHHIIiiII', 40, 4, 3, 1, 8, 1, len(stream), 0, 0, 3, 0)
offset = 14 + len(info) + len(palette)
head = b'BM' + struct.pack('<IHHI', offset + len(stream), 0, 0, offset)
open('bmp/rle8_delta_early_end.bmp', 'wb').write(head + info + palette + stream)
PY

# Choice bytes: 0x81 a .bmp name, 0x02 an unknown extension (TGA, JPEG and
# PNG are tried first); 0x04 --rle, 0x08 --rle-decoder, 0x10 --gray, 0x20
# --verbose.
choice=(81 85 02 b9)
n=0
for seed in bmp/*.bmp; do
  name=$(basename "$seed")
  { printf "\x${choice[n % 4]}"; cat "$seed"; } > "convert/$name.in"
  n=$((n + 1))
done
