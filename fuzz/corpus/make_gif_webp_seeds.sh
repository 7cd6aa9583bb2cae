#!/usr/bin/env bash
# Copies the GIF and WebP seeds of fuzz/corpus/gif/ and fuzz/corpus/webp/
# from the test fixtures (tests/fixtures/gif/ and webp/, where their origin
# is written down) and makes their whole-conversion copies in
# fuzz/corpus/convert/ (each prefixed by the choice byte that picks the
# extension and the switches, see fuzz/fuzz_support.h). The set covers
# GIF87a and GIF89a, every disposal method, transparency, interlaced frames,
# local colour tables, frames smaller than the screen; WebP lossy, lossless,
# lossy with alpha, near-lossless, animations with a first frame at an
# offset.
#   fuzz/corpus/make_gif_webp_seeds.sh
set -euo pipefail
cd "$(dirname "$0")"
fixtures=../../tests/fixtures
mkdir -p gif webp
for name in gifsicle_optimised gifsicle_disposal_previous gifsicle_local_tables gifsicle_partial_screen \
    im_interlaced im_transparent pil_disc_disposal2 deb_pidgin_qip_ab deb_tkabber_renju_right_top; do
  cp "$fixtures/gif/$name.gif" gif/
done
for name in cwebp_lossy_q50 cwebp_lossy_alpha_q50 cwebp_lossless_alpha cwebp_near_lossless_alpha gif2webp_disc \
    img2webp_mixed webpmux_offset_first_frame deb_sdl2_surfacetest deb_golang_gopher_doc_1bpp_lossless; do
  cp "$fixtures/webp/$name.webp" webp/
done

# Choice bytes: 0x81 a .gif name, 0x82 a .webp name, 0x02 an unknown
# extension (TGA, JPEG and PNG are tried first); 0x04 --rle, 0x08
# --rle-decoder, 0x10 --gray, 0x20 --verbose. A GIF file's last byte, the
# trailer (0x3b), also picks the output format --mono.
seed_copies() { # folder, then choice bytes
  local folder=$1 n=0
  shift
  local choice=("$@")
  for seed in "$folder"/*; do
    { printf "\x${choice[n % ${#choice[@]}]}"; cat "$seed"; } > "convert/$(basename "$seed").in"
    n=$((n + 1))
  done
}
seed_copies gif 81 8d 02 b5 9d 22
seed_copies webp 82 8e 02 b6 9e 22
