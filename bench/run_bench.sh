#!/usr/bin/env bash
# Tarnwick against the tools people use instead, run by hand (not part of CI).
#
#   bench/run_bench.sh [--reps N] [--shm] [--build DIR] [--skip-stages] [--checksums-only]
#
# 1. Builds Tarnwick and the benchmark programs in DIR (default build-bench),
#    Release, with -DTARNWICK_BUILD_BENCH=ON.
# 2. Makes the inputs once, in DIR/bench-data/inputs: a 4000 x 3000 and a
#    1024 x 768 photo-like picture (ImageMagick's plasma fractal with a fixed
#    seed, blurred, with Gaussian noise), each as a 4:2:0 quality-90 JPEG made
#    by cjpeg and as an uncompressed 24-bit TGA; the 4000 x 3000 one also as
#    a PNG (24-bit, written by ImageMagick), and a 4000 x 3000 interface-like
#    picture of flat colours (panels, buttons, lines and text) as a PNG.
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
# 5. Times, interleaved, N repetitions (default 5) of: Tarnwick with no
#    switch, with --gray and with --rle; djpeg -ppm (the decode floor) and
#    djpeg -dct float -nosmooth -ppm for a JPEG, pngtopnm and `convert
#    photo.png photo.ppm` for a PNG; the Pillow script; ImageMagick's
#    `convert photo.jpg photo.h`. Every command writes a new file (the old one
#    is removed and the disk synced beforehand, outside the timing) on the
#    normal disk under DIR, or on /dev/shm with --shm. Medians and ratios
#    to Tarnwick without switches are printed.
# 6. Reports Tarnwick's peak resident memory (/usr/bin/time -v) against the
#    pixel array plus the JPEG sample planes plus 8 MiB.
# 7. Runs bench/stage_bench (Google Benchmark, medians of 5): decode (JPEG,
#    TGA, both PNG files), colour assembly, gray reduction, packing, item
#    formatting and header writing.
#
# Needs cmake, g++, libbenchmark-dev, imagemagick (/usr/bin/convert),
# libjpeg-turbo-progs (cjpeg, djpeg), netpbm (pngtopnm), python3-pil and GNU
# time.
set -euo pipefail

SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=$SOURCE_DIR/build-bench
REPS=5
USE_SHM=0
RUN_STAGES=1
CHECKSUMS_ONLY=0
while [ $# -gt 0 ]; do
  case $1 in
    --reps) REPS=$2; shift 2 ;;
    --shm) USE_SHM=1; shift ;;
    --build) BUILD_DIR=$(realpath -m "$2"); shift 2 ;;
    --skip-stages) RUN_STAGES=0; shift ;;
    --checksums-only) CHECKSUMS_ONLY=1; shift ;;
    *) echo "usage: $0 [--reps N] [--shm] [--build DIR] [--skip-stages] [--checksums-only]" >&2; exit 2 ;;
  esac
done

DATA_DIR=$BUILD_DIR/bench-data
INPUT_DIR=$DATA_DIR/inputs
OUT_DIR=$DATA_DIR/out
[ "$USE_SHM" = 1 ] && OUT_DIR=/dev/shm/tarnwick-bench
TARNWICK=$BUILD_DIR/Tarnwick
PILLOW_SCRIPT=$SOURCE_DIR/bench/pillow_header.py
mkdir -p "$INPUT_DIR" "$OUT_DIR" "$DATA_DIR/out"

echo "== build ($BUILD_DIR)"
cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_BENCH=ON \
  -DTARNWICK_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j2 --target Tarnwick stage_bench header_bench >/dev/null

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
ls -l "$INPUT_DIR/photo_4000x3000.png" "$INPUT_DIR/ui_4000x3000.png" | awk '{ print "  " $5 " bytes  " $NF }'
INPUTS="photo_4000x3000.jpg photo_4000x3000.tga photo_4000x3000.png ui_4000x3000.png photo_1024x768.jpg photo_1024x768.tga"

# Every command runs in the input folder, so that the image path, and with it
# the array name, is the same for every tool; the header path is the same too.
HEADER=$OUT_DIR/photo.h

