// TGA files: an 18-byte little-endian header, an image ID of `id length`
// bytes, an optional colour map, then the pixel rows.
//
//   offset  size  field
//        0     1  ID length
//        1     1  colour-map type (not consulted)
//        2     1  image type: bits 0-2 the class (1 colour-mapped, 2 true
//                 colour, 3 gray), bit 3 run-length compressed
//        3     2  first colour-map entry index
//        5     2  colour-map length
//        7     1  colour-map entry size in bits (16, 24 or 32)
//        8     4  X and Y origin (not consulted)
//       12     2  width
//       14     2  height
//       16     1  pixel depth of true-colour pixels (16, 24 or 32)
//       17     1  descriptor: bit 5 set when the first row is the top row
//
// Colour-mapped and gray pixels are one byte each, minus the first entry
// index, looked up in the colour map; gray images use a 256-entry gray ramp
// instead of a stored map. Rows run bottom to top unless descriptor bit 5 is
// set. Each row is read separately, so a run-length packet never spans rows.
#include "tga_reader.h"

#include <cstdlib>

namespace tarnwick {
namespace {

constexpr size_t kTgaHeaderSize = 18;

enum TgaClass : uint8_t { kColorMapped = 1, kTrueColor = 2, kGray = 3 };

struct TgaHeader {
    uint8_t n_id_length;
    uint8_t n_image_type;
    uint16_t n_first_entry;
    uint16_t n_map_length;
    uint8_t n_map_entry_bits;
    uint16_t n_width;
    uint16_t n_height;
    uint8_t n_pixel_bits;
    uint8_t n_descriptor;
};

// The little-endian 16-bit value of two bytes.
uint16_t n_Le16(const uint8_t *p_bytes)
{
    return uint16_t(p_bytes[0] | (p_bytes[1] << 8));
}

TgaHeader ParseTgaHeader(const uint8_t *p_bytes)
{
    TgaHeader header;
    header.n_id_length = p_bytes[0];
    header.n_image_type = p_bytes[2];
    header.n_first_entry = n_Le16(p_bytes + 3);
    header.n_map_length = n_Le16(p_bytes + 5);
    header.n_map_entry_bits = p_bytes[7];
    header.n_width = n_Le16(p_bytes + 12);
    header.n_height = n_Le16(p_bytes + 14);
    header.n_pixel_bits = p_bytes[16];
    header.n_descriptor = p_bytes[17];
    return header;
}

// The pixel kind of 16-, 24- and 32-bit values; false for any other depth.
bool ChooseColorKind(uint8_t n_bits, TgaPixelKind &kind)
{
    switch(n_bits) {
    case 16: kind = TgaPixelKind::k16Bit; return true;
    case 24: kind = TgaPixelKind::k24Bit; return true;
    case 32: kind = TgaPixelKind::k32Bit; return true;
    default: return false;
    }
}

// Everything one load holds, released together on every path, and the cause
// of its failure.
struct TgaLoad {
    InputStream input{};
    uint32_t *p_color_map = nullptr;
    Image *p_image = nullptr;
    LoadFailure failure = LoadFailure::kNone;
};

bool Fail(TgaLoad &load, LoadFailure cause)
{
    load.failure = cause;
    return false;
}

// A row or colour-map reader stopped: the file ended (or could not be read)
// before its data did, or a run-length packet reached past its row.
bool FailReading(TgaLoad &load)
{
    return Fail(load, load.input.b_ended ? LoadFailure::kTruncated : LoadFailure::kCorruptData);
}

void ReleaseLoad(TgaLoad &load)
{
    std::free(load.p_color_map);
    FreeImage(load.p_image);
    CloseInputStream(load.input);
}

// Bytes the stream reads from the system at a time: the rows of a large
// picture then take a few hundred reads instead of thousands of the stream's
// usual 4 KiB.
constexpr size_t kReadBufferBytes = 65536;

// Builds the colour map that index pixels are looked up in: read from the
// file for colour-mapped images, a gray ramp for gray images. Skips a true-
// colour image's unused colour map. Leaves the file at the first pixel row.
bool ReadColorMap(TgaLoad &load, const TgaHeader &header, TgaColorMap &color_map)
{
    const uint8_t n_class = header.n_image_type & 7;
    color_map.p_entries = nullptr;
    color_map.n_entry_count = n_class == kGray ? 256 : header.n_map_length;
    color_map.n_index_offset = -int32_t(header.n_first_entry);

    if(n_class == kTrueColor) {
        color_map.n_entry_count = 0;
        return SkipInputBytes(load.input, uint32_t(header.n_map_length) * ((header.n_map_entry_bits + 7u) / 8u)) ||
               Fail(load, LoadFailure::kTruncated);
    }
    if(color_map.n_entry_count == 0)
        return true;

    TgaPixelKind entry_kind = TgaPixelKind::k32Bit;
    if(n_class == kColorMapped && !ChooseColorKind(header.n_map_entry_bits, entry_kind))
        return Fail(load, LoadFailure::kUnsupportedTgaDepth);
    load.p_color_map = static_cast<uint32_t *>(std::malloc(size_t(color_map.n_entry_count) * sizeof(uint32_t)));
    if(!load.p_color_map)
        return Fail(load, LoadFailure::kOutOfMemory);
    color_map.p_entries = load.p_color_map;

    if(n_class == kGray) {
        for(uint32_t i = 0; i < 256; ++i)
            load.p_color_map[i] = 0xFF000000u + i * 0x010101u;
        return true;
    }
    return ReadRawPixels(load.p_color_map, color_map.n_entry_count, load.input, entry_kind, TgaColorMap{}) ||
           FailReading(load);
}

// A file cannot hold fewer bytes than its pixel data needs: uncompressed rows
// take width x bytes-per-pixel each, and every run-length row at least one
// packet of a header byte and one pixel per 128 pixels. Refusing a file that
// is shorter than that before allocating keeps memory and work bounded by the
// file's real size, not by the size it declares.
bool b_FileCanHoldPixels(const InputStream &input, const TgaHeader &header, TgaPixelKind kind)
{
    const uint64_t n_pixel_bytes = uint64_t(n_TgaBytesPerPixel(kind));
    const uint64_t n_row_bytes = (header.n_image_type & 8) ? (header.n_width + 127u) / 128u * (1 + n_pixel_bytes)
                                                           : header.n_width * n_pixel_bytes;
    return n_InputBytesLeft(input) >= header.n_height * n_row_bytes;
}

// Rows between hand-overs to a RowSink: often enough for the header to be
// written while the rest is read, seldom enough to cost nothing.
constexpr int32_t kRowsPerHandOver = 16;

// Reads every row into the image, top row first in memory whatever the
// file's order. A file stored top row first hands its rows over as they are
// read; one stored bottom row first completes its top row last.
bool ReadRows(TgaLoad &load, const TgaHeader &header, TgaPixelKind kind, const TgaColorMap &color_map,
              const RowSink *p_sink)
{
    Image &image = *load.p_image;
    const bool b_compressed = (header.n_image_type & 8) != 0;
    const bool b_top_first = (header.n_descriptor & 0x20) != 0;

    for(int32_t n_file_row = 0; n_file_row < image.n_height; ++n_file_row) {
        const int32_t n_row = b_top_first ? n_file_row : image.n_height - 1 - n_file_row;
        uint32_t *p_row = image.p_buffer + size_t(n_row) * size_t(image.n_width);
        const bool b_ok = b_compressed ? ReadRlePixels(p_row, image.n_width, load.input, kind, color_map)
                                       : ReadRawPixels(p_row, image.n_width, load.input, kind, color_map);
        if(!b_ok) {
            if(b_top_first) // the rows handed over go with the picture
                WithdrawRows(p_sink);
            return FailReading(load);
        }
        if(b_top_first && ((n_file_row + 1) % kRowsPerHandOver == 0 || n_file_row + 1 == image.n_height))
            HandOverRows(p_sink, image, n_file_row + 1);
    }
    return true;
}

bool LoadInto(TgaLoad &load, const ImageInput &input)
{
    if(!OpenInputStream(input, load.input, kReadBufferBytes))
        return Fail(load, LoadFailure::kCannotOpen);

    uint8_t header_bytes[kTgaHeaderSize];
    if(n_ReadInput(load.input, header_bytes, kTgaHeaderSize) != kTgaHeaderSize)
        return Fail(load, LoadFailure::kTruncated);
    const TgaHeader header = ParseTgaHeader(header_bytes);
    const uint8_t n_class = header.n_image_type & 7;
    if(n_class != kColorMapped && n_class != kTrueColor && n_class != kGray)
        return Fail(load, LoadFailure::kUnsupportedTgaClass);
    // A picture without pixels would make an array of no items, which no C
    // or C++ compiler accepts.
    if(header.n_width == 0 || header.n_height == 0)
        return Fail(load, LoadFailure::kEmptyImage);
    if(!SkipInputBytes(load.input, header.n_id_length))
        return Fail(load, LoadFailure::kTruncated);

    TgaColorMap color_map;
    if(!ReadColorMap(load, header, color_map))
        return false;

    // The pixel depth is checked before the allocation so that a bad depth
    // never costs one.
    TgaPixelKind kind = TgaPixelKind::kIndex;
    if(n_class == kTrueColor && !ChooseColorKind(header.n_pixel_bits, kind))
        return Fail(load, LoadFailure::kUnsupportedTgaDepth);
    if(!b_IsAllowedImageSize(header.n_width, header.n_height))
        return Fail(load, LoadFailure::kTooLarge);
    if(!b_FileCanHoldPixels(load.input, header, kind))
        return Fail(load, LoadFailure::kTruncated);
    load.p_image = AllocateImage(header.n_width, header.n_height);
    if(!load.p_image)
        return Fail(load, LoadFailure::kOutOfMemory);
    Image &image = *load.p_image;
    image.n_bpp = n_class == kGray ? 8 : n_class == kTrueColor ? header.n_pixel_bits : header.n_map_entry_bits;
    image.b_grayscale = n_class == kGray;
    image.b_alpha = image.n_bpp == 32;

    return ReadRows(load, header, kind, color_map, input.p_row_sink);
}

} // namespace

Image *LoadTgaImage(const ImageInput &input, LoadFailure *p_failure)
{
    TgaLoad load;
    const bool b_loaded = LoadInto(load, input);
    Image *p_image = b_loaded ? load.p_image : nullptr;
    if(b_loaded)
        load.p_image = nullptr;
    ReleaseLoad(load);
    *p_failure = load.failure;
    return p_image;
}

} // namespace tarnwick
