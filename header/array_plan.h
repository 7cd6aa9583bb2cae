// What the header's arrays hold and what the header declares about them,
// worked out from the output format, the item layout and the switches before
// the file is opened: the items' kind and type, where they come from (the
// pixel array's elements or its bytes) and how many there are, the palette
// array of --indexed, the constants after the height, and with --lvgl the
// descriptor's numbers and the palette bytes LVGL reads in front of indexed
// data.
#ifndef TARNWICK_HEADER_ARRAY_PLAN_H
#define TARNWICK_HEADER_ARRAY_PLAN_H

#include <cstddef>
#include <cstdint>

#include "header_options.h"
#include "image.h"
#include "indexed_format.h"
#include "item_writer.h"
#include "lvgl_descriptor.h"
#include "output_format.h"

namespace tarnwick {

struct ArrayPlan {
    ItemKind kind;             // of the picture's array
    const char *p_item_type;   // "unsigned __int32", "uint8_t", ...
    const char *p_static;      // "static " or ""
    const char *p_attribute;   // the --attribute text, or ""
    bool b_rle;                // packets (never with --lvgl)
    bool b_rle_decoder;        // the unpacking function (never with --lvgl)
    bool b_byte_items;         // the items are the pixel array's bytes, not its elements
    uint64_t n_items;          // the picture's items, packed or not
    // The constants after the height; 0 for those not declared.
    uint64_t n_row_bytes;      // 1-bit rows and indexed rows
    uint64_t n_pages;          // --mono-pages
    uint32_t n_index_bits;     // --indexed
    const Palette *p_palette;  // --indexed without --lvgl: the array p_<name>_palette
    bool b_lvgl;
    LvglImage lvgl;
    // LVGL's palette in front of indexed and 1-bit data, one item a byte:
    // blue, green, red, alpha for each of 2, 4, 16 or 256 entries.
    uint32_t a_prefix[4 * kMaxPaletteColours];
    size_t n_prefix_items;
};

// The LVGL colour format that holds the items of a format in that layout
// (the palette's size picks I1, I2, I4 or I8 for kIndexed); false when LVGL
// has none for it: kRgb888, and kMono's layouts other than rows with the
// leftmost pixel in the top bit.
bool b_LvglFormatOf(OutputFormat format, const ItemLayout &layout, LvglFormat &lvgl);

// Fills the plan; false when the switches cannot be honoured for this
// picture: --lvgl without an LVGL format for it, or too large for LVGL's
// header; the layout's b_lvgl not the options'; kIndexed without a palette.
bool PlanArrays(const Image &image, OutputFormat format, const ItemLayout &layout, const HeaderOptions &options,
                ArrayPlan &plan);

} // namespace tarnwick

#endif // TARNWICK_HEADER_ARRAY_PLAN_H
