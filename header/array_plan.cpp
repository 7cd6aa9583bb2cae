// Working out the header's arrays before it is written (array_plan.h).
#include "array_plan.h"

namespace tarnwick {
namespace {

// The kind of the items as printed: 32-bit pixels, 16-bit RGB565 values, and
// 8 bits for everything else, bytes of several-byte layouts included.
ItemKind ItemKindOf(OutputFormat format, const ItemLayout &layout)
{
    if(layout.b_lvgl || b_ItemsAreBytes(format, layout))
        return ItemKind::k8;
    switch(format) {
    case OutputFormat::kRgb: return ItemKind::k32;
    case OutputFormat::kRgb565:
    case OutputFormat::kRgb565Swapped: return ItemKind::k16;
    case OutputFormat::kGray:
    case OutputFormat::kMono:
    case OutputFormat::kRgb888:
    case OutputFormat::kBgr888:
    case OutputFormat::kAlpha8:
    case OutputFormat::kIndexed: return ItemKind::k8;
    }
    return ItemKind::k32;
}

// The type of the array's items and of the unpacking function's pointers.
// LVGL's arrays are uint8_t, which lvgl.h brings.
const char *p_ItemType(ItemKind kind, bool b_stdint)
{
    if(b_stdint)
        return kind == ItemKind::k32 ? "uint32_t" : kind == ItemKind::k16 ? "uint16_t" : "uint8_t";
    return kind == ItemKind::k32 ? "unsigned __int32" : kind == ItemKind::k16 ? "unsigned short" : "unsigned char";
}

// LVGL's palette, each entry blue, green, red, alpha: for I1 after --mono,
// index 0 (a clear bit, a dark pixel) black and index 1 white; for the
// indexed formats the picture's palette, padded with zero bytes to the
// format's 2, 4, 16 or 256 entries.
void PlanLvglPalette(OutputFormat format, const ItemLayout &layout, ArrayPlan &plan)
{
    static const uint32_t kMonoPalette[] = {0xff000000, 0xffffffff};
    const uint32_t *p_colours = format == OutputFormat::kIndexed ? layout.p_palette->a_colours : kMonoPalette;
    const uint32_t n_colours = format == OutputFormat::kIndexed ? layout.p_palette->n_colours : 2;
    const uint64_t n_entries = plan.lvgl.n_palette_bytes / 4;
    plan.n_prefix_items = size_t(plan.lvgl.n_palette_bytes);
    for(uint64_t n_entry = 0; n_entry < n_entries; ++n_entry) {
        const uint32_t n_colour = n_entry < n_colours ? p_colours[n_entry] : 0;
        for(uint32_t k = 0; k < 4; ++k)
            plan.a_prefix[4 * n_entry + k] = (n_colour >> (8 * k)) & 0xFF;
    }
}

} // namespace

bool b_LvglFormatOf(OutputFormat format, const ItemLayout &layout, LvglFormat &lvgl)
{
    switch(format) {
    case OutputFormat::kRgb: lvgl = LvglFormat::kArgb8888; return true;
    case OutputFormat::kRgb565: lvgl = LvglFormat::kRgb565; return true;
    case OutputFormat::kRgb565Swapped: lvgl = LvglFormat::kRgb565Swapped; return true;
    case OutputFormat::kBgr888: lvgl = LvglFormat::kRgb888; return true;
    case OutputFormat::kGray: lvgl = LvglFormat::kL8; return true;
    case OutputFormat::kAlpha8: lvgl = LvglFormat::kA8; return true;
    case OutputFormat::kMono:
        lvgl = LvglFormat::kI1;
        return layout.mono == MonoLayout::kRowsMsbFirst;
    case OutputFormat::kIndexed: {
        const uint32_t n_bits = n_IndexBitsOf(layout);
        lvgl = n_bits == 1 ? LvglFormat::kI1 : n_bits == 2 ? LvglFormat::kI2 : n_bits == 4 ? LvglFormat::kI4
                                                                                            : LvglFormat::kI8;
        return true;
    }
    case OutputFormat::kRgb888: return false;
    }
    return false;
}

bool PlanArrays(const Image &image, OutputFormat format, const ItemLayout &layout, const HeaderOptions &options,
                ArrayPlan &plan)
{
    if(layout.b_lvgl != options.b_lvgl || (format == OutputFormat::kIndexed && !layout.p_palette))
        return false;
    plan.kind = ItemKindOf(format, layout);
    plan.p_item_type = p_ItemType(plan.kind, options.b_stdint || options.b_lvgl);
    plan.p_static = options.b_static ? "static " : "";
    plan.p_attribute = options.p_attribute ? options.p_attribute : "";
    plan.b_rle = options.b_rle && !options.b_lvgl;
    plan.b_rle_decoder = options.b_rle_decoder && !options.b_lvgl;
    plan.b_byte_items = b_ItemsAreBytes(format, layout);
    plan.n_items = n_ItemCount(image, format, layout);
    plan.n_row_bytes = plan.n_pages = plan.n_index_bits = 0;
    if(format == OutputFormat::kMono && layout.mono == MonoLayout::kPages)
        plan.n_pages = n_MonoPages(image.n_height);
    else if(format == OutputFormat::kMono)
        plan.n_row_bytes = n_MonoRowBytes(image.n_width);
    if(format == OutputFormat::kIndexed) {
        plan.n_index_bits = n_IndexBitsOf(layout);
        plan.n_row_bytes = n_IndexRowBytes(image.n_width, plan.n_index_bits);
    }
    plan.p_palette = format == OutputFormat::kIndexed && !options.b_lvgl ? layout.p_palette : nullptr;
    plan.b_lvgl = options.b_lvgl;
    plan.n_prefix_items = 0;
    if(!options.b_lvgl)
        return true;
    LvglFormat lvgl_format;
    if(!b_LvglFormatOf(format, layout, lvgl_format))
        return false;
    plan.lvgl = LvglImageOf(lvgl_format, uint32_t(image.n_width), uint32_t(image.n_height));
    if(plan.lvgl.n_palette_bytes)
        PlanLvglPalette(format, layout, plan);
    // The descriptor's data_size counts exactly the bytes the array holds.
    return b_FitsLvglHeader(plan.lvgl) && plan.lvgl.n_data_size == plan.n_prefix_items + plan.n_items;
}

} // namespace tarnwick
