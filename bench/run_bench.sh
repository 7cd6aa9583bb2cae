#!/usr/bin/env bash
# Tarnwick against the tools people use instead, run by hand (not part of CI).
#
#   bench/run_bench.sh [--reps N] [--build DIR] [--quick] [--skip-stages] [--checksums-only]
#
# 1. Builds Tarnwick and the benchmark programs in DIR (default build-bench),
#    Release, with -DTARNWICK_BUILD_BENCH=ON.
# 2. Makes the inputs once, in DIR/bench-data/inputs: a 4000 x 3000 and a
#    1024 x 768 photo-like picture (ImageMagick's plasma fractal with a fixed
#    seed, blurred, with Gaussian noise), each as a 4:2:0 quality-90 JPEG made
#    by cjpeg and as an uncompressed 24-bit TGA; the 4000 x 3000 one also as
#    a progressive JPEG (jpegtran -progressive of the same file: the same
#    coefficients, so the same pixels) and as a PNG (24-bit, written by
#    ImageMagick), and a 4000 x 3000 interface-like picture of flat colours
#    (panels, buttons, lines and text) as a PNG.
# 3. Writes the SHA-256 of every header Tarnwick makes from every input with
#    every switch set to DIR/bench-data/checksums.txt. The first run keeps a
#    copy as checksums.first; later runs say whether they still match it, so a
#    change that alters one output byte shows at once. --checksums-only
#    stops after this step (exit status 1 when they differ).
# 4. Checks that bench/pillow_header.py writes byte for byte Tarnwick's header
#    for the TGA and PNG inputs (for a JPEG it decodes with Pillow's libjpeg, whose
#    integer transform and smooth chroma upsampling give slightly different
#    pixel values: the share of differing items and the mean and largest
#    difference of a colour channel are shown).
# 5. Times, in one interleaved run, N repetitions (default 5) of:
#    - for the 4000 x 3000 JPEG to tmpfs, on one processor (taskset -c 0):
#      Tarnwick with no switch, --gray and --rle, and djpeg -ppm;
#    - to a new file on the normal disk under DIR and on /dev/shm (tmpfs):
#      Tarnwick with no switch, with --gray and with --rle; djpeg -ppm for a
#      JPEG; for the 4000 x 3000 TGA, cp of a file as large as its header;
#    - with no output: the decode stage as a process of its own
#      (bench/decode_only: file to pixels), djpeg -ppm and djpeg -dct float
#      -nosmooth -ppm writing to /dev/null;
#    - to the disk only, unless --quick: pngtopnm and `convert photo.png
#      photo.ppm` for a PNG, the Pillow script, ImageMagick's `convert
#      photo.jpg photo.h`.
#    - for the 4000 x 3000 JPEG, Tarnwick with --resize=320x240 (Lanczos):
#      what resizing adds is that time less the decode stage's, against
#      djpeg's decode (target: at most 0.25 times);
#    Before each command the previous output is removed and the disk synced,
#    outside the timing. Medians and ratios are printed, and the targets.
# 6. Reports Tarnwick's peak resident memory and page faults (/usr/bin/time
#    -v) against the pixel array plus the JPEG sample planes (and a
#    progressive file's coefficients) plus 12 MiB.
# 7. Runs bench/stage_bench (Google Benchmark, medians of 5): decode (JPEG,
#    progressive JPEG, TGA, both PNG files), colour assembly, gray reduction,
#    packing, item formatting, header writing, and the resize of the decoded
#    photo to 320 x 240 with each filter.
#
# Needs cmake, g++, libbenchmark-dev, imagemagick (/usr/bin/convert),
# libjpeg-turbo-progs (cjpeg, djpeg, jpegtran), netpbm (pngtopnm),
# python3-pil and GNU time.
set -euo pipefail

SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=$SOURCE_DIR/build-bench
REPS=5
QUICK=0
RUN_STAGES=1
CHECKSUMS_ONLY=0
while [ $# -gt 0 ]; do
  case $1 in
    --reps) REPS=$2; shift 2 ;;
    --build) BUILD_DIR=$(realpath -m "$2"); shift 2 ;;
    --quick) QUICK=1; shift ;;
    --skip-stages) RUN_STAGES=0; shift ;;
    --checksums-only) CHECKSUMS_ONLY=1; shift ;;
    *) echo "usage: $0 [--reps N] [--build DIR] [--quick] [--skip-stages] [--checksums-only]" >&2; exit 2 ;;
  esac
done

DATA_DIR=$BUILD_DIR/bench-data
INPUT_DIR=$DATA_DIR/inputs
DISK_DIR=$DATA_DIR/out
SHM_DIR=/dev/shm/tarnwick-bench
TARNWICK=$BUILD_DIR/Tarnwick
DECODE_ONLY=$BUILD_DIR/bench/decode_only
PILLOW_SCRIPT=$SOURCE_DIR/bench/pillow_header.py
mkdir -p "$INPUT_DIR" "$DISK_DIR" "$SHM_DIR"
trap 'rm -rf "$SHM_DIR"' EXIT

echo "== build ($BUILD_DIR)"
cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_BENCH=ON \
  -DTARNWICK_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j2 --target Tarnwick stage_bench header_bench decode_only >/dev/null

echo "== inputs ($INPUT_DIR)"
SIZES="4000x3000 1024x768"
for size in $SIZES; do
  base=$INPUT_DIR/photo_$size
  if [ ! -f "$base.jpg" ] || [ ! -f "$base.tga" ]; then
    /usr/bin/convert -size "$size" -seed 4242 plasma:fractal -blur 0x2 -attenuate 0.4 \
      +noise Gaussian -depth 8 "$base.ppm"
    cjpeg -quality 90 -sample 2x2 -outfile "$base.jpg" "$base.ppm"
    /usr/bin/convert "$base.ppm" -compress None -type TrueColor -depth 8 "$base.tga"
    rm -f "$base.ppm"
  fi
  ls -l "$base.jpg" "$base.tga" | awk '{ print "  " $5 " bytes  " $NF }'
done
if [ ! -f "$INPUT_DIR/photo_4000x3000.png" ]; then
  /usr/bin/convert "$INPUT_DIR/photo_4000x3000.tga" -auto-orient png24:"$INPUT_DIR/photo_4000x3000.png"
fi
# Panels, a title bar, rows of buttons with outlines, separator lines and
# text, in a dozen flat colours: what interface art looks like.
if [ ! -f "$INPUT_DIR/ui_4000x3000.png" ]; then
  draw=()
  for ((row = 0; row < 10; ++row)); do
    y=$((400 + row * 250))
    for ((col = 0; col < 6; ++col)); do
      x=$((200 + col * 620))
      draw+=(-fill '#2d6cdf' -stroke '#1b3f86' -strokewidth 6 -draw "roundrectangle $x,$y $((x + 520)),$((y + 160)) 24,24")
      draw+=(-stroke none -fill white -draw "text $((x + 60)),$((y + 105)) 'Button $row.$col'")
    done
    draw+=(-stroke '#c8ccd4' -strokewidth 4 -draw "line 100,$((y + 205)) 3900,$((y + 205))")
  done
  /usr/bin/convert -size 4000x3000 xc:'#f4f5f7' -fill '#20242c' -draw 'rectangle 0,0 3999,240' \
    -fill '#e1e4ea' -draw 'rectangle 0,240 160,2999' -pointsize 64 -fill white -draw "text 80,150 'Tarnwick settings'" \
    -pointsize 56 "${draw[@]}" png32:"$INPUT_DIR/ui_4000x3000.png"
fi
if [ ! -f "$INPUT_DIR/progressive_4000x3000.jpg" ]; then
  jpegtran -progressive -outfile "$INPUT_DIR/progressive_4000x3000.jpg" "$INPUT_DIR/photo_4000x3000.jpg"
