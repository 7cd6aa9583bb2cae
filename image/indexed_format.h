// Indexed colour (--indexed): a palette and one index per pixel, packed.
//
// The palette lists each distinct 0xAARRGGBB colour of the picture once, as
// loaded (alpha included, nothing composited), in order of first appearance:
// rows top to bottom, pixels left to right. There is no quantisation: a
// picture of more than kMaxPaletteColours colours has no palette.
//
// An index takes the smallest of 1, 2, 4 and 8 bits that holds every entry
// (n_IndexBits). The indices are packed in rows like 1-bit pixels: the
// leftmost pixel in the top bits of its byte, every row starting on a new
// byte and its last byte padded with zero bits, n_IndexRowBytes bytes a row.
// One 8-bit item per byte, in the Image's pixel array.
#ifndef TARNWICK_IMAGE_INDEXED_FORMAT_H
#define TARNWICK_IMAGE_INDEXED_FORMAT_H

#include <cstdint>

#include "image.h"

namespace tarnwick {

// As many colours as an 8-bit index tells apart.
constexpr uint32_t kMaxPaletteColours = 256;

struct Palette {
    uint32_t n_colours;
    uint32_t a_colours[kMaxPaletteColours]; // 0xAARRGGBB, in order of first appearance
};

// Lists the picture's colours; false, with n_colours set to
// kMaxPaletteColours + 1, as soon as a 257th colour turns up. Reads the
// pixels only.
bool BuildPalette(const Image &image, Palette &palette);

// 1, 2, 4 or 8: the fewest bits that number every entry (1 for a palette of
// one colour or none).
uint32_t n_IndexBits(const Palette &palette);

// Bytes of one row of indices: (n_width * n_bits + 7) / 8.
inline uint64_t n_IndexRowBytes(int32_t n_width, uint32_t n_bits)
{
    return (uint64_t(uint32_t(n_width)) * n_bits + 7) / 8;
}

// Rewrites the pixel array in place into the packed indices of the palette,
// which must hold every colour of the picture (BuildPalette): row y's byte k
// becomes element y * n_IndexRowBytes + k. Needs no memory of its own.
void ConvertToIndices(Image &image, const Palette &palette);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_INDEXED_FORMAT_H
