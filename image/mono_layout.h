// The byte layouts of 1-bit pixels (--mono), from one bit per element of the
// Image's pixel array (1 or 0, after the threshold or the dithering) to one
// 8-bit item per byte.
//
//   kRowsMsbFirst  rows top to bottom, each starting on a new byte, the
//                  leftmost pixel in the most significant bit (0x80), the
//                  bits after a row's last pixel zero: (width + 7) / 8 bytes
//                  a row (Adafruit GFX drawBitmap, LVGL I1, most e-paper).
//   kRowsLsbFirst  the same with the leftmost pixel in bit 0 (0x01): XBM
//                  order (u8g2 drawXBM, Adafruit GFX drawXBitmap).
//   kPages         the memory of SSD1306, SH1106 and similar controllers:
//                  the picture cut into pages of 8 rows from the top; a page
//                  is `width` bytes, one a column, left to right; in each
//                  byte bit 0 is the page's top row; rows past the picture's
//                  last are 0. (height + 7) / 8 pages.
#ifndef TARNWICK_IMAGE_MONO_LAYOUT_H
#define TARNWICK_IMAGE_MONO_LAYOUT_H

#include <cstdint>

#include "image.h"

namespace tarnwick {

enum class MonoLayout : uint8_t { kRowsMsbFirst, kRowsLsbFirst, kPages };

// (height + 7) / 8: the pages of kPages.
inline uint64_t n_MonoPages(int32_t n_height)
{
    return (uint64_t(uint32_t(n_height)) + 7) / 8;
}

// The bytes of the layout: (width + 7) / 8 a row times the height, or the
// width times the pages.
uint64_t n_MonoByteCount(int32_t n_width, int32_t n_height, MonoLayout layout);

// Packs the bits in place into the bytes of the layout, one byte per element
// from the first on. Needs no memory of its own.
void PackMonoBits(Image &image, MonoLayout layout);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_MONO_LAYOUT_H