echo "== checksums of Tarnwick's headers"
SWITCH_SETS=("" "--gray" "--rle" "--gray --rle" "--rle --rle-decoder")
: >"$DATA_DIR/checksums.txt"
for input in $INPUTS; do
  for switches in "${SWITCH_SETS[@]}"; do
    rm -f "$HEADER"
    # shellcheck disable=SC2086
    (cd "$INPUT_DIR" && "$TARNWICK" "$input" "$HEADER" $switches)
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
for input in $INPUTS; do
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

# Commands timed for one input: "label|command". djpeg only reads JPEG.
commands_for() {
  local input=$1
  echo "tarnwick|$TARNWICK $input $HEADER"
  echo "tarnwick --gray|$TARNWICK $input $HEADER --gray"
  echo "tarnwick --rle|$TARNWICK $input $HEADER --rle"
  if [ "${input##*.}" = jpg ]; then
    echo "djpeg -ppm|djpeg -ppm -outfile $OUT_DIR/photo.ppm $input"
    echo "djpeg -dct float -nosmooth|djpeg -dct float -nosmooth -ppm -outfile $OUT_DIR/photo.ppm $input"
  fi
  if [ "${input##*.}" = png ]; then
    echo "pngtopnm|pngtopnm $input >$OUT_DIR/photo.ppm"
    echo "convert to ppm|/usr/bin/convert $input $OUT_DIR/photo.ppm"
  fi
  echo "pillow script|/usr/bin/python3 $PILLOW_SCRIPT $input $HEADER"
  echo "imagemagick convert|/usr/bin/convert $input $HEADER"
}

echo "== timing: $REPS repetitions, interleaved; headers to $OUT_DIR"
declare -A TIMES
cd "$INPUT_DIR"
for ((rep = 1; rep <= REPS; ++rep)); do
  for input in $INPUTS; do
    while IFS='|' read -r label command; do
      rm -f "$HEADER" "$OUT_DIR/photo.ppm"
      sync
      start=$EPOCHREALTIME
      eval "$command" >/dev/null
      end=$EPOCHREALTIME
      TIMES["$input|$label"]+=" $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')"
    done < <(commands_for "$input")
  done
  echo "  repetition $rep of $REPS done"
done
rm -f "$HEADER" "$OUT_DIR/photo.ppm"
cd "$SOURCE_DIR"

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A MEDIANS
for input in $INPUTS; do
  echo
  echo "  $input: median of $REPS, and time / Tarnwick (no switch)"
  while IFS='|' read -r label command; do
    MEDIANS["$input|$label"]=$(echo "${TIMES["$input|$label"]}" | median)
  done < <(commands_for "$input")
  base=${MEDIANS["$input|tarnwick"]}
  while IFS='|' read -r label command; do
    m=${MEDIANS["$input|$label"]}
    awk -v l="$label" -v m="$m" -v b="$base" 'BEGIN { printf "    %-28s %8.3f s  %7.2f x\n", l, m, m / b }'
  done < <(commands_for "$input")
done

big=photo_4000x3000.jpg
echo
echo "  targets, $big (end to end, 32-bit, header on $( [ "$USE_SHM" = 1 ] && echo /dev/shm || echo disk )):"
awk -v t="${MEDIANS["$big|tarnwick"]}" -v d="${MEDIANS["$big|djpeg -ppm"]}" \
    -v p="${MEDIANS["$big|pillow script"]}" -v c="${MEDIANS["$big|imagemagick convert"]}" 'BEGIN {
  printf "    Tarnwick / djpeg -ppm        %6.2f  (at most 3)    %s\n", t / d, (t / d <= 3) ? "met" : "NOT met"
  printf "    Pillow script / Tarnwick     %6.2f  (at least 12)  %s\n", p / t, (p / t >= 12) ? "met" : "NOT met"
  printf "    ImageMagick / Tarnwick       %6.2f  (at least 7)   %s\n", c / t, (c / t >= 7) ? "met" : "NOT met"
}'

