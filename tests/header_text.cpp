#include "header_text.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "header_names.h"
#include "header_writer.h"
#include "item_writer.h"
#include "rle_packer.h"
#include "test_support.h"

namespace test {

using namespace tarnwick;

std::string GuardName(const std::string &header_path)
{
    char a_guard[kHeaderNameBufferSize];
    BuildGuardName(header_path.c_str(), a_guard);
    return a_guard;
}

std::string ArrayName(const std::string &image_path)
{
    char a_name[kHeaderNameBufferSize];
    BuildArrayName(image_path.c_str(), a_name);
    return a_name;
}

bool WriteHeader(const Pixels &pixels, int n_width, int n_height, OutputFormat format, const HeaderOptions &options,
                 const std::string &image_path, const std::string &header_path)
{
    Pixels copy = pixels; // the writer takes a non-const buffer pointer
    Image image{};
    image.n_width = n_width;
    image.n_height = n_height;
    image.p_buffer = copy.empty() ? nullptr : copy.data();
    ItemLayout layout = kPlainItemLayout;
    layout.b_lvgl = options.b_lvgl;
    return WriteImageHeader(image, format, layout, options, image_path.c_str(), header_path.c_str());
}

bool WriteHeader(const Pixels &pixels, int n_width, int n_height, const HeaderSwitches &switches,
                 const std::string &image_path, const std::string &header_path)
{
    HeaderOptions options = kPlainHeaderOptions;
    options.b_rle = switches.b_rle;
    options.b_rle_decoder = switches.b_rle_decoder;
    return WriteHeader(pixels, n_width, n_height, switches.b_gray ? OutputFormat::kGray : OutputFormat::kRgb, options,
                       image_path, header_path);
}

std::string HeaderText(const Pixels &pixels, int n_width, int n_height, OutputFormat format,
                       const HeaderOptions &options, const std::string &image_path, const std::string &header_path)
{
    TempDir dir;
    std::error_code error;
    const std::filesystem::path previous = std::filesystem::current_path(error);
    if(!error)
        std::filesystem::current_path(dir.path(), error);
    if(error)
        return std::string();
    bool b_written = WriteHeader(pixels, n_width, n_height, format, options, image_path, header_path);
    std::string text = b_written ? ReadFileText(header_path) : std::string();
    std::filesystem::current_path(previous, error);
    return error ? std::string() : text;
}

std::string HeaderText(const Pixels &pixels, int n_width, int n_height, const HeaderSwitches &switches,
                       const std::string &image_path, const std::string &header_path)
{
    HeaderOptions options = kPlainHeaderOptions;
    options.b_rle = switches.b_rle;
    options.b_rle_decoder = switches.b_rle_decoder;
    return HeaderText(pixels, n_width, n_height, switches.b_gray ? OutputFormat::kGray : OutputFormat::kRgb, options,
                      image_path, header_path);
}

static ItemKind KindOf(bool b_byte_items)
{
    return b_byte_items ? ItemKind::k8 : ItemKind::k32;
}

// The item writer's text for the items: 32-bit elements (p_pixels), or
// bytes (p_bytes) in the 8-bit kind. The items go to a stream in memory
// (open_memstream) where the C library has one, else to a temporary file
// read back.
static std::string ItemText(const Pixels *p_pixels, const std::vector<uint8_t> *p_bytes, ItemKind kind,
                            bool b_packed, const std::vector<size_t> *p_piece_ends = nullptr)
{
#ifdef _WIN32
    FILE *p_stream = OpenTemporaryFile();
#else
    char *p_text = nullptr;
    size_t n_size = 0;
    FILE *p_stream = open_memstream(&p_text, &n_size);
#endif
    if(!p_stream)
        return std::string();
    ItemWriter *p_writer = new ItemWriter;
    StartItemWriter(*p_writer, p_stream, kind);
    if(p_bytes && b_packed)
        WriteRunLengthBytePackets(*p_writer, p_bytes->data(), p_bytes->size());
    else if(p_bytes)
        WriteByteItems(*p_writer, p_bytes->data(), p_bytes->size(), true);
    else if(p_piece_ends) {
        // As the header writer writes rows while later ones are loading.
        size_t n_written = 0;
        for(const size_t n_end : *p_piece_ends) {
            if(b_packed)
                n_written = WriteRunLengthPacketsSoFar(*p_writer, p_pixels->data(), n_written, n_end, p_pixels->size());
            else
                WriteItems(*p_writer, p_pixels->data() + n_written, n_end - n_written, n_end == p_pixels->size());
            n_written = b_packed ? n_written : n_end;
        }
    } else if(b_packed)
        WriteRunLengthPackets(*p_writer, p_pixels->data(), p_pixels->size());
    else
        WriteItems(*p_writer, p_pixels->data(), p_pixels->size(), true);
    FlushItemChunk(*p_writer);
    delete p_writer;
#ifdef _WIN32
    std::string text;
    std::rewind(p_stream);
    char block[65536];
    for(size_t n_read; (n_read = std::fread(block, 1, sizeof(block), p_stream)) > 0;)
        text.append(block, n_read);
    std::fclose(p_stream);
#else
    std::fclose(p_stream);
    std::string text(p_text, n_size);
    std::free(p_text);
#endif
    return text;
}

std::string PlainItemText(const Pixels &pixels, bool b_byte_items)
{
    return ItemText(&pixels, nullptr, KindOf(b_byte_items), false);
}

std::string PackedItemText(const Pixels &pixels, bool b_byte_items)
{
    return ItemText(&pixels, nullptr, KindOf(b_byte_items), true);
}

std::string PlainItemText(const Pixels &pixels, ItemKind kind)
{
    return ItemText(&pixels, nullptr, kind, false);
}

std::string PackedItemText(const Pixels &pixels, ItemKind kind)
{
    return ItemText(&pixels, nullptr, kind, true);
}

std::string PieceByPieceItemText(const Pixels &pixels, ItemKind kind, bool b_packed,
                                 const std::vector<size_t> &piece_ends)
{
    return ItemText(&pixels, nullptr, kind, b_packed, &piece_ends);
}

std::string PlainByteItemText(const std::vector<uint8_t> &bytes)
{
    return ItemText(nullptr, &bytes, ItemKind::k8, false);
}

std::string PackedByteItemText(const std::vector<uint8_t> &bytes)
{
    return ItemText(nullptr, &bytes, ItemKind::k8, true);
}

std::string ReferenceItemText(const Pixels &items, bool b_byte_items)
{
    return ReferenceItemText(items, KindOf(b_byte_items));
}

std::string ReferenceItemText(const Pixels &items, ItemKind kind)
{
    const int n_per_line = kind == ItemKind::k32 ? 7 : kind == ItemKind::k16 ? 10 : 14;
    const char *p_format = kind == ItemKind::k32 ? "0x%08x%s" : kind == ItemKind::k16 ? "0x%04x%s" : "0x%02x%s";
    std::string text;
    for(size_t i = 0; i < items.size(); ++i) {
        const char *p_separator = i + 1 == items.size() ? "\n" : (i + 1) % n_per_line == 0 ? ",\n\t" : ", ";
        char a_item[32];
        std::snprintf(a_item, sizeof(a_item), p_format, items[i], p_separator);
        text += a_item;
    }
    return text;
}

bool ParseItemText(const std::string &item_text, Pixels &items)
{
    items.clear();
    const char *p_char = item_text.c_str();
    const char *p_end = p_char + item_text.size();
    while(p_char < p_end) {
        if(std::strncmp(p_char, "0x", 2) != 0 || !std::isxdigit((unsigned char)p_char[2]))
            return false;
        char *p_after = nullptr;
        unsigned long n_value = std::strtoul(p_char + 2, &p_after, 16);
        if(n_value > 0xFFFFFFFFul)
            return false;
        items.push_back(uint32_t(n_value));
        p_char = p_after;
        while(p_char < p_end && (*p_char == ',' || *p_char == ' ' || *p_char == '\n' || *p_char == '\t'))
            ++p_char;
    }
    return true;
}

bool UnpackPackets(const Pixels &items, bool b_byte_items, size_t n_pixel_count, Pixels &pixels)
{
    return UnpackPackets(items, KindOf(b_byte_items), n_pixel_count, pixels);
}

bool UnpackPackets(const Pixels &items, ItemKind kind, size_t n_pixel_count, Pixels &pixels)
{
    const uint32_t n_flag = kind == ItemKind::k32 ? 0x80000000u : kind == ItemKind::k16 ? 0x8000u : 0x80u;
    pixels.clear();
    size_t n_item = 0;
    while(pixels.size() < n_pixel_count) {
        if(n_item >= items.size() || (kind != ItemKind::k32 && items[n_item] >= 2 * n_flag))
            return false;
        bool b_run = (items[n_item] & n_flag) != 0;
        size_t n_count = items[n_item] & (n_flag - 1);
        ++n_item;
        if(n_count == 0 || n_count > n_pixel_count - pixels.size())
            return false;
        size_t n_values = b_run ? 1 : n_count;
        if(n_values > items.size() - n_item)
            return false;
        for(size_t i = 0; i < n_count; ++i)
            pixels.push_back(items[n_item + (b_run ? 0 : i)]);
        n_item += n_values;
    }
    return n_item == items.size();
}

} // namespace test
