// Items spread into bytes: the layouts that hold several 8-bit items for each
// pixel (--rgb888 and --bgr888, three; LVGL's ARGB8888, four; LVGL's RGB565
// and RGB565_SWAPPED, two). They are computed from 32-bit items with shifts,
// so the bytes are the same on every machine, and stored in the Image's own
// pixel array, whose n_width * n_height elements hold 4 bytes each: no layout
// needs more than that, and no second array is made.
#ifndef TARNWICK_IMAGE_BYTE_LAYOUT_H
#define TARNWICK_IMAGE_BYTE_LAYOUT_H

#include <cstdint>

#include "image.h"

namespace tarnwick {

enum class ByteOrder : uint8_t { kLowFirst, kHighFirst };

// The bytes of the pixel array's memory, read-only: where a header writer
// finds the items after SpreadItemsIntoBytes.
inline const uint8_t *p_Bytes(const Image &image)
{
    return reinterpret_cast<const uint8_t *>(image.p_buffer);
}

// Replaces each element's n_item_bytes low bytes (1 to 4), taken in the order
// given (0x00RRGGBB low first: BB GG RR; high first: RR GG BB), by that many
// bytes at the start of the array's memory, one element after the other: the
// item of element i becomes bytes n_item_bytes * i and on. In place: those
// bytes lie within the elements up to i, the last of which has been read.
// Returns the byte count, n_item_bytes times the pixels.
uint64_t SpreadItemsIntoBytes(Image &image, uint32_t n_item_bytes, ByteOrder order);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_BYTE_LAYOUT_H
