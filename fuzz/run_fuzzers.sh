#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time,
# two at a time.
#   fuzz/run_fuzzers.sh [seconds-per-target] [build-folder]
# Each target starts from a copy of its committed seed corpus (fuzz/corpus/),
# so the repository is never written; the JPEG target gets the JPEG marker
# dictionary fuzz/jpeg.dict, the PNG, BMP, GIF and WebP targets fuzz/png.dict,
# fuzz/bmp.dict, fuzz/gif.dict and fuzz/webp.dict, and the whole-conversion target all five. A crash, leak, timeout or
# sanitizer report stops the script with a non-zero status and leaves the
# input under <build-folder>/artifacts/; keep it in tests/crashers/ as a
# regression test. A single allocation may reach 8 GiB: a progressive frame
# declaring 32767 x 32767 in three components asks for 6 GiB of coefficient
# store, zero pages that only the blocks a scan reaches ever touch; the
# resident size stays bounded by the 2 GiB RSS limit.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build-fuzz}

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_BUILD_FUZZ=ON -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target fuzz_tga fuzz_jpeg fuzz_png fuzz_bmp fuzz_gif fuzz_webp fuzz_convert >/dev/null

mkdir -p "$build/artifacts"
rm -f "$build"/fuzz_*.failed
# One target: a copy of its seeds, its dictionary, the run; its log ends in
# <build>/fuzz_<target>.log and a failure leaves <build>/fuzz_<target>.failed.
fuzz_one() {
  local target=$1 work
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$target/." "$work/"
  local dict=()
  case $target in
    jpeg | png | bmp | gif | webp) dict=(-dict=fuzz/$target.dict) ;;
    convert) cat fuzz/jpeg.dict fuzz/png.dict fuzz/bmp.dict fuzz/gif.dict fuzz/webp.dict >"$build/convert.dict" &&
      dict=(-dict="$build/convert.dict") ;;
  esac
  if ! "$build/fuzz/fuzz_$target" "$work" "${dict[@]}" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
      -rss_limit_mb=2048 -malloc_limit_mb=8192 -close_fd_mask=3 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" >"$build/fuzz_$target.log" 2>&1; then
    touch "$build/fuzz_$target.failed"
  fi
  rm -rf "$work"
}

# Two targets at a time, one a processor.
targets="tga jpeg png bmp gif webp convert"
for target in $targets; do
  echo "== fuzz_$target for ${seconds}s"
  fuzz_one "$target" &
  if [ "$(jobs -rp | wc -l)" -ge 2 ]; then
    wait -n || true
  fi
done
wait
status=0
for target in $targets; do
  echo "== fuzz_$target"
  if [ -e "$build/fuzz_$target.failed" ]; then
    status=1
    tail -n 60 "$build/fuzz_$target.log"
  fi
  grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$build/fuzz_$target.log" | tail -n 1 || true
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/fuzz_$target.log" || true
done
exit $status
