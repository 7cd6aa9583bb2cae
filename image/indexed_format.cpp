// The palette and the packed indices of --indexed (indexed_format.h).
#include "indexed_format.h"

#include <cstddef>

namespace tarnwick {
namespace {

// Colour to palette index, by open addressing in a table twice the largest
// palette: lookups stay short, and the table lives on the stack.
struct ColourTable {
    static constexpr uint32_t kSlots = 2 * kMaxPaletteColours;
    uint32_t a_colours[kSlots];
    uint16_t a_indices[kSlots]; // index + 1; 0 for an empty slot
};

uint32_t n_Slot(uint32_t n_colour)
{
    // Fibonacci hashing: the top 9 bits of the product.
    return uint32_t(n_colour * 2654435761u) >> 23;
}
static_assert(ColourTable::kSlots == 1u << 9, "the hash gives 9 bits");

void ClearTable(ColourTable &table)
{
    for(uint16_t &n_index : table.a_indices)
        n_index = 0;
}

// The slot that holds the colour, or the empty slot where it goes. The table
// never holds more than kMaxPaletteColours + 1 colours, so an empty slot is
// always found.
uint32_t n_FindSlot(const ColourTable &table, uint32_t n_colour)
{
    uint32_t n_slot = n_Slot(n_colour);
    while(table.a_indices[n_slot] && table.a_colours[n_slot] != n_colour)
        n_slot = (n_slot + 1) % ColourTable::kSlots;
    return n_slot;
}

} // namespace

bool BuildPalette(const Image &image, Palette &palette)
{
    ColourTable table;
    ClearTable(table);
    palette.n_colours = 0;
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i) {
        const uint32_t n_colour = image.p_buffer[i];
        const uint32_t n_slot = n_FindSlot(table, n_colour);
        if(table.a_indices[n_slot])
            continue;
        if(palette.n_colours == kMaxPaletteColours) {
            palette.n_colours = kMaxPaletteColours + 1;
            return false;
        }
        table.a_colours[n_slot] = n_colour;
        table.a_indices[n_slot] = uint16_t(palette.n_colours + 1);
        palette.a_colours[palette.n_colours++] = n_colour;
    }
    return true;
}

uint32_t n_IndexBits(const Palette &palette)
{
    uint32_t n_bits = 1;
    while(n_bits < 8 && palette.n_colours > (1u << n_bits))
        n_bits *= 2;
    return n_bits;
}

void ConvertToIndices(Image &image, const Palette &palette)
{
    ColourTable table;
    ClearTable(table);
    const uint32_t n_colours = palette.n_colours < kMaxPaletteColours ? palette.n_colours : kMaxPaletteColours;
    for(uint32_t n_index = 0; n_index < n_colours; ++n_index) {
        const uint32_t n_slot = n_FindSlot(table, palette.a_colours[n_index]);
        table.a_colours[n_slot] = palette.a_colours[n_index];
        table.a_indices[n_slot] = uint16_t(n_index + 1);
    }
    const uint32_t n_bits = n_IndexBits(palette);
    const uint32_t n_per_byte = 8 / n_bits;
    const size_t n_width = size_t(uint32_t(image.n_width));
    const size_t n_height = size_t(uint32_t(image.n_height));
    const size_t n_row_bytes = size_t(n_IndexRowBytes(image.n_width, n_bits));
    uint32_t *p_buffer = image.p_buffer;
    // In place: the byte at row y, position k lands at element
    // y * n_row_bytes + k, never after the first of its pixels (n_row_bytes
    // is at most n_width), and each byte is stored after its pixels are read.
    for(size_t y = 0; y < n_height; ++y) {
        const uint32_t *p_pixels = p_buffer + y * n_width;
        uint32_t *p_bytes = p_buffer + y * n_row_bytes;
        for(size_t n_byte = 0; n_byte < n_row_bytes; ++n_byte) {
            const size_t n_first = n_byte * n_per_byte;
            const size_t n_count = n_width - n_first < n_per_byte ? n_width - n_first : n_per_byte;
            uint32_t n_value = 0;
            for(size_t i = 0; i < n_count; ++i) {
                // A colour missing from the palette (outside the contract)
                // gets index 0 rather than an index past the palette.
                const uint16_t n_found = table.a_indices[n_FindSlot(table, p_pixels[n_first + i])];
                const uint32_t n_index = n_found ? n_found - 1u : 0u;
                n_value |= n_index << (8 - n_bits * (uint32_t(i) + 1));
            }
            p_bytes[n_byte] = n_value;
        }
    }
}

} // namespace tarnwick
