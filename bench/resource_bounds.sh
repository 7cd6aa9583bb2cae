#!/usr/bin/env bash
# Work and memory on hostile input: files that declare a huge picture but hold
# little data must end in the load error at once, whatever they declare, and
# so must the same bytes read through a pipe.
#   bench/resource_bounds.sh [path-to-Tarnwick]
# Without a path, Tarnwick is built (Release) in build-bounds/. The inputs are
# made here; each runs under /usr/bin/time -v, once as a file and once
# through a FIFO of the same name, and must exit with the load error (status
# 255) within MAX_SECONDS (default 1) and a peak resident size below
# MAX_RSS_KIB (default 65536, 64 MiB); the 62-byte PNG through a FIFO within
# 0.1 s and 16 MiB. Two GIF files are pictures that load, within the same
# bounds: 10,000 frames asked for the last (--frame=9999), and a frame whose
# LZW data is 32 KB of clear codes. An endless pipe (/dev/zero) must stop at the 1 GiB input
# limit with the cause "the input is too large". Prints one line per input
# and exits non-zero when any bound is broken.
set -euo pipefail
cd "$(dirname "$0")/.."
max_seconds=${MAX_SECONDS:-1}
max_rss_kib=${MAX_RSS_KIB:-65536}

if [ $# -ge 1 ]; then
  tarnwick=$(realpath "$1")
else
  cmake -S . -B build-bounds -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_TESTS=OFF >/dev/null
  cmake --build build-bounds -j2 --target Tarnwick >/dev/null
  tarnwick=$PWD/build-bounds/Tarnwick
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import struct, sys, zlib
out = sys.argv[1]

def segment(marker, body):
    return struct.pack('>HH', marker, len(body) + 2) + body

# Quantisation table 0 of ones; Huffman table 0 of each class with one 1-bit
# code, symbol 0: every two zero bits of scan data are one flat block.
TABLES = (segment(0xFFDB, b'\x00' + b'\x01' * 64) +
          segment(0xFFC4, b'\x00\x01' + b'\x00' * 15 + b'\x00' + b'\x10\x01' + b'\x00' * 15 + b'\x00'))

def frame(width, height, components):
    body = struct.pack('>BHHB', 8, height, width, len(components))
    for n_id, sampling in components:
        body += bytes([n_id, sampling, 0])
    return segment(0xFFC0, body)

def scan(ids):
    return segment(0xFFDA, bytes([len(ids)]) + b''.join(bytes([i, 0x00]) for i in ids) + b'\x00\x3f\x00')

def write(name, data):
    with open(f'{out}/{name}', 'wb') as f:
        f.write(data)

ycc = [(1, 0x11), (2, 0x11), (3, 0x11)]
head = b'\xff\xd8' + TABLES + frame(32767, 32767, ycc) + scan([1, 2, 3])
# 1 KB declaring 32767 x 32767 in 3 components; the scan's data ends a third
# of the way through the first MCU row.
write('jpeg-32767x32767x3-1k-scan-cut.jpg', head + bytes(1024 - len(head)))
# Frame header and end of image, no scan: once a 1.4 GB mid-gray image.
write('jpeg-21248x16772x3-no-scan.jpg', b'\xff\xd8' + TABLES + frame(21248, 16772, ycc) + b'\xff\xd9')
# A scan of the two 1 x 1 components of a frame whose third one is sampled
# 15 x 15: MCUs of 120 x 120 pixels, 178 x 140 of them, two flat blocks each
# in 12 KB of data; the third component is never scanned.
sparse = b'\xff\xd8' + TABLES + frame(21248, 16772, [(1, 0x11), (2, 0x11), (3, 0xFF)]) + scan([1, 2])
write('jpeg-21248x16772x3-one-plane-unscanned.jpg', sparse + bytes(178 * 140 * 2 * 2 // 8) + b'\xff\xd9')
# 1 KB of scan headers that carry no component over a 32767 x 32767 frame.
head = b'\xff\xd8' + TABLES + frame(32767, 32767, [(1, 0x11)])
empty = segment(0xFFDA, b'\x00\x00\x3f\x00')
write('jpeg-32767x32767-empty-scans.jpg', head + empty * ((1022 - len(head)) // len(empty)) + b'\xff\xd9')

# 1 KB of four-component frame headers of two alternating sizes: planes
# freed and allocated anew for each would come back as recycled heap memory
# that calloc must clear.
four = [(1, 0x11), (2, 0x11), (3, 0x11), (4, 0x11)]
frames = b"\xff\xd8" + (frame(5784, 5784, four) + frame(4072, 4072, four)) * 23
write('jpeg-1k-of-frame-headers.jpg', frames[:1024])

# Progressive frames (SOF2). Huffman table 1 of the DC class: one 1-bit
# code, size 0; of the AC class: 00 run 0 size 1, 01 an end-of-band run of
# 2^14 + 14 bits, 10 an end-of-band run of one block.
PROG_TABLES = segment(0xFFC4, b'\x01\x01' + b'\x00' * 15 + b'\x00' +
                      b'\x11\x00\x03' + b'\x00' * 14 + b'\x01\xe0\x00')

def prog_frame(width, height, components):
    return frame(width, height, components)[:1] + b'\xc2' + frame(width, height, components)[2:]

def prog_scan(ids, start, end, high, low):
    return segment(0xFFDA, bytes([len(ids)]) + b''.join(bytes([i, 0x11]) for i in ids) +
                   bytes([start, end, high << 4 | low]))

def bits(text):
    """Entropy-coded bytes of a string of 0 and 1, padded with 1 bits, a zero
    stuffed after each 0xFF."""
    text += '1' * (-len(text) % 8)
    data = b''
    for i in range(0, len(text), 8):
        byte = int(text[i:i + 8], 2)
        data += bytes([byte]) + (b'\x00' if byte == 0xff else b'')
    return data

EOB_32767 = '01' + '1' * 14
# 1 KB declaring 32767 x 32767 in 3 components, progressive: the DC scan's
# data ends a third of the way through the first MCU row.
head = b'\xff\xd8' + TABLES + PROG_TABLES + prog_frame(32767, 32767, ycc) + prog_scan([1, 2, 3], 0, 0, 0, 0)
write('jpeg-prog-32767x32767x3-1k-dc-cut.jpg', head + bytes(1024 - len(head)))
# 1 KB of AC scans, each an end-of-band run over 32767 blocks at a time,
# before any DC scan: nothing of the frame may be walked.
head = b'\xff\xd8' + TABLES + PROG_TABLES + prog_frame(32767, 32767, [(1, 0x11)])
ac = b''
for k in range(1, 64):
    ac += prog_scan([1], k, k, 0, 0) + bits(EOB_32767 * 8)
write('jpeg-prog-32767x32767-1k-eob-runs.jpg', (head + ac)[:1022] + b'\xff\xd9')
# 2048 x 2048 gray, 65536 blocks: a DC scan (one bit a block), then for each
# position k a first scan putting a coefficient into block 0 and an
# end-of-band run over the others, and thirteen refinements whose
# end-of-band runs walk every block to correct that one coefficient: 883
# scans in 13 KB, refused at the 101st.
head = b'\xff\xd8' + TABLES + PROG_TABLES + prog_frame(2048, 2048, [(1, 0x11)])
scans = prog_scan([1], 0, 0, 0, 0) + bits('0' * 65536)
for k in range(1, 64):
    scans += prog_scan([1], k, k, 0, 13) + bits('00' + '1' + EOB_32767 * 2 + '10')
    for high in range(13, 0, -1):
        scans += prog_scan([1], k, k, high, high - 1) + bits(EOB_32767 + '0' + EOB_32767 + '10' * 2)
write('jpeg-prog-2048x2048-883-scans.jpg', head + scans + b'\xff\xd9')

def tga(image_type, width, height):
    return struct.pack('<BBBHHBHHHHBB', 0, 0, image_type, 0, 0, 0, 0, 0, width, height, 24, 0x20)

# 65535 x 16383 declared, one row of data: raw 24-bit pixels, and
# repetition packets of 128 pixels (4 bytes each).
write('tga-65535x16383-one-row.tga', tga(2, 65535, 16383) + b'\x11' * (65535 * 3))
write('tga-65535x16383-rle-one-row.tga', tga(10, 65535, 16383) + b'\xff\x01\x02\x03' * 511 + b'\xfe\x01\x02\x03')

def png_chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))

def png(width, height, depth, color_type, interlace, middle):
    header = struct.pack('>IIBBBBB', width, height, depth, color_type, 0, 0, interlace)
    return b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header) + middle + png_chunk(b'IEND', b'')

# 1 KB declaring 65535 x 65535: 34 GB of 16-bit RGBA rows, and 537 MB of
# interlaced 1-bit gray ones, against 1 MB that 1 KB of deflate can give.
# The IDAT holds the start of the deflate stream of 1 MB of zeros.
zeros = zlib.compress(bytes(1 << 20), 9)
for name, depth, color_type, interlace in (('rgba16', 16, 6, 0), ('gray1-interlaced', 1, 0, 1)):
    n_data = 1024 - len(png(1, 1, 1, 0, 0, b'')) - 12
    write(f'png-65535x65535-{name}-1k.png',
          png(65535, 65535, depth, color_type, interlace, png_chunk(b'IDAT', zeros[:n_data])))
# 32767 x 32767 1-bit gray: 134 MB of rows, which a file of 131 KB could
# hold, so the size of a skipped private chunk gets the header past the data
# check and the 4 GiB pixel array is allocated; the IDAT then holds one row.
row = zlib.compress(b'\x00' + bytes(4096), 9)
write('png-32767x32767-gray1-padded-131k.png',
      png(32767, 32767, 1, 0, 0, png_chunk(b'prVt', bytes(131000)) + png_chunk(b'IDAT', row)))
# 62 bytes declaring one RGB row of 50,000,000 pixels (150 MB of row, 200 MB
# of pixels): refused from the file's size alone, through a pipe too.
bomb = png(50000000, 1, 8, 2, 0, png_chunk(b'IDAT', zlib.compress(b'\x00' * 64)[:5]))
assert len(bomb) == 62
write('png-50000000x1-62-bytes.png', bomb)

def gif(width, height, records):
    """GIF89a with a global table of four colours, the records, the trailer."""
    colours = bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255])
    return b'GIF89a' + struct.pack('<HHBBB', width, height, 0x81, 0, 0) + colours + records + b'\x3b'

