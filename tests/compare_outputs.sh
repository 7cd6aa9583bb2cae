#!/usr/bin/env bash
# Runs two Tarnwick programs over the same inputs and switch sets and
# compares what they make: the header file byte for byte, the exit status and
# the standard output. Use it to show that a change leaves every header as it
# was (an old build against a new one), or that two builds of the same source
# agree (the scalar build against the SIMD build).
#
#   tests/compare_outputs.sh <tarnwick-a> <tarnwick-b> [input ...]
#
# Without inputs it takes every picture under tests/fixtures, examples/ and
# bench inputs given in TARNWICK_EXTRA_INPUTS, and every damaged file under
# tests/crashers. The switch sets are those of TARNWICK_SWITCH_SETS (one set
# per line), by default the plain, gray and packed headers with and without
# the unpacking function; .ci/run adds the RGB565 and 1-bit formats that
# way. Prints one line per difference and a summary; the exit status is 0
# only when everything agrees.
#
# TARNWICK_COMPARE_CRLF names outputs of <tarnwick-b> ("stdout", "out.h" for
# the header) that must end every line with CR LF where <tarnwick-a> ends it
# with LF: a Windows build writes both in the C library's text mode
# (.ci/cross_build.sh mingw sets "stdout out.h"). A line of such an output
# that ends in a bare LF is a difference; otherwise the output is compared
# with its CR LF taken as LF. Unset, every output is compared byte for byte.
set -u
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 <tarnwick-a> <tarnwick-b> [input ...]" >&2
  exit 2
fi
a=$(realpath "$1")
b=$(realpath "$2")
shift 2

if [ $# -gt 0 ]; then
  inputs=("$@")
else
  mapfile -t inputs < <(find tests/fixtures examples tests/crashers -type f \
    \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.tga' -o -iname '*.png' -o -iname '*.gif' -o -iname '*.webp' -o -iname '*.bmp' -o -iname '*.dib' \
    -o -path '*/crashers/*' \) | sort)
  for extra in ${TARNWICK_EXTRA_INPUTS:-}; do inputs+=("$extra"); done
fi

default_sets=$'\n--gray\n--rle\n--rle --rle-decoder\n--gray --rle --rle-decoder\n--verbose'
sets=${TARNWICK_SWITCH_SETS:-$default_sets}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/a" "$work/b"

n_runs=0
n_diffs=0
# One conversion in a folder of its own, so that both runs write a header of
# the same name (the include guard is made from it).
run() { # program folder input switches...
  local program=$1 folder=$2 input=$3
  shift 3
  rm -f "$folder/out.h"
  (cd "$folder" && "$program" "$input" out.h "$@" >stdout 2>/dev/null; echo $? >status)
}
while IFS= read -r set; do
  # shellcheck disable=SC2206
  switches=($set)
  for input in "${inputs[@]}"; do
    path=$(realpath "$input")
    run "$a" "$work/a" "$path" "${switches[@]}"
    run "$b" "$work/b" "$path" "${switches[@]}"
    n_runs=$((n_runs + 1))
    bare_lf=
    for f in ${TARNWICK_COMPARE_CRLF:-}; do
      if [ -e "$work/b/$f" ]; then
        if [ "$(tr -cd '\n' < "$work/b/$f" | wc -c)" != "$(grep -c $'\r$' "$work/b/$f")" ]; then
          bare_lf=$f
        fi
        sed -i 's/\r$//' "$work/b/$f"
      fi
    done
    if [ -n "$bare_lf" ]; then
      echo "differs: $bare_lf of '$input' with switches '$set' has a line without CR LF"
      n_diffs=$((n_diffs + 1))
      continue
    fi
    for f in out.h status stdout; do
      if [ -e "$work/a/$f" ] || [ -e "$work/b/$f" ]; then
        if ! cmp -s "$work/a/$f" "$work/b/$f"; then
          echo "differs: $f of '$input' with switches '$set'"
          n_diffs=$((n_diffs + 1))
          break
        fi
      fi
    done
  done
done <<< "$sets"

echo "compared $n_runs conversions ($(echo "$sets" | wc -l) switch sets x ${#inputs[@]} inputs): $n_diffs differ"
[ "$n_diffs" -eq 0 ]
