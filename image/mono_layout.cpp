// Packing 1-bit pixels into the bytes of each layout (mono_layout.h).
#include "mono_layout.h"

#include <cstddef>

namespace tarnwick {
namespace {

uint64_t n_RowBytes(int32_t n_width)
{
    return (uint64_t(uint32_t(n_width)) + 7) / 8;
}

// Rows in place: the byte at row y, position k lands at element
// y * row bytes + k, never after the first of its eight bits, and each byte
// is stored only after its bits are read. b_lsb_first puts the leftmost pixel
// in bit 0 instead of bit 7.
void PackRows(Image &image, bool b_lsb_first)
{
    const size_t n_width = size_t(uint32_t(image.n_width));
    const size_t n_height = size_t(uint32_t(image.n_height));
    const size_t n_row_bytes = size_t(n_RowBytes(image.n_width));
    uint32_t *p_buffer = image.p_buffer;
    for(size_t y = 0; y < n_height; ++y) {
        const uint32_t *p_bits = p_buffer + y * n_width;
        uint32_t *p_bytes = p_buffer + y * n_row_bytes;
        for(size_t n_byte = 0; n_byte < n_row_bytes; ++n_byte) {
            const size_t n_first = n_byte * 8;
            const size_t n_count = n_width - n_first < 8 ? n_width - n_first : 8;
            uint32_t n_value = 0;
            for(size_t i = 0; i < n_count; ++i)
                n_value |= p_bits[n_first + i] << (b_lsb_first ? i : 7 - i);
            p_bytes[n_byte] = n_value;
        }
    }
}

// Pages in place, page after page, column after column: the byte of page p,
// column x lands at element p * width + x, which held the bit of row p,
// column x. Row p belongs to page p / 8, which comes before page p (p > 0)
// or is page 0 itself, where column x has just been read: no bit is
// overwritten before it is read.
void PackPages(Image &image)
{
    const size_t n_width = size_t(uint32_t(image.n_width));
    const size_t n_height = size_t(uint32_t(image.n_height));
    const size_t n_pages = size_t(n_MonoPages(image.n_height));
    uint32_t *p_buffer = image.p_buffer;
    for(size_t n_page = 0; n_page < n_pages; ++n_page) {
        const size_t n_top = n_page * 8;
        const size_t n_rows = n_height - n_top < 8 ? n_height - n_top : 8;
        for(size_t x = 0; x < n_width; ++x) {
            uint32_t n_value = 0;
            for(size_t j = 0; j < n_rows; ++j)
                n_value |= p_buffer[(n_top + j) * n_width + x] << j;
            p_buffer[n_page * n_width + x] = n_value;
        }
    }
}

} // namespace

uint64_t n_MonoByteCount(int32_t n_width, int32_t n_height, MonoLayout layout)
{
    if(layout == MonoLayout::kPages)
        return uint64_t(uint32_t(n_width)) * n_MonoPages(n_height);
    return n_RowBytes(n_width) * uint64_t(uint32_t(n_height));
}

void PackMonoBits(Image &image, MonoLayout layout)
{
    switch(layout) {
    case MonoLayout::kRowsMsbFirst: PackRows(image, false); return;
    case MonoLayout::kRowsLsbFirst: PackRows(image, true); return;
    case MonoLayout::kPages: PackPages(image); return;
    }
}

} // namespace tarnwick
