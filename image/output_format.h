// What the header's array holds, and the conversion of an Image's pixels
// into those items. The conversion works in place: afterwards each element of
// p_buffer holds one item of the array, in the array's order, and the header
// writer prints them as they are; or, for the layouts with several bytes a
// pixel (b_ItemsAreBytes), the items are the bytes of p_buffer's memory
// (byte_layout.h), in order.
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
//                  items per row. ItemLayout::mono puts the leftmost pixel in
//                  the least significant bit instead, or lays the bits out in
//                  the pages of SSD1306-class controllers (mono_layout.h).
//   kRgb888        three 8-bit items per pixel, red, green, blue (bytes)
//   kBgr888        three 8-bit items per pixel, blue, green, red (bytes)
//   kAlpha8        one 8-bit item per pixel, its alpha
//   kIndexed       a palette of the picture's colours (ItemLayout::p_palette,
//                  from BuildPalette) and one index per pixel of 1, 2, 4 or
//                  8 bits, packed in rows like kMono's (indexed_format.h)
//
// With ItemLayout::b_lvgl the items are the bytes LVGL 9 reads on a
// little-endian processor: kRgb becomes 4 bytes a pixel, blue, green, red,
// alpha (ARGB8888); kRgb565 2 bytes, low byte first (RGB565); kRgb565Swapped
// 2 bytes, high byte of the unswapped value first (RGB565_SWAPPED). kBgr888
// (LVGL's RGB888), kGray (L8), kAlpha8 (A8), kMono in rows with the leftmost
// pixel in the top bit (I1) and kIndexed (I1 to I8) are LVGL's layouts as
// they are; LVGL has none for kRgb888 or for kMono's other layouts. The
// palettes LVGL puts in front of indexed data are the header writer's.
//
// kRgb565, kRgb565Swapped, kMono, kRgb888 and kBgr888 first composite each
// pixel over black: every channel c becomes c * a / 255 rounded to nearest, a
// being the pixel's alpha (sources without alpha have 255, which changes
// nothing). kRgb and kGray keep the pixel as loaded, alpha and all; kAlpha8
// and kIndexed take it as loaded too.
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
// kAtkinson and kBayer change only kMono; no kind of dithering changes kRgb,
// kGray, kRgb888, kBgr888, kAlpha8 or kIndexed.
#ifndef TARNWICK_IMAGE_OUTPUT_FORMAT_H
#define TARNWICK_IMAGE_OUTPUT_FORMAT_H

#include <cstdint>

#include "image.h"
#include "indexed_format.h"
#include "mono_layout.h"

namespace tarnwick {

enum class OutputFormat : uint8_t { kRgb, kGray, kRgb565, kRgb565Swapped, kMono, kRgb888, kBgr888, kAlpha8, kIndexed };

// How the items of a format lie, beyond the format itself.
struct ItemLayout {
    MonoLayout mono;          // kMono: rows (leftmost pixel in bit 7 or bit 0) or pages
    bool b_lvgl;              // LVGL's bytes (see above)
    const Palette *p_palette; // kIndexed: every colour of the picture
};

// Rows with the leftmost pixel in bit 7, not LVGL's bytes, no palette.
constexpr ItemLayout kPlainItemLayout = {MonoLayout::kRowsMsbFirst, false, nullptr};

enum class Dither : uint8_t { kNone, kMonoFloyd, kFloyd, kAtkinson, kBayer };

// The 1-bit threshold without --threshold.
constexpr uint8_t kDefaultThreshold = 128;

// The 8 x 8 Bayer matrix, [y][x]: M(2n) = (4 M(n) + M(2)) tiled, M(2) =
// {{0, 2}, {3, 1}}.
extern const uint8_t kBayerMatrix[8][8];

// Rewrites the pixel array in place into the items of the format. Only
// RGB565 with kFloyd needs memory of its own (two rows of errors); false
// when that allocation fails, or for kIndexed without a palette, the pixels
// unchanged. The descriptive fields and the sizes stay.
bool ConvertToOutputFormat(Image &image, OutputFormat format, Dither dither = Dither::kNone,
                           uint8_t n_threshold = kDefaultThreshold, const ItemLayout &layout = kPlainItemLayout);

// True when each item is one element made from its own pixel alone, so that
// rows may be converted a few at a time while later rows are still being
// loaded: kRgb, kGray, kAlpha8, and kRgb565 and kRgb565Swapped without
// kFloyd; never in LVGL's bytes.
bool b_ConvertsPixelByPixel(OutputFormat format, Dither dither, const ItemLayout &layout);

// Converts rows n_first_row .. n_end_row - 1 of such a format in place,
// exactly as ConvertToOutputFormat converts them.
void ConvertRowsToOutputFormat(Image &image, OutputFormat format, int32_t n_first_row, int32_t n_end_row);

// Bytes (items) per row of a kMono array: (n_width + 7) / 8.
inline uint64_t n_MonoRowBytes(int32_t n_width)
{
    return (uint64_t(uint32_t(n_width)) + 7) / 8;
}

// True when the converted items are the bytes of the pixel array's memory
// rather than its elements: kRgb888, kBgr888, and LVGL's kRgb, kRgb565 and
// kRgb565Swapped.
bool b_ItemsAreBytes(OutputFormat format, const ItemLayout &layout = kPlainItemLayout);

// The bits of one index of kIndexed: n_IndexBits of the layout's palette (1
// without one).
uint32_t n_IndexBitsOf(const ItemLayout &layout);

// Number of items of the converted array: one per pixel; three per pixel
// for kRgb888 and kBgr888, four or two per pixel for LVGL's kRgb and RGB565;
// for kMono the bytes of its layout (n_MonoByteCount); for kIndexed the
// index row bytes times the height.
uint64_t n_ItemCount(const Image &image, OutputFormat format, const ItemLayout &layout = kPlainItemLayout);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_OUTPUT_FORMAT_H
