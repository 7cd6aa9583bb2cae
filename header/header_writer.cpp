#include "header_writer.h"

#include <cstdio>

#include "array_plan.h"
#include "byte_layout.h"
#include "header_file.h"
#include "header_names.h"
#include "item_writer.h"
#include "output_format.h"
#include "rle_decoder_text.h"
#include "rle_packer.h"

namespace tarnwick {
namespace {

// The writer refuses an Image that breaks the record's promises instead of
// reading outside its pixel array.
bool b_ImageIsWritable(const Image &image)
{
    return b_IsAllowedImageSize(image.n_width, image.n_height) && (n_PixelCount(image) == 0 || image.p_buffer);
}

// The image path inside the /* */ comment: each "*/" is written as "* /" so
// that the path cannot end the comment, and each control byte (below 0x20,
// line breaks included) as '?'. Every other byte is written as it is.
void WriteCommentPath(FILE *p_file, const char *p_path)
{
    for(const char *p_char = p_path; *p_char; ++p_char) {
        unsigned char c = (unsigned char)*p_char;
        if(c == '*' && p_char[1] == '/')
            std::fputs("* ", p_file);
        else
            std::putc(c < 0x20 ? '?' : c, p_file);
    }
}

bool WriteComment(FILE *p_file, const char *p_image_path)
{
    std::fputs("/*\n *\timage header file\n *\tcreated from '", p_file);
    WriteCommentPath(p_file, p_image_path);
    std::fputs("'\n */\n\n", p_file);
    return !std::ferror(p_file);
}

// The items of the picture's array, written through the item writer: the
// prefix in front (LVGL's palette), then the picture's items, as elements or
// bytes, plain or packed.
bool WriteImageItems(ItemWriter &writer, const Image &image, const ArrayPlan &plan)
{
    StartItemWriter(writer, writer.p_file, plan.kind);
    const size_t n_items = size_t(plan.n_items);
    if(plan.n_prefix_items)
        WriteItems(writer, plan.a_prefix, plan.n_prefix_items, n_items == 0);
    if(plan.b_byte_items && plan.b_rle)
        WriteRunLengthBytePackets(writer, p_Bytes(image), n_items);
    else if(plan.b_byte_items)
        WriteByteItems(writer, p_Bytes(image), n_items, true);
    else if(plan.b_rle)
        WriteRunLengthPackets(writer, image.p_buffer, n_items);
    else
        WriteItems(writer, image.p_buffer, n_items, true);
    FlushItemChunk(writer);
    return !std::ferror(writer.p_file);
}

// "[static ]const TYPE p_NAME[SUFFIX][ ATTRIBUTE] = {" and the first tab.
bool WriteArrayHead(FILE *p_file, const ArrayPlan &plan, const char *p_type, const char *p_name,
                    const char *p_suffix)
{
    return std::fprintf(p_file, "%sconst %s p_%s%s[]%s%s = {\n\t", plan.p_static, p_type, p_name, p_suffix,
                        *plan.p_attribute ? " " : "", plan.p_attribute) >= 0;
}

// "[static ]const unsigned int n_NAME_WHAT = VALUE;"
bool WriteConstant(FILE *p_file, const ArrayPlan &plan, const char *p_name, const char *p_what, uint64_t n_value)
{
    return std::fprintf(p_file, "%sconst unsigned int n_%s_%s = %llu;\n", plan.p_static, p_name, p_what,
                        static_cast<unsigned long long>(n_value)) >= 0;
}

// --indexed without --lvgl: the palette, 32-bit 0xAARRGGBB items (with
// --stdint uint32_t), and its size, in front of the index array.
bool WritePalette(ItemWriter &writer, FILE *p_file, const ArrayPlan &plan, bool b_stdint, const char *p_name)
{
    if(!plan.p_palette)
        return true;
    StartItemWriter(writer, p_file, ItemKind::k32);
    const bool b_head = WriteArrayHead(p_file, plan, b_stdint ? "uint32_t" : "unsigned __int32", p_name, "_palette");
    if(b_head) {
        WriteItems(writer, plan.p_palette->a_colours, plan.p_palette->n_colours, true);
        FlushItemChunk(writer);
    }
    return b_head && !std::ferror(p_file) && std::fputs("};\n\n", p_file) >= 0 &&
           WriteConstant(p_file, plan, p_name, "palette_size", plan.p_palette->n_colours) &&
           std::fputs("\n", p_file) >= 0;
}

// The width and height, then what the layout adds: the index bits, the row
// bytes, the pages.
bool WriteSizes(FILE *p_file, const Image &image, const ArrayPlan &plan, const char *p_name)
{
    return WriteConstant(p_file, plan, p_name, "width", uint32_t(image.n_width)) &&
           WriteConstant(p_file, plan, p_name, "height", uint32_t(image.n_height)) &&
           (!plan.n_index_bits || WriteConstant(p_file, plan, p_name, "bits", plan.n_index_bits)) &&
           (!plan.n_row_bytes || WriteConstant(p_file, plan, p_name, "row_bytes", plan.n_row_bytes)) &&
           (!plan.n_pages || WriteConstant(p_file, plan, p_name, "pages", plan.n_pages));
}

// Everything between opening and closing the file; false at the first write
// that fails, with nothing written after it.
bool WriteHeaderText(FILE *p_file, const Image &image, const ArrayPlan &plan, const HeaderOptions &options,
                     const char *p_image_path, const char *p_guard, const char *p_name)
{
    ItemWriter writer; // for the palette, then for the picture's items
    StartItemWriter(writer, p_file, plan.kind);

    return WriteComment(p_file, p_image_path) &&
           std::fprintf(p_file, "#ifndef %s\n#define %s\n\n", p_guard, p_guard) >= 0 &&
           (!options.b_stdint || std::fputs("#include <stdint.h>\n\n", p_file) >= 0) &&
           (!plan.b_lvgl || WriteLvglIncludes(p_file)) &&
           WritePalette(writer, p_file, plan, options.b_stdint, p_name) &&
           WriteArrayHead(p_file, plan, plan.p_item_type, p_name, "") &&
           WriteImageItems(writer, image, plan) &&
           std::fputs("};\n\n", p_file) >= 0 &&
           WriteSizes(p_file, image, plan, p_name) &&
           (!plan.b_lvgl || WriteLvglDescriptor(p_file, p_name, plan.lvgl, options.b_static)) &&
           (!plan.b_rle_decoder || std::fprintf(p_file, "\n%s%s", options.b_static ? "static inline " : "",
                                                p_DecoderText(plan.kind, options.b_stdint)) >= 0) &&
           std::fprintf(p_file, "\n#endif //%s\n", p_guard) >= 0;
}

} // namespace

bool WriteImageHeader(const Image &image, OutputFormat format, const ItemLayout &layout,
                      const HeaderOptions &options, const char *p_image_path, const char *p_header_path)
{
    ArrayPlan plan;
    if(!p_image_path || !p_header_path || !b_ImageIsWritable(image) ||
       (options.p_name && !b_IsHeaderName(options.p_name)) ||
       (options.p_attribute && !b_IsAttributeText(options.p_attribute)) ||
       !PlanArrays(image, format, layout, options, plan) || b_NamesTheImageFile(p_header_path, p_image_path))
        return false;

    HeaderFile header;
    if(!OpenHeaderFile(p_header_path, header))
        return false;
    FILE *p_file = header.p_file;
    // The stream's buffer, one item chunk in size, here until the file is
    // closed: the stream then hands the system whole aligned 64 KiB blocks.
    char a_stream_buffer[kItemChunkBytes];
    std::setvbuf(p_file, a_stream_buffer, _IOFBF, sizeof(a_stream_buffer));

    char a_guard[kHeaderNameBufferSize];
    char a_name[kHeaderNameBufferSize];
    BuildGuardName(p_header_path, a_guard);
    if(options.p_name)
        std::snprintf(a_name, sizeof(a_name), "%s", options.p_name);
    else
        BuildArrayName(p_image_path, a_name);

    const bool b_written =
        WriteHeaderText(p_file, image, plan, options, p_image_path, a_guard, a_name) && std::fflush(p_file) == 0;
    return CloseHeaderFile(header, p_header_path, b_written);
}

} // namespace tarnwick
