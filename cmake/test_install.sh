#!/usr/bin/env bash
# Installs Tarnwick into a temporary prefix, checks that the manual page quotes
# the program's usage text and example header as the program writes them, and
# uses the package the way another project does: examples/embed is configured and built against the installed package
# from a build tree of its own, run, and its output compared with plain
# headers of the same pictures and with ImageMagick's and djpeg's reading of
# them. Then the build's dependencies are checked: a build with nothing
# changed makes no header, touching a picture makes exactly its headers again,
# and a newer Tarnwick makes all of them again. Last, the hand-written
# Makefile of the example is built and must give the same pictures.
#
# Usage: cmake/test_install.sh [build-folder]
#   With a build folder (already built), installs from it; otherwise builds
#   Tarnwick in the temporary folder first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "FAILED: $*" >&2; exit 1; }
step() { echo "-- $*"; }

# ---- install ---------------------------------------------------------------
tarnwick_build="${1:-}"
if [ -z "$tarnwick_build" ]; then
  tarnwick_build="$work/tarnwick-build"
  step "building Tarnwick"
  cmake -S "$root" -B "$tarnwick_build" -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_WERROR=ON >"$work/tarnwick-build.log"
  cmake --build "$tarnwick_build" -j2 >>"$work/tarnwick-build.log" || { cat "$work/tarnwick-build.log"; fail "Tarnwick does not build"; }
fi
prefix="$work/prefix"
step "installing into a temporary prefix"
cmake --install "$tarnwick_build" --prefix "$prefix" >/dev/null
tarnwick="$prefix/bin/Tarnwick"
man_page="$prefix/share/man/man1/Tarnwick.1"
[ -x "$tarnwick" ] || fail "the executable was not installed"
[ -f "$man_page" ] || fail "the manual page was not installed"
[ -n "$(find "$prefix" -name TarnwickConfig.cmake)" ] || fail "the CMake package was not installed"

# ---- manual page ----------------------------------------------------------
step "checking the manual page"
if command -v groff >/dev/null; then
  groff -man -ww -z "$man_page" 2>"$work/groff.log" || true
  [ ! -s "$work/groff.log" ] || { cat "$work/groff.log"; fail "groff warns about the manual page"; }
else
  echo "   (groff is not installed: the page is not rendered)"
fi
# The usage text quoted in the page must be the one the program prints.
awk '/^error: missing program arguments\.$/ {b = 1} b && /^\.RE$/ {exit} b' "$man_page" |
  sed 's/\\-/-/g' >"$work/usage.man"
"$tarnwick" 2>"$work/usage.program" >/dev/null || fail "Tarnwick without arguments does not end with status 0"
diff -u "$work/usage.man" "$work/usage.program" || fail "the manual page's usage text differs from the program's"
# So must the example header: three pixels red, green, blue from dot.tga (an
# uncompressed 24-bit TGA, top row first; pixels stored blue, green, red).
printf '\0\0\2\0\0\0\0\0\0\0\0\0\3\0\1\0\30\40\0\0\377\0\377\0\377\0\0' >"$work/dot.tga"
(cd "$work" && "$tarnwick" dot.tga dot.h) || fail "Tarnwick cannot convert dot.tga"
awk '/^\/\*$/ {b = 1} b && /^\.RE$/ {exit} b' "$man_page" | sed 's/\\-/-/g' >"$work/dot.man"
diff -u "$work/dot.man" "$work/dot.h" || fail "the manual page's example header differs from the program's"

# ---- the example, built against the package ---------------------------------
# A copy of examples/ so that touching a picture leaves the work tree alone.
src="$work/src"
mkdir -p "$src"
cp -R "$root/examples" "$src/"
rm -rf "$src/examples/embed/generated" "$src/examples/embed/embed_example"
example="$src/examples/embed"
pictures="$src/examples"
build="$work/embed-build"
out="$work/out"
mkdir -p "$out"

step "configuring and building examples/embed against the package"
# Under the sanitizers, so that an unpacking function that reads past its
# packed array, or writes past its pixels, stops the run.
cmake -S "$example" -B "$build" -DCMAKE_PREFIX_PATH="$prefix" -DEMBED_PIXEL_CHECK=ON \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror -fsanitize=address,undefined -fno-sanitize-recover=all" >"$work/configure.log" || { cat "$work/configure.log"; fail "configure"; }
cmake --build "$build" -j2 >"$work/build1.log" 2>&1 || { cat "$work/build1.log"; fail "the example does not build"; }
[ "$(grep -c 'Embedding image' "$work/build1.log")" -eq 8 ] || { cat "$work/build1.log"; fail "expected eight headers"; }