fi
ls -l "$INPUT_DIR/progressive_4000x3000.jpg" "$INPUT_DIR/photo_4000x3000.png" "$INPUT_DIR/ui_4000x3000.png" |
  awk '{ print "  " $5 " bytes  " $NF }'
INPUTS="photo_4000x3000.jpg progressive_4000x3000.jpg photo_4000x3000.tga photo_4000x3000.png ui_4000x3000.png
  photo_1024x768.jpg photo_1024x768.tga"

# Every command runs in the input folder, so that the image path, and with it
# the array name, is the same for every tool; the header path is the same too.
HEADER=$DISK_DIR/photo.h

echo "== checksums of Tarnwick's headers"
SWITCH_SETS=("" "--gray" "--rle" "--gray --rle" "--rle --rle-decoder" "--rgb565" "--rgb565-swapped --rle" "--mono"
  "--mono --dither --rle")
: >"$DATA_DIR/checksums.txt"
for input in $INPUTS; do
  for switches in "${SWITCH_SETS[@]}"; do
    rm -f "$HEADER"
    # shellcheck disable=SC2086
    # The guard name comes from the header's path: a relative one keeps the
    # checksums the same whatever folder the build is in.
    (cd "$INPUT_DIR" && "$TARNWICK" "$input" ../out/photo.h $switches)
    printf '%s  %-22s %s\n' "$(sha256sum <"$HEADER" | cut -c1-64)" "$input" "${switches:-(none)}" \
      >>"$DATA_DIR/checksums.txt"
  done
done
sed 's/^/  /' "$DATA_DIR/checksums.txt"
if [ ! -f "$DATA_DIR/checksums.first" ]; then
  cp "$DATA_DIR/checksums.txt" "$DATA_DIR/checksums.first"
  echo "  (kept as checksums.first: later runs are compared with it)"
elif cmp -s "$DATA_DIR/checksums.txt" "$DATA_DIR/checksums.first"; then
  echo "  identical to checksums.first"
else
  echo "  DIFFERENT from checksums.first:"
  diff "$DATA_DIR/checksums.first" "$DATA_DIR/checksums.txt" | sed 's/^/    /' || true
  [ "$CHECKSUMS_ONLY" = 1 ] && exit 1
fi
[ "$CHECKSUMS_ONLY" = 1 ] && exit 0

