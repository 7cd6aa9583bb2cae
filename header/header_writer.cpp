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

// The text in front of the picture's items, from the comment to the array's
// "{"; false at the first write that fails.
bool WriteTextBeforeItems(FILE *p_file, ItemWriter &writer, const ArrayPlan &plan, const HeaderOptions &options,
                          const char *p_image_path, const char *p_guard, const char *p_name)
{
    return WriteComment(p_file, p_image_path) &&
           std::fprintf(p_file, "#ifndef %s\n#define %s\n\n", p_guard, p_guard) >= 0 &&
           (!options.b_stdint || std::fputs("#include <stdint.h>\n\n", p_file) >= 0) &&
           (!plan.b_lvgl || WriteLvglIncludes(p_file)) &&
           WritePalette(writer, p_file, plan, options.b_stdint, p_name) &&
           WriteArrayHead(p_file, plan, plan.p_item_type, p_name, "");
}

// The text after the picture's items, from the array's "};" to the end.
bool WriteTextAfterItems(FILE *p_file, const Image &image, const ArrayPlan &plan, const HeaderOptions &options,
                         const char *p_guard, const char *p_name)
{
    return std::fputs("};\n\n", p_file) >= 0 &&
           WriteSizes(p_file, image, plan, p_name) &&
           (!plan.b_lvgl || WriteLvglDescriptor(p_file, p_name, plan.lvgl, options.b_static)) &&
           (!plan.b_rle_decoder || std::fprintf(p_file, "\n%s%s", options.b_static ? "static inline " : "",
                                                p_DecoderText(plan.kind, options.b_stdint)) >= 0) &&
           std::fprintf(p_file, "\n#endif //%s\n", p_guard) >= 0;
}

} // namespace

bool BeginImageHeader(HeaderStream &stream, const Image &image, OutputFormat format, const ItemLayout &layout,
                      const HeaderOptions &options, const char *p_image_path, const char *p_header_path,
                      bool b_by_rows)
{
    ArrayPlan plan;
    if(!p_image_path || !p_header_path || !b_ImageIsWritable(image) ||
       (options.p_name && !b_IsHeaderName(options.p_name)) ||
       (options.p_attribute && !b_IsAttributeText(options.p_attribute)) ||
       !PlanArrays(image, format, layout, options, plan) || b_NamesTheImageFile(p_header_path, p_image_path))
        return false;
    if(b_by_rows && (plan.b_byte_items || plan.n_prefix_items || plan.p_palette ||
                     plan.n_items != n_PixelCount(image)))
        return false;
    if(!OpenHeaderFile(p_header_path, stream.file, b_by_rows))
        return false;
    FILE *p_file = stream.file.p_file;
    std::setvbuf(p_file, stream.a_stream_buffer, _IOFBF, sizeof(stream.a_stream_buffer));
    stream.plan = plan;
    stream.options = options;
    stream.b_by_rows = b_by_rows;
    stream.n_rows_written = 0;
    stream.n_packed_items = 0;
    BuildGuardName(p_header_path, stream.a_guard);
    if(options.p_name)
        std::snprintf(stream.a_name, sizeof(stream.a_name), "%s", options.p_name);
    else
        BuildArrayName(p_image_path, stream.a_name);

    // One item writer for the palette, then for the picture's items.
    StartItemWriter(stream.writer, p_file, plan.kind);
    stream.b_ok = WriteTextBeforeItems(p_file, stream.writer, plan, options, p_image_path, stream.a_guard,
                                       stream.a_name);
    StartItemWriter(stream.writer, p_file, plan.kind);
    return true;
}

bool WriteHeaderRows(HeaderStream &stream, const Image &image, int32_t n_end_row)
{
    if(!stream.b_ok || !stream.b_by_rows || n_end_row <= stream.n_rows_written)
        return stream.b_ok;
    const size_t n_width = size_t(image.n_width);
    const size_t n_total = n_width * size_t(image.n_height);
    const size_t n_available = n_width * size_t(n_end_row);
    if(stream.plan.b_rle) {
        stream.n_packed_items =
            WriteRunLengthPacketsSoFar(stream.writer, image.p_buffer, stream.n_packed_items, n_available, n_total);
    } else {
        const size_t n_first = n_width * size_t(stream.n_rows_written);
        WriteItems(stream.writer, image.p_buffer + n_first, n_available - n_first, n_available == n_total);
    }
    stream.n_rows_written = n_end_row;
    stream.b_ok = !std::ferror(stream.file.p_file);
    return stream.b_ok;
}

bool EndImageHeader(HeaderStream &stream, const Image &image, const char *p_header_path)
{
    if(stream.b_by_rows)
        WriteHeaderRows(stream, image, image.n_height);
    else if(stream.b_ok)
        WriteImageItems(stream.writer, image, stream.plan);
    FILE *p_file = stream.file.p_file;
    FlushItemChunk(stream.writer);
    const bool b_written = stream.b_ok && !std::ferror(p_file) &&
                           WriteTextAfterItems(p_file, image, stream.plan, stream.options, stream.a_guard,
                                               stream.a_name) &&
                           std::fflush(p_file) == 0;
    return CloseHeaderFile(stream.file, p_header_path, b_written);
}

void AbandonImageHeader(HeaderStream &stream, const char *p_header_path)
{
    CloseHeaderFile(stream.file, p_header_path, false);
}

bool WriteImageHeader(const Image &image, OutputFormat format, const ItemLayout &layout,
                      const HeaderOptions &options, const char *p_image_path, const char *p_header_path)
{
    HeaderStream stream; // (its buffers on the stack: no allocation)
    return BeginImageHeader(stream, image, format, layout, options, p_image_path, p_header_path, false) &&
           EndImageHeader(stream, image, p_header_path);
}

} // namespace tarnwick
