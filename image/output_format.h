// What the header's array holds, and the conversion of an Image's pixels
// into those items. The conversion works in place: afterwards each element of
// p_buffer holds one item of the array, in the array's order, and the header
// writer prints them as they are.
//
//   kRgb           one 32-bit item per pixel, 0xAARRGGBB as loaded (nothing
//                  changes)
//   kGray          one 8-bit item per pixel, the pixel's n_GrayValue
//                  (ReduceToGray)
//   kRgb565        one 16-bit item per pixel, (r >> 3) << 11 | (g >> 2) << 5
//                  | b >> 3: red in bits 11-15, green 5-10, blue 0-4
//                  (red is 0xf800)
//   kRgb565Swapped the same 16-bit value with its two bytes exchanged (red is
//                  0x00f8): stored in a little-endian processor's memory, its
//                  bytes come in the order a display's serial interface takes
//   kMono          1 bit per pixel, set when the pixel's n_GrayValue is at
//                  least 128; eight pixels to a byte, the leftmost in the most
//                  significant bit; every row starts on a new byte and its
//                  last byte is padded with zero bits. One 8-bit item per
//                  byte: n_MonoRowBytes(n_width) items per row.
//
// kRgb565, kRgb565Swapped and kMono first composite each pixel over black:
// every channel c becomes c * a / 255 rounded to nearest, a being the pixel's
// alpha (sources without alpha have 255, which changes nothing). kRgb and
// kGray keep the pixel as loaded, alpha and all.
//
// With b_dither, kMono sets its bits by Floyd-Steinberg error diffusion over
// the gray values instead of the plain threshold: rows top to bottom, pixels
// left to right, an int working value per pixel that starts as its gray value;
// the bit is set when the working value is at least 128, and the error (the
// working value less 255 for a set bit, less 0 otherwise) passes on as
// error * 7 / 16 to the right neighbour, * 3 / 16 to the one below left,
// * 5 / 16 below and * 1 / 16 below right, each divided with C++ truncation
// toward zero; neighbours outside the picture are skipped and nothing is
// clamped. b_dither changes nothing for the other formats.
#ifndef TARNWICK_IMAGE_OUTPUT_FORMAT_H
#define TARNWICK_IMAGE_OUTPUT_FORMAT_H

#include <cstdint>

#include "image.h"

namespace tarnwick {

enum class OutputFormat : uint8_t { kRgb, kGray, kRgb565, kRgb565Swapped, kMono };

// Rewrites the pixel array in place into the items of the format. Needs no
// memory of its own; the descriptive fields and the sizes stay.
void ConvertToOutputFormat(Image &image, OutputFormat format, bool b_dither);

// Bytes (items) per row of a kMono array: (n_width + 7) / 8.
inline uint64_t n_MonoRowBytes(int32_t n_width)
{
    return (uint64_t(uint32_t(n_width)) + 7) / 8;
}

// Number of items of the converted array: one per pixel, or for kMono the
// row bytes times the height.
inline uint64_t n_ItemCount(const Image &image, OutputFormat format)
{
    if(format == OutputFormat::kMono)
        return n_MonoRowBytes(image.n_width) * uint64_t(uint32_t(image.n_height));
    return n_PixelCount(image);
}

} // namespace tarnwick

#endif // TARNWICK_IMAGE_OUTPUT_FORMAT_H