echo "== the Pillow script's headers against Tarnwick's"
[ "$QUICK" = 1 ] && echo "  (skipped: --quick)"
for input in $( [ "$QUICK" = 1 ] || echo $INPUTS); do
  for switches in "" "--gray"; do
    rm -f "$HEADER" "$HEADER.pillow"
    # shellcheck disable=SC2086
    (cd "$INPUT_DIR" && "$TARNWICK" "$input" "$HEADER" $switches && mv "$HEADER" "$HEADER.pillow" &&
      /usr/bin/python3 "$PILLOW_SCRIPT" "$input" "$HEADER" $switches)
    if cmp -s "$HEADER" "$HEADER.pillow"; then
      verdict="byte-identical"
    else
      verdict=$(/usr/bin/python3 - "$HEADER.pillow" "$HEADER" <<'EOF'
import re, sys
arrays = [open(path, "rb").read().split(b"{\n\t", 1)[1].split(b"};", 1)[0] for path in sys.argv[1:]]
items = [re.findall(rb"0x[0-9a-f]+", array) for array in arrays]
n = min(len(items[0]), len(items[1]))
differing = sum(a != b for a, b in zip(*items))
# Channel differences over at most a million items, evenly spread.
step = max(1, n // 1000000)
largest, total, channels = 0, 0, 0
for i in range(0, n, step):
    a, b = int(items[0][i], 16), int(items[1][i], 16)
    for shift in ((0, 8, 16) if len(items[0][i]) > 4 else (0,)):
        d = abs((a >> shift & 255) - (b >> shift & 255))
        largest, total, channels = max(largest, d), total + d, channels + 1
print("differs in %.1f%% of the items; channel difference mean %.2f, largest %d%s%s"
      % (100.0 * differing / max(1, n), total / max(1, channels), largest, "" if step == 1 else " (sampled)",
         "" if len(items[0]) == len(items[1]) else "; item counts differ"))
EOF
)
    fi
    printf '  %-22s %-8s %s\n' "$input" "${switches:-(none)}" "$verdict"
  done
done
rm -f "$HEADER.pillow"

# A file as large as the 32-bit header of the 4000 x 3000 TGA, for cp: what
# the kernel alone needs to write that many bytes.
COPY_SOURCE=$DATA_DIR/copy_source.h
(cd "$INPUT_DIR" && "$TARNWICK" photo_4000x3000.tga "$COPY_SOURCE")

# Commands timed for one input: "label|destination|command", the destination
# disk, shm or none; @ in the command stands for the destination folder.
commands_for() {
  local input=$1 dest
  for dest in disk shm; do
    echo "tarnwick|$dest|$TARNWICK $input @/photo.h"
    echo "tarnwick --gray|$dest|$TARNWICK $input @/photo.h --gray"
    echo "tarnwick --rle|$dest|$TARNWICK $input @/photo.h --rle"
    [ "${input##*.}" = jpg ] && echo "djpeg -ppm|$dest|djpeg -ppm -outfile @/photo.ppm $input"
    [ "$input" = photo_4000x3000.tga ] && echo "cp of the header's size|$dest|cp $COPY_SOURCE @/photo.h"
  done
  # On one processor (taskset -c 0) the header is written after the
  # decode, not beside it.
  if [ "$input" = photo_4000x3000.jpg ]; then
    echo "tarnwick, one processor|shm|taskset -c 0 $TARNWICK $input @/photo.h"
    echo "tarnwick --gray, one processor|shm|taskset -c 0 $TARNWICK $input @/photo.h --gray"
    echo "tarnwick --rle, one processor|shm|taskset -c 0 $TARNWICK $input @/photo.h --rle"
    echo "djpeg -ppm, one processor|shm|taskset -c 0 djpeg -ppm -outfile @/photo.ppm $input"
  fi
  # The resize to a display's size, with the default Lanczos filter.
  [ "$input" = photo_4000x3000.jpg ] && echo "tarnwick --resize=320x240|disk|$TARNWICK $input @/photo.h --resize=320x240"
  echo "decode only|none|$DECODE_ONLY $input"
  if [ "${input##*.}" = jpg ]; then
    echo "djpeg -ppm|none|djpeg -ppm -outfile /dev/null $input"
    echo "djpeg -dct float -nosmooth|none|djpeg -dct float -nosmooth -ppm -outfile /dev/null $input"
  fi
  [ "$QUICK" = 1 ] && return
  if [ "${input##*.}" = png ]; then
    echo "pngtopnm|disk|pngtopnm $input >@/photo.ppm"
    echo "convert to ppm|disk|/usr/bin/convert $input @/photo.ppm"
  fi
  echo "pillow script|disk|/usr/bin/python3 $PILLOW_SCRIPT $input @/photo.h"
  echo "imagemagick convert|disk|/usr/bin/convert $input @/photo.h"
}

folder_of() { case $1 in disk) echo "$DISK_DIR" ;; shm) echo "$SHM_DIR" ;; *) echo /dev/null ;; esac; }

