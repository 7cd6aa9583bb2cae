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

// The word after "unsigned" in the declarations of the array and of the
// unpacking function.
const char *p_TypeWord(ItemKind kind)
{
    return kind == ItemKind::k32 ? "__int32" : kind == ItemKind::k16 ? "short" : "char";
}

bool WriteImageItems(ItemWriter &writer, const Image &image, OutputFormat format, bool b_rle)
{
    size_t n_items = size_t(n_ItemCount(image, format));
    if(b_rle)
        WriteRunLengthPackets(writer, image.p_buffer, n_items);
    else
        WriteItems(writer, image.p_buffer, n_items, true);
    FlushItemChunk(writer);
    return !std::ferror(writer.p_file);
}

// Everything between opening and closing the file; false at the first write
// that fails, with nothing written after it.
bool WriteHeaderText(FILE *p_file, const Image &image, OutputFormat format, bool b_rle, bool b_rle_decoder,
                     const char *p_image_path, const char *p_guard, const char *p_name)
{
    const ItemKind kind = ItemKindOf(format);
    ItemWriter writer;
    StartItemWriter(writer, p_file, kind);

    return WriteComment(p_file, p_image_path) &&
           std::fprintf(p_file, "#ifndef %s\n#define %s\n\n", p_guard, p_guard) >= 0 &&
           std::fprintf(p_file, "const unsigned %s p_%s[] = {\n\t", p_TypeWord(kind), p_name) >= 0 &&
           WriteImageItems(writer, image, format, b_rle) &&
           std::fputs("};\n\n", p_file) >= 0 &&
           std::fprintf(p_file, "const unsigned int n_%s_width = %d;\nconst unsigned int n_%s_height = %d;\n",
                        p_name, int(image.n_width), p_name, int(image.n_height)) >= 0 &&
           (format != OutputFormat::kMono ||
            std::fprintf(p_file, "const unsigned int n_%s_row_bytes = %d;\n", p_name,
                         int(n_MonoRowBytes(image.n_width))) >= 0) &&
           (!b_rle_decoder || std::fprintf(p_file, "\n%s", p_DecoderText(kind)) >= 0) &&
           std::fprintf(p_file, "\n#endif //%s\n", p_guard) >= 0;
}

} // namespace

bool WriteImageHeader(const Image &image, OutputFormat format, bool b_rle, bool b_rle_decoder,
                      const char *p_image_path, const char *p_header_path)
{
    if(!p_image_path || !p_header_path || !b_ImageIsWritable(image) ||
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
    BuildArrayName(p_image_path, a_name);

    const bool b_written =
        WriteHeaderText(p_file, image, format, b_rle, b_rle_decoder, p_image_path, a_guard, a_name) &&
        std::fflush(p_file) == 0;
    return CloseHeaderFile(header, p_header_path, b_written);
}

} // namespace tarnwick
