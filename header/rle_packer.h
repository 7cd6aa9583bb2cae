// Run-length packing of the header's pixel array.
//
// The packed array is a sequence of packets, each a header item followed by
// values. A header with the kind's flag bit set (0x80000000 for 32-bit items,
// 0x8000 for 16-bit items, 0x80 for 8-bit items) is a run: its other bits hold
// a count n and one value follows, standing for n equal items. A header with
// the flag clear is a literal: n values follow, one per item. Counts run from
// 1 to 0x7FFFFFFF (32-bit), 0x7FFF (16-bit) or 127 (8-bit); 0 is never
// written. The item count is not stored: the unpacking function is given it
// (width * height; row bytes * height for 1-bit pixels) and stops there.
// Items are whatever the array holds: pixels, the bytes of 1-bit rows, or
// bytes of a layout with several items a pixel.
//
// Packets are chosen in one forward pass: three equal pixels (within the
// count limit) start a run, which takes every following equal pixel up to the
// limit; anything else is a literal that ends just before the first three
// equal pixels lying wholly within its limit, or at the limit.
#ifndef TARNWICK_HEADER_RLE_PACKER_H
#define TARNWICK_HEADER_RLE_PACKER_H

#include <cstddef>
#include <cstdint>

#include "item_writer.h"

namespace tarnwick {

// Writes the packets of n_pixel_count pixels through the item writer, headers
// and values alike; the writer's kind picks the flag bit and the count limit.
// The last item written is a value and ends the array. No pixels, no items.
void WriteRunLengthPackets(ItemWriter &writer, const uint32_t *p_pixels, size_t n_pixel_count);

// The same for 8-bit items taken from bytes, one item a byte (the writer's
// kind must be k8).
void WriteRunLengthBytePackets(ItemWriter &writer, const uint8_t *p_bytes, size_t n_item_count);

// Packing while later pixels are still coming: of the n_pixel_count pixels,
// the first n_available are known. Writes the packets from n_position on
// that the known pixels decide (those that end before the last known pixel,
// or reach their count limit or the last pixel of all) and returns where the
// next packet starts. Calls with growing n_available, each from where the
// one before stopped, write exactly what one WriteRunLengthPackets call over
// all the pixels writes.
size_t WriteRunLengthPacketsSoFar(ItemWriter &writer, const uint32_t *p_pixels, size_t n_position,
                                  size_t n_available, size_t n_pixel_count);

} // namespace tarnwick

#endif // TARNWICK_HEADER_RLE_PACKER_H