def gif_frame(x, y, width, height, codes, disposal=None):
    """An image descriptor and LZW data of 3-bit codes (minimum code size 2)."""
    bits = count = 0
    packed = bytearray()
    for code in codes:
        bits |= code << count
        count += 3
        while count >= 8:
            packed.append(bits & 255)
            bits >>= 8
            count -= 8
    if count:
        packed.append(bits)
    blocks = b''.join(bytes([len(packed[i:i + 255])]) + packed[i:i + 255] for i in range(0, len(packed), 255))
    control = b'' if disposal is None else b'\x21\xf9\x04' + bytes([disposal << 2]) + b'\0\0\0\0'
    return control + b'\x2c' + struct.pack('<HHHHB', x, y, width, height, 0) + b'\x02' + blocks + b'\0'

# 10,000 frames of one pixel each on a 64 x 64 screen, disposed of in turn
# as kept, background and previous (240 KB), read up to the last with
# --frame=9999.
frames = b''.join(gif_frame(n % 64, n // 64 % 64, 1, 1, [4, n % 4, 5], n % 3 + 1) for n in range(10000))
write('gif-10000-frames-frame-9999.gif', gif(64, 64, frames))
# 1 KB declaring a screen of 65535 x 65535 (16 GiB of pixels): a frame of
# one pixel and a comment of four sub-blocks.
frame = gif_frame(0, 0, 1, 1, [4, 0, 5])
room = 1024 - len(gif(65535, 65535, frame)) - 3  # the comment's introducer and terminator
comment = b'\x21\xfe' + b''.join(bytes([n]) + bytes(n - 1) for n in (255, 255, 255, room - 765)) + b'\0'
write('gif-65535x65535-screen-1k.gif', gif(65535, 65535, frame + comment))
# 16384 x 16384 (1 GiB of pixels), which a file of 96 KB could hold: a
# comment pads the file to 100 KB, and the frame's LZW data ends after its
# first row. The screen's pages that no row reaches are never touched.
row = gif_frame(0, 0, 16384, 16384, [4, 0] * 16384)
room = 100 * 1024 - len(gif(16384, 16384, row)) - 3
sizes = [255] * (room // 256) + ([room % 256] if room % 256 else [])
comment = b'\x21\xfe' + b''.join(bytes([n]) + b'p' * n for n in sizes) + b'\0'
write('gif-16384x16384-padded-100k-one-row.gif', gif(16384, 16384, comment + row[:-1] + b'\0'))
# A 1 x 1 frame whose pixel comes after 32 KB of clear codes (87,381 of
# them): giflib clears its table of 4096 codes for each.
write('gif-1x1-32k-of-clear-codes.gif', gif(1, 1, gif_frame(0, 0, 1, 1, [4] * (32768 * 8 // 3) + [0, 5])))

def webp(chunks):
    body = b''.join(kind + struct.pack('<I', len(data)) + data + b'\0' * (len(data) & 1) for kind, data in chunks)
    return b'RIFF' + struct.pack('<I', 4 + len(body)) + b'WEBP' + body

def flat_lossless(width, height):
    """A lossless bitstream of one colour: five prefix codes of one symbol,
    so that every pixel costs no bits."""
    bits = count = 0
    out = bytearray()
    fields = [(0x2f, 8), (width - 1, 14), (height - 1, 14), (1, 1), (0, 3), (0, 1), (0, 1), (0, 1)]
    for symbol in (0x66, 0x33, 0x99, 0xff, 0):
        fields += [(1, 1), (0, 1), (1, 1), (symbol, 8)]
    for value, width_bits in fields:
        bits |= value << count
        count += width_bits
        while count >= 8:
            out.append(bits & 255)
            bits >>= 8
            count -= 8
    return bytes(out + (bytes([bits]) if count else b''))

# 16383 x 16383 (1 GiB of pixels), the largest WebP picture: lossless of one
# colour in 34 bytes, which would decode in full; lossy with 1 KB of data;
# and an animation whose canvas is that large, its one frame 1 x 1.
write('webp-16383x16383-lossless-flat-34-bytes.webp', webp([(b'VP8L', flat_lossless(16383, 16383))]))
key_frame = struct.pack('<I', 1000 << 5 | 0x10)[:3] + b'\x9d\x01\x2a' + struct.pack('<HH', 16383, 16383)
write('webp-16383x16383-lossy-1k.webp', webp([(b'VP8 ', key_frame + bytes(range(256)) * 4)]))
vp8x = struct.pack('<I', 0x12) + struct.pack('<I', 16382)[:3] + struct.pack('<I', 16382)[:3]
anim = struct.pack('<IH', 0, 0)
pixel = flat_lossless(1, 1)
anmf = bytes(12) + struct.pack('<I', 100)[:3] + b'\0' + b'VP8L' + struct.pack('<I', len(pixel)) + pixel + b'\0' * (len(pixel) & 1)
write('webp-16383x16383-canvas-1x1-frame.webp', webp([(b'VP8X', vp8x), (b'ANIM', anim), (b'ANMF', anmf)]))
def bmp(width, height, bits, compression, palette, data):
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, compression, len(data), 0, 0,
                       len(palette) // 4, 0)
    offset = 14 + len(info) + len(palette)
    return b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset) + info + palette + data

# 60 bytes declaring 65535 x 65535 24-bit pixels (17 GB of pixel array, 12 GB
# of rows), one pixel of data.
bomb = bmp(65535, 65535, 24, 0, b'', b'\x11\x22\x33\x00\x00\x00')
assert len(bomb) == 60
write('bmp-65535x65535-60-bytes.bmp', bomb)
# 62 bytes of run-length file declaring 30000 x 30000 (3.6 GB of pixels):
# one run of 255 pixels, then the end of the picture.
bomb = bmp(30000, 30000, 8, 1, b'\x00\x00\xff\x00', b'\xff\x00\x00\x01')
assert len(bomb) == 62
write('bmp-30000x30000-rle8-62-bytes.bmp', bomb)
# 1-bit rows of 32767 x 32767 (134 MB of rows, 4 GiB of pixels) with one
# row of data.
write('bmp-32767x32767-1bit-one-row.bmp', bmp(32767, 32767, 1, 0, b'\x00' * 8, b'\xaa' * 4096))
PY

failed=0
printf '%-50s %8s %7s %9s %13s\n' input bytes status seconds 'max RSS KiB'
# Each run expects the load error unless expect_status is 0, and adds the
# switches (both set before the call).
measure() { # name input-path size max-seconds max-rss-kib [cause]
  local name=$1 input=$2 size=$3 limit_seconds=$4 limit_rss=$5 cause=${6:-} status=0 expect=${expect_status:-255}
  # shellcheck disable=SC2086
  /usr/bin/time -v -o "$work/time.txt" "$tarnwick" "$input" "$work/out.h" --verbose ${switches:-} >/dev/null \
    2>"$work/stderr.txt" || status=$?
  local elapsed rss seconds
  elapsed=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/time.txt")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  seconds=$(awk -v t="$elapsed" 'BEGIN { n = split(t, p, ":"); s = 0; for(i = 1; i <= n; ++i) s = s * 60 + p[i]; printf "%.2f", s }')
  local verdict=ok
  if [ "$status" -ne "$expect" ]; then
    verdict="FAILED: exit status $status, not $expect"
  elif [ "$expect" -eq 255 ] && ! grep -q "^error: error loading image file" "$work/stderr.txt"; then
    verdict="FAILED: not the load error"
  elif [ -n "$cause" ] && ! grep -q "^error: $cause" "$work/stderr.txt"; then
    verdict="FAILED: not the cause '$cause'"
  elif awk -v s="$seconds" -v m="$limit_seconds" 'BEGIN { exit !(s >= m) }'; then
    verdict="FAILED: ${limit_seconds} s or more"
  elif [ "$rss" -ge "$limit_rss" ]; then
    verdict="FAILED: ${limit_rss} KiB or more"
  fi
  printf '%-50s %8s %7s %9s %13s  %s\n' "$name" "$size" "$status" "$seconds" "$rss" "$verdict"
  [ "$verdict" = ok ] || failed=1
}

mkdir "$work/fifo"
for input in "$work"/*.jpg "$work"/*.tga "$work"/*.png "$work"/*.bmp "$work"/*.gif "$work"/*.webp; do
  name=$(basename "$input")
  size=$(stat -c %s "$input")
  limit_seconds=$max_seconds limit_rss=$max_rss_kib
  # Two GIF files are pictures that load; the other GIF and WebP files are
  # refused for their declared size.
  expect_status=255 switches= cause=
  case $name in
    gif-10000-frames-frame-9999.gif) expect_status=0 switches=--frame=9999 ;;
    gif-1x1-32k-of-clear-codes.gif) expect_status=0 ;;
    gif-16384x16384-padded-100k-one-row.gif) cause="the file's data is corrupt" ;;
    gif-* | webp-*) cause="the declared picture is too large" ;;
  esac
  measure "$name" "$input" "$size" "$limit_seconds" "$limit_rss" "$cause"
  # The same bytes through a FIFO of the same name: read once, held to the
  # same bounds (and the PNG bomb to 0.1 s and 16 MiB).
  case $name in png-50000000x1-62-bytes.png) limit_seconds=0.1 limit_rss=16384 ;; esac
  fifo=$work/fifo/$name
  mkfifo "$fifo"
  cat "$input" >"$fifo" 2>/dev/null &
  measure "$name (through a FIFO)" "$fifo" "$size" "$limit_seconds" "$limit_rss" "$cause"
  wait || true
  rm -f "$fifo"
done
# An endless pipe stops at the 1 GiB limit: about a second of reading and
# 1 GiB held, then the load error with its cause.
expect_status=255 switches=
measure "/dev/zero (endless)" /dev/zero - 10 $((1200 * 1024)) "the input is too large"
exit $failed