echo "== timing: $REPS repetitions, interleaved; outputs to $DISK_DIR (disk) and $SHM_DIR (tmpfs)"
declare -A TIMES
cd "$INPUT_DIR"
for ((rep = 1; rep <= REPS; ++rep)); do
  for input in $INPUTS; do
    while IFS='|' read -r label dest command; do
      folder=$(folder_of "$dest")
      rm -f "$DISK_DIR/photo.h" "$DISK_DIR/photo.ppm" "$SHM_DIR/photo.h" "$SHM_DIR/photo.ppm"
      sync
      command=${command//@/$folder}
      start=$EPOCHREALTIME
      eval "$command" >/dev/null
      end=$EPOCHREALTIME
      TIMES["$input|$label|$dest"]+=" $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')"
    done < <(commands_for "$input")
  done
  echo "  repetition $rep of $REPS done"
done
rm -f "$DISK_DIR/photo.h" "$DISK_DIR/photo.ppm" "$SHM_DIR/photo.h" "$SHM_DIR/photo.ppm"
cd "$SOURCE_DIR"

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A MEDIANS
for input in $INPUTS; do
  while IFS='|' read -r label dest command; do
    MEDIANS["$input|$label|$dest"]=$(echo "${TIMES["$input|$label|$dest"]}" | median)
  done < <(commands_for "$input")
done
m() { echo "${MEDIANS["$1|$2|$3"]:-}"; }

for input in $INPUTS; do
  echo
  echo "  $input: medians of $REPS (seconds), and time / Tarnwick without switches to the same place"
  printf '    %-28s %18s %18s %10s\n' "" "disk" "tmpfs" "no output"
  declare -A seen=()
  while IFS='|' read -r label dest command; do
    [ -n "${seen[$label]:-}" ] && continue
    seen[$label]=1
    awk -v l="$label" -v d="$(m "$input" "$label" disk)" -v s="$(m "$input" "$label" shm)" \
        -v n="$(m "$input" "$label" none)" -v bd="$(m "$input" tarnwick disk)" -v bs="$(m "$input" tarnwick shm)" '
      function cell(v, b) { return v == "" ? sprintf("%18s", "") : sprintf("%8.3f (%5.2f x)", v, v / b) }
      BEGIN { printf "    %-28s %s %s %10s\n", l, cell(d, bd), cell(s, bs), n == "" ? "" : sprintf("%8.3f", n) }'
  done < <(commands_for "$input")
  unset seen
done

big=photo_4000x3000.jpg
tga=photo_4000x3000.tga
echo
echo "  targets, $big and $tga:"
for dest in disk shm; do
  place=$([ "$dest" = disk ] && echo disk || echo tmpfs)
  awk -v p="$place" -v t="$(m $big tarnwick $dest)" -v g="$(m $big "tarnwick --gray" $dest)" \
      -v r="$(m $big "tarnwick --rle" $dest)" -v d="$(m $big "djpeg -ppm" $dest)" \
      -v tt="$(m $tga tarnwick $dest)" -v c="$(m $tga "cp of the header's size" $dest)" 'BEGIN {
    verdict = "met"; missed = "NOT met"
    printf "    %-5s plain  / djpeg -ppm           %5.2f  (at most 1.35)  %s\n", p, t / d, (t / d <= 1.35) ? verdict : missed
    printf "    %-5s --gray / djpeg -ppm           %5.2f  (at most 1.3)   %s\n", p, g / d, (g / d <= 1.3) ? verdict : missed
    printf "    %-5s --rle  / djpeg -ppm           %5.2f  (at most 1.4)   %s\n", p, r / d, (r / d <= 1.4) ? verdict : missed
    printf "    %-5s TGA plain / cp of its size    %5.2f  (at most 1.5)   %s\n", p, tt / c, (tt / c <= 1.5) ? verdict : missed
  }'
done
awk -v t="$(m $big "decode only" none)" -v f="$(m $big "djpeg -dct float -nosmooth" none)" 'BEGIN {
  printf "    decode stage / djpeg -dct float -nosmooth (both to no output)  %5.2f  (at most 1.0)  %s\n", t / f,
    (t / f <= 1.0) ? "met" : "NOT met" }'