headers_of() { # headers of the build made from the picture $1 (sample.jpg, sample.tga)
  case "$1" in
    sample.jpg) echo "$build/tarnwick/embed_example/sample_jpg.h $build/tarnwick/embed_check/sample_jpg.h" \
                     "$build/rgb565/sample_jpg_rgb565.h" ;;
    sample.tga) echo "$build/tarnwick/embed_example/sample_tga.h $build/tarnwick/embed_check/sample_tga.h" \
                     "$build/gray/sample_tga_gray.h $build/check_gray/sample_tga_gray.h" \
                     "$build/mono/sample_tga_mono.h" ;;
  esac
}
for header in $(headers_of sample.jpg) $(headers_of sample.tga); do
  [ -f "$header" ] || fail "missing header $header"
done
grep -q '^const unsigned __int32 p_sample_jpg\[\] = {$' "$build/tarnwick/embed_example/sample_jpg.h" ||
  fail "sample_jpg.h does not declare p_sample_jpg"
grep -q '^const unsigned char p_sample_tga\[\] = {$' "$build/gray/sample_tga_gray.h" ||
  fail "sample_tga_gray.h does not declare gray p_sample_tga"
grep -q '^const unsigned short p_sample_jpg\[\] = {$' "$build/rgb565/sample_jpg_rgb565.h" ||
  fail "sample_jpg_rgb565.h does not declare 16-bit p_sample_jpg"
grep -q '^const unsigned int n_sample_tga_row_bytes = 8;$' "$build/mono/sample_tga_mono.h" ||
  fail "sample_tga_mono.h does not declare the row bytes of its 64 pixels wide rows"

