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
# TARNWICK_COMPARE_EXCLUDE (an extended regular expression) leaves out the
# inputs whose path matches (a build without giflib refuses GIF files).
# TARNWICK_COMPARE_JOBS conversions run at once (default: the processors).
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

# Inputs whose path matches TARNWICK_COMPARE_EXCLUDE (an extended regular
# expression) are left out: a build without a library refuses its format.
if [ -n "${TARNWICK_COMPARE_EXCLUDE:-}" ]; then
  mapfile -t inputs < <(printf '%s\n' "${inputs[@]}" | grep -v -E "$TARNWICK_COMPARE_EXCLUDE")
fi

default_sets=$'\n--gray\n--rle\n--rle --rle-decoder\n--gray --rle --rle-decoder\n--verbose'
sets=${TARNWICK_SWITCH_SETS:-$default_sets}
# Conversions running at once (each pair in folders of its own), by default
# as many as there are processors.
jobs=${TARNWICK_COMPARE_JOBS:-$(nproc 2>/dev/null || echo 1)}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export a b work
export TARNWICK_COMPARE_CRLF=${TARNWICK_COMPARE_CRLF:-}

# One conversion in a folder of its own, so that both runs write a header of
# the same name (the include guard is made from it).
run() { # program folder input switches...
  local program=$1 folder=$2 input=$3
  shift 3
  rm -f "$folder/out.h"
  (cd "$folder" && "$program" "$input" out.h "$@" >stdout 2>/dev/null; echo $? >status)
}
# Both programs on one input with one switch set, in folders named after the
# job; prints a line for a difference.
compare_one() { # job set input
  local job=$1 set=$2 input=$3 path f bare_lf=
  # shellcheck disable=SC2206
  local switches=($set)
  path=$(realpath "$input")
  mkdir -p "$work/$job/a" "$work/$job/b"
  run "$a" "$work/$job/a" "$path" "${switches[@]}"
  run "$b" "$work/$job/b" "$path" "${switches[@]}"
  for f in $TARNWICK_COMPARE_CRLF; do
    if [ -e "$work/$job/b/$f" ]; then
      if [ "$(tr -cd '\n' < "$work/$job/b/$f" | wc -c)" != "$(grep -c $'\r$' "$work/$job/b/$f")" ]; then
        bare_lf=$f
      fi
      sed -i 's/\r$//' "$work/$job/b/$f"
    fi
  done
  if [ -n "$bare_lf" ]; then
    echo "differs: $bare_lf of '$input' with switches '$set' has a line without CR LF"
    return
  fi
  for f in out.h status stdout; do
    if [ -e "$work/$job/a/$f" ] || [ -e "$work/$job/b/$f" ]; then
      if ! cmp -s "$work/$job/a/$f" "$work/$job/b/$f"; then
        echo "differs: $f of '$input' with switches '$set'"
        return
      fi
    fi
  done
}
export -f run compare_one

# Every (switch set, input) pair, NUL-separated for xargs, each worker with
# folders of its own (xargs hands out the slot numbers).
n_sets=0
while IFS= read -r set; do
  n_sets=$((n_sets + 1))
  for input in "${inputs[@]}"; do
    printf '%s\0%s\0' "$set" "$input"
  done
done <<< "$sets" > "$work/pairs"
n_runs=$(( n_sets * ${#inputs[@]} ))
xargs -0 -n 2 -P "$jobs" --process-slot-var=TARNWICK_COMPARE_SLOT \
  bash -c 'compare_one "slot$TARNWICK_COMPARE_SLOT" "$1" "$2"' compare < "$work/pairs" > "$work/differences"
sort "$work/differences"
n_diffs=$(wc -l < "$work/differences")

echo "compared $n_runs conversions ($n_sets switch sets x ${#inputs[@]} inputs): $n_diffs differ"
[ "$n_diffs" -eq 0 ]