# What resizing adds: the conversion with --resize=320x240 (a small header)
# less the decode stage as a process of its own, against djpeg's decode.
awk -v r="$(m $big "tarnwick --resize=320x240" disk)" -v d="$(m $big "decode only" none)" \
    -v j="$(m $big "djpeg -ppm" none)" 'BEGIN {
  printf "    resize 4000 x 3000 to 320 x 240 (Lanczos): %.3f s - decode %.3f s = %.3f s, %.2f x djpeg -ppm (%.3f s)  (at most 0.25)  %s\n",
    r, d, r - d, (r - d) / j, j, ((r - d) / j <= 0.25) ? "met" : "NOT met" }'
echo "  the floors: djpeg -ppm decoding to /dev/null, and cp of a file the header's size; one after the"
echo "  other (their sum) on one processor, side by side (the larger) on two"
for dest in disk shm; do
  awk -v p="$([ "$dest" = disk ] && echo disk || echo tmpfs)" -v d="$(m $big "djpeg -ppm" none)" \
      -v c="$(m $tga "cp of the header's size" $dest)" -v t="$(m $big tarnwick $dest)" 'BEGIN {
    f = d > c ? d : c
    printf "    %-5s decode %.3f s, write %.3f s: side by side %.3f s; Tarnwick %.3f s, %.2f x that floor\n", p, d, c, f, t, t / f }'
done
echo "  on one processor (taskset -c 0), tmpfs:"
awk -v t="$(m $big "tarnwick, one processor" shm)" -v g="$(m $big "tarnwick --gray, one processor" shm)" \
    -v r="$(m $big "tarnwick --rle, one processor" shm)" -v d="$(m $big "djpeg -ppm, one processor" shm)" \
    -v dc="$(m $big "djpeg -ppm" none)" -v c="$(m $tga "cp of the header's size" shm)" 'BEGIN {
  printf "    plain %.3f s, --gray %.3f s, --rle %.3f s: %.2f, %.2f, %.2f x djpeg -ppm (%.3f s); plain %.2f x the sum of the floors (%.3f s)\n",
    t, g, r, t / d, g / d, r / d, d, t / (dc + c), dc + c }'
if [ "$QUICK" = 0 ]; then
  awk -v t="$(m $big tarnwick disk)" -v p="$(m $big "pillow script" disk)" -v c="$(m $big "imagemagick convert" disk)" 'BEGIN {
    printf "    Pillow script / Tarnwick     %6.2f  (at least 12)  %s\n", p / t, (p / t >= 12) ? "met" : "NOT met"
    printf "    ImageMagick / Tarnwick       %6.2f  (at least 7)   %s\n", c / t, (c / t >= 7) ? "met" : "NOT met"
  }'
fi

