#!/usr/bin/env bash
# Makes doc/fit_example.png, the README's before-and-after picture of the
# fitting switches: scikit-image's photo chelsea.png (python3-skimage, a
# 451 x 300 photo of a cat) as loaded, and the pixels unpacked from headers
# that Tarnwick made of it for small displays, each shown twice its size.
#
#   doc/make_fit_example.sh [build/Tarnwick]
#
# Needs apt-get (Debian 12), ImageMagick (montage) and python3-pil.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tarnwick=$(realpath "${1:-$root/build/Tarnwick}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get download python3-skimage >/dev/null 2>&1
dpkg-deb -x python3-skimage_*.deb skimage
cp skimage/usr/lib/python3/dist-packages/skimage/data/chelsea.png .

# Each header's array back into a picture: 32-bit items as RGB, 16-bit items
# as RGB565 (each field widened by repeating its top bits), 1-bit rows as
# black and white.
unpack() { # header picture
  /usr/bin/python3 - "$1" "$2" <<'PYTHON'
import re, sys
from PIL import Image
text = open(sys.argv[1]).read()
width = int(re.search(r"_width = (\d+)", text).group(1))
height = int(re.search(r"_height = (\d+)", text).group(1))
kind = re.search(r"const unsigned (\S+) p_", text).group(1)
items = [int(item, 16) for item in re.findall(r"0x[0-9a-f]+", text.split("{", 1)[1].split("}", 1)[0])]
if kind == "__int32":
    pixels = [(v >> 16 & 255, v >> 8 & 255, v & 255) for v in items]
elif kind == "short":
    def widen(value, bits):
        return value << (8 - bits) | value >> (2 * bits - 8)
    pixels = [(widen(v >> 11, 5), widen(v >> 5 & 63, 6), widen(v & 31, 5)) for v in items]
else:
    row_bytes = (width + 7) // 8
    pixels = [(255,) * 3 if items[y * row_bytes + x // 8] >> (7 - x % 8) & 1 else (0,) * 3
              for y in range(height) for x in range(width)]
image = Image.new("RGB", (width, height))
image.putdata(pixels)
image.save(sys.argv[2])
PYTHON
}

tiles=()
add() { # label switches...
  local label=$1 name=tile${#tiles[@]}
  shift
  "$tarnwick" chelsea.png "$name.h" "$@"
  unpack "$name.h" "$name.png"
  tiles+=(-label "$label" "$name.png")
}
/usr/bin/convert chelsea.png -resize 192x128 loaded.png
add "--resize=96x64" --resize=96x64
add "+ --rgb565 --dither=floyd" --resize=96x64 --rgb565 --dither=floyd
add "crop, --rotate=90, 64x64" --crop=300x300+75+0 --rotate=90 --resize=64x64
add "+ --mono" --resize=96x64 --mono
add "+ --mono --dither=floyd" --resize=96x64 --mono --dither=floyd
add "+ --mono --dither=atkinson" --resize=96x64 --mono --dither=atkinson
add "+ --mono --dither=bayer" --resize=96x64 --mono --dither=bayer
# Twice the size, pixel for pixel.
for ((i = 1; i < ${#tiles[@]}; i += 3)); do
  /usr/bin/convert "${tiles[$i + 1]}" -filter point -resize 200% "${tiles[$i + 1]}"
done
/usr/bin/montage -label "chelsea.png, 451 x 300" loaded.png "${tiles[@]}" -tile 4x2 -geometry '192x128>+6+6' \
  -background white -strip png:"$root/doc/fit_example.png"
echo "wrote $root/doc/fit_example.png"