echo
echo "== peak resident memory of Tarnwick (/usr/bin/time -v)"
for input in $INPUTS; do
  size=${input#*_}; size=${size%.*}
  width=${size%%x*}; height=${size#*x}
  # Pixel array, plus for a 4:2:0 JPEG the Y plane and the two chroma planes,
  # each padded to multiples of 8 samples.
  budget=$(awk -v w="$width" -v h="$height" -v jpeg="$([ "${input##*.}" = jpg ] && echo 1 || echo 0)" 'BEGIN {
    pixels = w * h * 4
    y = int((w + 7) / 8) * 8 * int((h + 7) / 8) * 8
    cw = int((w + 1) / 2); ch = int((h + 1) / 2)
    c = int((cw + 7) / 8) * 8 * int((ch + 7) / 8) * 8
    planes = jpeg ? y + 2 * c : 0
    printf "%d", (pixels + planes + 8 * 1048576) / 1024 }')
  for switches in "" "--gray" "--rle"; do
    rm -f "$HEADER"
    # shellcheck disable=SC2086
    peak=$(cd "$INPUT_DIR" && /usr/bin/time -v "$TARNWICK" "$input" "$HEADER" $switches 2>&1 >/dev/null |
      awk -F': ' '/Maximum resident set size/ { print $2 }')
    awk -v i="$input" -v s="${switches:-(none)}" -v p="$peak" -v b="$budget" 'BEGIN {
      printf "  %-22s %-8s %8.1f MiB  (budget %6.1f MiB)  %s\n", i, s, p / 1024, b / 1024, (p <= b) ? "within" : "OVER" }'
  done
done
rm -f "$HEADER"
[ "$USE_SHM" = 1 ] && rmdir "$OUT_DIR"

if [ "$RUN_STAGES" = 1 ]; then
  echo
  echo "== per-stage split (bench/stage_bench, median of 5, $big; headers to $DATA_DIR/out and /dev/shm;"
  echo "   byte rates in binary units: 1 G/s = 1 GiB/s = 1.074 GB/s)"
  stages=$("$BUILD_DIR/bench/stage_bench" "$INPUT_DIR/$big" "$INPUT_DIR/photo_4000x3000.tga" "$DATA_DIR/out" \
    "$INPUT_DIR/photo_4000x3000.png" "$INPUT_DIR/ui_4000x3000.png" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null | grep _median |
    sed 's|/real_time_median||')
  echo "$stages" | awk '{ printf "  %-26s %8s %s", $1, $2, $3
    for (i = 6; i <= NF; ++i) if ($i ~ /bytes_per_second|header_MB/) printf "  %s", $i
    printf "\n" }'
  echo
  echo "  targets:"
  echo "$stages" | awk -v f="${MEDIANS["$big|djpeg -dct float -nosmooth"]}" '
    function seconds(v, unit) { return unit == "ms" ? v / 1000 : unit == "us" ? v / 1e6 : v }
    # Google Benchmark prints byte rates in binary units: G/s is GiB/s.
    function byte_rate(field) { v = field; sub(/.*=/, "", v); n = v + 0
      return v ~ /G\/s$/ ? n * 1073741824 : v ~ /M\/s$/ ? n * 1048576 : v ~ /k\/s$/ ? n * 1024 : n }
    $1 == "Decode/Jpeg" { d = seconds($2, $3) }
    $1 == "Write/Plain32/disk" { for (i = 6; i <= NF; ++i) if ($i ~ /bytes_per_second/) w = byte_rate($i) }
    END {
      printf "    JPEG decode stage / djpeg -dct float -nosmooth  %5.2f  (at most 2.5)   %s\n", d / f, (d / f <= 2.5) ? "met" : "NOT met"
      printf "    output stage, 32-bit header to disk         %5.2f GB/s  (at least 1.5) %s\n", w / 1e9, (w >= 1.5e9) ? "met" : "NOT met"
    }'
  echo
  echo "  PNG decode stage against whole decoding programs (file to PPM):"
  for png in photo_4000x3000 ui_4000x3000; do
    echo "$stages" | awk -v name="$png" -v p="${MEDIANS["$png.png|pngtopnm"]}" -v c="${MEDIANS["$png.png|convert to ppm"]}" '
      function seconds(v, unit) { return unit == "ms" ? v / 1000 : unit == "us" ? v / 1e6 : v }
      $1 == "Decode/Png/" name { d = seconds($2, $3) }
      END { printf "    %-16s %6.3f s;  pngtopnm %6.3f s (%.2f x);  convert to ppm %6.3f s (%.2f x)\n", name, d, p, p / d, c, c / d }'
  done
fi