echo "== peak resident memory and page faults of Tarnwick (/usr/bin/time -v)"
for input in $INPUTS; do
  size=${input#*_}; size=${size%.*}
  width=${size%%x*}; height=${size#*x}
  # Pixel array, plus for a 4:2:0 JPEG the Y plane and the two chroma planes,
  # each padded to multiples of 8 samples, and for a progressive one their
  # coefficients (128 bytes a block of 64 samples).
  kind=other
  [ "${input##*.}" = jpg ] && kind=jpeg
  [ "${input%%_*}" = progressive ] && kind=progressive
  budget=$(awk -v w="$width" -v h="$height" -v kind="$kind" 'BEGIN {
    pixels = w * h * 4
    y = int((w + 7) / 8) * 8 * int((h + 7) / 8) * 8
    cw = int((w + 1) / 2); ch = int((h + 1) / 2)
    c = int((cw + 7) / 8) * 8 * int((ch + 7) / 8) * 8
    planes = kind != "other" ? y + 2 * c : 0
    coefficients = kind == "progressive" ? 2 * planes : 0
    printf "%d", (pixels + planes + coefficients + 12 * 1048576) / 1024 }')
  resize_sets=()
  [ "$size" = 4000x3000 ] && [ "${input%%_*}" = photo ] && resize_sets=("--resize=320x240")
  for switches in "" "--gray" "--rle" "${resize_sets[@]}"; do
    rm -f "$HEADER"
    # shellcheck disable=SC2086
    usage=$(cd "$INPUT_DIR" && /usr/bin/time -v "$TARNWICK" "$input" "$HEADER" $switches 2>&1 >/dev/null |
      awk -F': ' '/Maximum resident set size/ { p = $2 } /Minor .*page faults/ { f = $2 } END { print p, f }')
    # With --resize the resized array (320 x 240 pixels) counts too.
    extra=0
    [ "$switches" = --resize=320x240 ] && extra=300
    awk -v i="$input" -v s="${switches:-(none)}" -v p="${usage% *}" -v f="${usage#* }" -v b="$((budget + extra))" 'BEGIN {
      printf "  %-26s %-8s %8.1f MiB  (budget %6.1f MiB)  %-6s  %7d minor faults\n", i, s, p / 1024, b / 1024,
        (p <= b) ? "within" : "OVER", f }'
  done
done
rm -f "$HEADER"

if [ "$RUN_STAGES" = 1 ]; then
  echo
  echo "== per-stage split (bench/stage_bench, median of 5, $big; headers to $DISK_DIR and /dev/shm;"
  echo "   byte rates in binary units: 1 G/s = 1 GiB/s = 1.074 GB/s)"
  stages=$("$BUILD_DIR/bench/stage_bench" "$INPUT_DIR/$big" "$INPUT_DIR/$tga" "$DISK_DIR" \
    "$INPUT_DIR/progressive_4000x3000.jpg" "$INPUT_DIR/photo_4000x3000.png" "$INPUT_DIR/ui_4000x3000.png" \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null | grep _median |
    sed 's|/real_time_median||')
  echo "$stages" | awk '{ printf "  %-30s %8s %s", $1, $2, $3
    for (i = 6; i <= NF; ++i) if ($i ~ /bytes_per_second|header_MB/) printf "  %s", $i
    printf "\n" }'
  echo
  echo "$stages" | awk -v f="$(m $big "djpeg -dct float -nosmooth" none)" '
    function seconds(v, unit) { return unit == "ms" ? v / 1000 : unit == "us" ? v / 1e6 : v }
    # Google Benchmark prints byte rates in binary units: G/s is GiB/s.
    function byte_rate(field) { v = field; sub(/.*=/, "", v); n = v + 0
      return v ~ /G\/s$/ ? n * 1073741824 : v ~ /M\/s$/ ? n * 1048576 : v ~ /k\/s$/ ? n * 1024 : n }
    $1 == "Decode/Jpeg" { d = seconds($2, $3) }
    $1 == "Write/Plain32/disk" { for (i = 6; i <= NF; ++i) if ($i ~ /bytes_per_second/) w = byte_rate($i) }
    END {
      printf "  in-process decode / djpeg -dct float -nosmooth (a whole process)  %5.2f\n", d / f
      printf "  output stage, 32-bit header to disk         %5.2f GB/s  (at least 1.5) %s\n", w / 1e9, (w >= 1.5e9) ? "met" : "NOT met"
    }'
  if [ "$QUICK" = 0 ]; then
    echo
    echo "  PNG decode stage against whole decoding programs (file to PPM):"
    for png in photo_4000x3000 ui_4000x3000; do
      echo "$stages" | awk -v name="$png" -v p="$(m $png.png pngtopnm disk)" -v c="$(m $png.png "convert to ppm" disk)" '
        function seconds(v, unit) { return unit == "ms" ? v / 1000 : unit == "us" ? v / 1e6 : v }
        $1 == "Decode/Png/" name { d = seconds($2, $3) }
        END { printf "    %-16s %6.3f s;  pngtopnm %6.3f s (%.2f x);  convert to ppm %6.3f s (%.2f x)\n", name, d, p, p / d, c, c / d }'
    done
  fi
fi
