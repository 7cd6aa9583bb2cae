#include "header_writer.h"

#include <cstdio>

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

ItemKind ItemKindOf(OutputFormat format)
{
    switch(format) {
    case OutputFormat::kRgb: return ItemKind::k32;
    case OutputFormat::kRgb565:
    case OutputFormat::kRgb565Swapped: return ItemKind::k16;
    case OutputFormat::kGray:
    case OutputFormat::kMono: return ItemKind::k8;
    }
    return ItemKind::k32;
}

// The type of the array's items and of the unpacking function's pointers.
const char *p_ItemType(ItemKind kind, bool b_stdint)
{
    if(b_stdint)
        return kind == ItemKind::k32 ? "uint32_t" : kind == ItemKind::k16 ? "uint16_t" : "uint8_t";
    return kind == ItemKind::k32 ? "unsigned __int32" : kind == ItemKind::k16 ? "unsigned short" : "unsigned char";
}

// LVGL's I1 palette in front of the --mono bits: index 0 (a clear bit, a dark
// pixel) black, index 1 white, each entry blue, green, red, alpha.
const uint32_t kLvglMonoPalette[] = {0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff};

// What one run writes, worked out before the file is opened.
struct HeaderPlan {
    ItemKind kind;           // of the array's items
    const char *p_item_type;
    const char *p_static;    // "static " or ""
    const char *p_attribute; // " TEXT" or ""
    bool b_rle;
    bool b_rle_decoder;
    bool b_lvgl;
    LvglImage lvgl;
    const uint32_t *p_prefix; // items in front of the picture's (LVGL's palette)
    size_t n_prefix_items;
};

// False when the options cannot be honoured for this picture.
bool PlanHeader(const Image &image, OutputFormat format, const HeaderOptions &options, HeaderPlan &plan)
{
    plan.kind = options.b_lvgl ? ItemKind::k8 : ItemKindOf(format);
    plan.p_item_type = p_ItemType(plan.kind, options.b_stdint || options.b_lvgl);
    plan.p_static = options.b_static ? "static " : "";
    plan.p_attribute = options.p_attribute ? options.p_attribute : "";
    plan.b_rle = options.b_rle && !options.b_lvgl;
    plan.b_rle_decoder = options.b_rle_decoder && !options.b_lvgl;
    plan.b_lvgl = options.b_lvgl;
    plan.p_prefix = nullptr;
    plan.n_prefix_items = 0;
    if(!options.b_lvgl)
        return true;
    LvglFormat lvgl_format;
    if(!b_LvglFormatOf(format, lvgl_format))
        return false;
    plan.lvgl = LvglImageOf(lvgl_format, uint32_t(image.n_width), uint32_t(image.n_height));
    if(lvgl_format == LvglFormat::kI1) {
        plan.p_prefix = kLvglMonoPalette;
        plan.n_prefix_items = sizeof(kLvglMonoPalette) / sizeof(kLvglMonoPalette[0]);
    }
    return b_FitsLvglHeader(plan.lvgl);
}

bool WriteImageItems(ItemWriter &writer, const Image &image, OutputFormat format, const HeaderPlan &plan)
{
    const size_t n_items = size_t(n_ItemCount(image, format));
    if(plan.n_prefix_items)
        WriteItems(writer, plan.p_prefix, plan.n_prefix_items, n_items == 0);
    if(plan.b_rle)
        WriteRunLengthPackets(writer, image.p_buffer, n_items);
    else
        WriteItems(writer, image.p_buffer, n_items, true);
    FlushItemChunk(writer);
    return !std::ferror(writer.p_file);
}

// "[static ]const TYPE p_NAME[][ ATTRIBUTE] = {" and the first tab.
bool WriteArrayHead(FILE *p_file, const HeaderPlan &plan, const char *p_name)
{
    return std::fprintf(p_file, "%sconst %s p_%s[]%s%s = {\n\t", plan.p_static, plan.p_item_type, p_name,
                        *plan.p_attribute ? " " : "", plan.p_attribute) >= 0;
}

bool WriteSizes(FILE *p_file, const Image &image, OutputFormat format, const HeaderPlan &plan, const char *p_name)
{
    const char *p_static = plan.p_static;
    return std::fprintf(p_file, "%sconst unsigned int n_%s_width = %d;\n%sconst unsigned int n_%s_height = %d;\n",
                        p_static, p_name, int(image.n_width), p_static, p_name, int(image.n_height)) >= 0 &&
           (format != OutputFormat::kMono ||
            std::fprintf(p_file, "%sconst unsigned int n_%s_row_bytes = %d;\n", p_static, p_name,
                         int(n_MonoRowBytes(image.n_width))) >= 0);
}

// Everything between opening and closing the file; false at the first write
// that fails, with nothing written after it.
bool WriteHeaderText(FILE *p_file, const Image &image, OutputFormat format, const HeaderPlan &plan,
                     const HeaderOptions &options, const char *p_image_path, const char *p_guard, const char *p_name)
{
    ItemWriter writer;
    StartItemWriter(writer, p_file, plan.kind);

    return WriteComment(p_file, p_image_path) &&
           std::fprintf(p_file, "#ifndef %s\n#define %s\n\n", p_guard, p_guard) >= 0 &&
           (!options.b_stdint || std::fputs("#include <stdint.h>\n\n", p_file) >= 0) &&
           (!plan.b_lvgl || WriteLvglIncludes(p_file)) &&
           WriteArrayHead(p_file, plan, p_name) &&
           WriteImageItems(writer, image, format, plan) &&
           std::fputs("};\n\n", p_file) >= 0 &&
           WriteSizes(p_file, image, format, plan, p_name) &&
           (!plan.b_lvgl || WriteLvglDescriptor(p_file, p_name, plan.lvgl, options.b_static)) &&
           (!plan.b_rle_decoder || std::fprintf(p_file, "\n%s%s", options.b_static ? "static inline " : "",
                                                p_DecoderText(plan.kind, options.b_stdint)) >= 0) &&
           std::fprintf(p_file, "\n#endif //%s\n", p_guard) >= 0;
}

} // namespace

HeaderOptions PlainHeaderOptions()
{
    return HeaderOptions{false, false, false, false, false, nullptr, nullptr};
}

bool b_LvglFormatOf(OutputFormat format, LvglFormat &lvgl)
{
    switch(format) {
    case OutputFormat::kGray: lvgl = LvglFormat::kL8; return true;
    case OutputFormat::kMono: lvgl = LvglFormat::kI1; return true;
    case OutputFormat::kRgb:
    case OutputFormat::kRgb565:
    case OutputFormat::kRgb565Swapped: return false;
    }
    return false;
}

bool WriteImageHeader(const Image &image, OutputFormat format, const HeaderOptions &options,
                      const char *p_image_path, const char *p_header_path)
{
    HeaderPlan plan;
    if(!p_image_path || !p_header_path || !b_ImageIsWritable(image) ||
       (options.p_name && !b_IsHeaderName(options.p_name)) ||
       (options.p_attribute && !b_IsAttributeText(options.p_attribute)) || !PlanHeader(image, format, options, plan) ||
       b_NamesTheImageFile(p_header_path, p_image_path))
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
        WriteHeaderText(p_file, image, format, plan, options, p_image_path, a_guard, a_name) && std::fflush(p_file) == 0;
    return CloseHeaderFile(header, p_header_path, b_written);
}

} // namespace tarnwick
