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
//                  least the threshold (128 unless given); eight pixels to a
//                  byte, the leftmost in the most significant bit; every row
//                  starts on a new byte and its last byte is padded with zero
//                  bits. One 8-bit item per byte: n_MonoRowBytes(n_width)
//                  items per row.
//
// kRgb565, kRgb565Swapped and kMono first composite each pixel over black:
// every channel c becomes c * a / 255 rounded to nearest, a being the pixel's
// alpha (sources without alpha have 255, which changes nothing). kRgb and
// kGray keep the pixel as loaded, alpha and all.
//
// Dithering. Error diffusion goes over the pixels in rows top to bottom,
// each row left to right, with an int working value per pixel (per channel
// for RGB565) that starts as its gray value (its composited channel); the
// error of a pixel is its working value less the value its item stands for,
// and each share of it is error * k / d with C++ truncation toward zero,
// added to a neighbour not yet decided; neighbours outside the picture are
// skipped and nothing is clamped.
//   kFloyd (kMono)  a bit is set when the working value is at least the
//                   threshold; the value it stands for is 255 or 0; shares
//                   7/16 to the right, 3/16 below left, 5/16 below, 1/16
//                   below right.
//   kAtkinson       the same cut; shares 1/8 to the right, two to the right,
//                   below left, below, below right and two below (6/8 of the
//                   error in all).
//   kBayer          ordered, no diffusion: the bit of (x, y) is set when
//                   gray * 128 > (2 * kBayerMatrix[y % 8][x % 8] + 1) * 255;
//                   the threshold plays no part.
//   kFloyd (kRgb565, kRgb565Swapped)  each channel's working value v is cut
//                   to its top bits from clamp(v, 0, 255) (5 for red and
//                   blue, 6 for green); the value it stands for is the cut
//                   value widened by repeating its top bits (r5 << 3 | r5 >> 2,
//                   g6 << 2 | g6 >> 4); shares as for kMono.
//   kMonoFloyd      (a bare --dither) kFloyd for kMono, nothing for the
//                   other formats.
// kAtkinson and kBayer change only kMono; no kind of dithering changes kRgb
// or kGray.
#ifndef TARNWICK_IMAGE_OUTPUT_FORMAT_H
#define TARNWICK_IMAGE_OUTPUT_FORMAT_H

#include <cstdint>

#include "image.h"

namespace tarnwick {

enum class OutputFormat : uint8_t { kRgb, kGray, kRgb565, kRgb565Swapped, kMono };

enum class Dither : uint8_t { kNone, kMonoFloyd, kFloyd, kAtkinson, kBayer };

// The 1-bit threshold without --threshold.
constexpr uint8_t kDefaultThreshold = 128;

// The 8 x 8 Bayer matrix, [y][x]: M(2n) = (4 M(n) + M(2)) tiled, M(2) =
// {{0, 2}, {3, 1}}.
extern const uint8_t kBayerMatrix[8][8];

// Rewrites the pixel array in place into the items of the format. Only
// RGB565 with kFloyd needs memory of its own (two rows of errors); false
// when that allocation fails, the pixels unchanged. The descriptive fields
// and the sizes stay.
bool ConvertToOutputFormat(Image &image, OutputFormat format, Dither dither = Dither::kNone,
                           uint8_t n_threshold = kDefaultThreshold);

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