run_and_check() {
  rm -f "$out"/*
  "$build/embed_example" "$out" || fail "embed_example failed"
  "$build/embed_check" "$out" || fail "the unpacked pixels differ from the plain headers"
}
step "running the example and comparing with plain headers"
run_and_check

step "comparing the unpacked TGA with ImageMagick's reading of it"
# sample.tga is stored bottom row first; without -auto-orient ImageMagick would
# hand out the rows in file order.
/usr/bin/convert "$pictures/sample.tga" -auto-orient -depth 8 "rgba:$work/sample.rgba"
tail -c "$(stat -c %s "$work/sample.rgba")" "$out/sample_tga.pam" | cmp - "$work/sample.rgba" ||
  fail "sample_tga.pam differs from ImageMagick's pixels"

step "comparing the unpacked JPEG with djpeg's reading of it"
# djpeg with the same upsampling (replication) and a float inverse DCT. Tarnwick
# truncates where djpeg rounds, so its channels run about one level apart;
# a wrong table, block order or colour conversion gives far larger errors.
djpeg -nosmooth -dct float "$pictures/sample.jpg" >"$work/sample_djpeg.ppm"
/usr/bin/python3 - "$out/sample_jpg.ppm" "$work/sample_djpeg.ppm" <<'EOF' || fail "sample_jpg.ppm is too far from djpeg's pixels"
import sys
def pixels(path):
    data = open(path, 'rb').read()
    fields = data.split(maxsplit=4)   # P6, width, height, maxval, pixels
    assert fields[0] == b'P6' and fields[3] == b'255', path
    return (int(fields[1]), int(fields[2])), data[len(data) - int(fields[1]) * int(fields[2]) * 3:]
(size_a, a), (size_b, b) = pixels(sys.argv[1]), pixels(sys.argv[2])
if size_a != size_b:
    sys.exit('sizes differ: %s and %s' % (size_a, size_b))
differences = [abs(x - y) for x, y in zip(a, b)]
largest, mean = max(differences), sum(differences) / len(differences)
print('   largest difference %d, mean %.3f per channel' % (largest, mean))
sys.exit(0 if largest <= 8 and mean <= 2.0 else 1)
EOF

# ---- dependencies ------------------------------------------------------------
newer_headers() { # those of the given headers that are newer than the stamp $1
  local stamp="$1"; shift
  for header in "$@"; do [ "$header" -nt "$stamp" ] && echo "$header"; done; true
}

step "a second build with nothing changed makes no header"
touch "$work/stamp1"
cmake --build "$build" -j2 >"$work/build2.log" 2>&1 || { cat "$work/build2.log"; fail "second build"; }
! grep -q 'Embedding image' "$work/build2.log" || { cat "$work/build2.log"; fail "headers were made again"; }
[ -z "$(newer_headers "$work/stamp1" $(headers_of sample.jpg) $(headers_of sample.tga))" ] ||
  fail "headers changed in a build with nothing to do"
[ ! "$build/embed_example" -nt "$work/stamp1" ] || fail "embed_example was linked again"

step "touching sample.tga makes its five headers again, and only those"
sleep 1 # so that the touched picture is newer even on coarse file times
touch "$work/stamp2" "$pictures/sample.tga"
cmake --build "$build" -j2 >"$work/build3.log" 2>&1 || { cat "$work/build3.log"; fail "build after touching"; }
[ "$(newer_headers "$work/stamp2" $(headers_of sample.tga) | wc -l)" -eq 5 ] ||
  { cat "$work/build3.log"; fail "not every header of sample.tga was made again"; }
[ -z "$(newer_headers "$work/stamp2" $(headers_of sample.jpg))" ] || fail "the headers of sample.jpg were made again"
[ "$build/embed_example" -nt "$work/stamp2" ] || fail "embed_example was not built again"
run_and_check

step "a newer Tarnwick makes every header again"
sleep 1
touch "$work/stamp3" "$tarnwick"
cmake --build "$build" -j2 >"$work/build4.log" 2>&1 || { cat "$work/build4.log"; fail "build after a new Tarnwick"; }
[ "$(newer_headers "$work/stamp3" $(headers_of sample.jpg) $(headers_of sample.tga) | wc -l)" -eq 8 ] ||
  { cat "$work/build4.log"; fail "not every header was made again"; }

# ---- the helper's format arguments ----------------------------------------------
# (MONO DITHER is passed on: the example embeds a dithered picture and checks it.)
step "the helper refuses two formats, and DITHER without MONO"
helper_project() { # folder, then the arguments after the picture
  local folder=$1
  shift
  mkdir -p "$folder"
  cat >"$folder/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.16)
project(HelperCheck LANGUAGES CXX)
find_package(Tarnwick 1 REQUIRED)
add_executable(viewer "${helper_source:-$example/embed_example.cpp}")
tarnwick_add_image_header(viewer "$pictures/sample.tga" $* HEADER out.h)
EOF
  cmake -S "$folder" -B "$folder/build" -DCMAKE_PREFIX_PATH="$prefix" >"$folder/configure.log" 2>&1
}
! helper_project "$work/helper-two" GRAY MONO || fail "GRAY MONO was accepted"
grep -q 'at most one of GRAY' "$work/helper-two/configure.log" || fail "GRAY MONO: no message"
! helper_project "$work/helper-alone" RGB565 DITHER || fail "DITHER without MONO was accepted"
grep -q 'DITHER works only with MONO' "$work/helper-alone/configure.log" || fail "DITHER alone: no message"

step "the helper passes the fitting keywords on, and refuses those that change nothing"
helper_source="$work/helper-fit.cpp"
printf '#include "out.h"\nint main() { return n_sample_tga_width == 16 ? 0 : 1; }\n' >"$helper_source"
helper_project "$work/helper-fit" MONO DITHER_MODE bayer THRESHOLD 90 ROTATE 90 RESIZE 16x FILTER box ||
  { cat "$work/helper-fit/configure.log"; fail "the fitting keywords were refused"; }
cmake --build "$work/helper-fit/build" >"$work/helper-fit/build.log" 2>&1 ||
  { cat "$work/helper-fit/build.log"; fail "the fitting keywords: build"; }
(cd "$pictures" && "$tarnwick" sample.tga "$work/helper-fit/direct.h" --mono --dither=bayer --threshold=90 \
  --rotate=90 --resize=16x --filter=box) || fail "the fitting switches, run directly"
diff <(sed -n '/^const/,/^#endif/p' "$work/helper-fit/build/out.h" | grep -v '^#endif') \
  <(sed -n '/^const/,/^#endif/p' "$work/helper-fit/direct.h" | grep -v '^#endif') >/dev/null ||
  fail "the helper's header differs from the one its switches make"
grep -q '^const unsigned int n_sample_tga_width = 16;$' "$work/helper-fit/build/out.h" ||
  fail "the helper's fitted header is not 16 pixels wide"
helper_source=
! helper_project "$work/helper-atkinson" RGB565 DITHER_MODE atkinson || fail "RGB565 DITHER_MODE atkinson was accepted"
grep -q 'DITHER_MODE atkinson does not work with this' "$work/helper-atkinson/configure.log" ||
  fail "RGB565 DITHER_MODE atkinson: no message"
! helper_project "$work/helper-filter" FILTER box || fail "FILTER without RESIZE was accepted"
grep -q 'FILTER works only with RESIZE' "$work/helper-filter/configure.log" || fail "FILTER alone: no message"
! helper_project "$work/helper-rotate" ROTATE 45 || fail "ROTATE 45 was accepted"
grep -q 'ROTATE must be one of 90, 180, 270' "$work/helper-rotate/configure.log" || fail "ROTATE 45: no message"

# ---- the hand-written build ----------------------------------------------------
step "building examples/embed with its Makefile (no CMake)"
make -C "$example" TARNWICK="$tarnwick" CXXFLAGS="-O2 -Wall -Wextra -Werror" >"$work/make.log" 2>&1 ||
  { cat "$work/make.log"; fail "the Makefile build"; }
mkdir -p "$work/out-make"
"$example/embed_example" "$work/out-make" || fail "the Makefile-built embed_example failed"
diff -r "$out" "$work/out-make" >/dev/null || fail "the Makefile build writes other pictures than the CMake build"

echo "-- install, package and example: all checks passed"
