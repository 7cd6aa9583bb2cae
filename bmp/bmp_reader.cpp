// BMP files (Windows and OS/2 bitmaps, also named .dib): a file header, an
// info header, colour masks or a palette, then the pixel rows at the offset
// the file header gives. Every field is little-endian.
//
// File header, 14 bytes:
//   offset  size  field
//        0     2  signature "BM"
//        2     4  file size (not consulted)
//        6     4  reserved
//       10     4  offset of the pixel rows from the file's first byte
//
// Info header, from offset 14. Its first 4 bytes give its size, which names
// its version:
//    12  OS/2 1.x core header: width and height (unsigned 16-bit), planes
//        (16-bit, 1) and bits per pixel (16-bit); never compressed; palette
//        entries of 3 bytes, B G R.
//    40  Windows 3 info header:
//          4  width, signed 32-bit, above 0
//          8  height, signed 32-bit; negative: the rows run top to bottom
//         12  planes, 16-bit, 1
//         14  bits per pixel, 16-bit: 1, 2, 4 or 8 (palette), 16, 24, 32
//         16  compression: 0 BI_RGB (none), 1 BI_RLE8, 2 BI_RLE4,
//             3 BI_BITFIELDS, 4 BI_JPEG, 5 BI_PNG, 6 BI_ALPHABITFIELDS,
//             11 to 13 the CMYK kinds
//         20  bytes of pixel data (not consulted)
//         24  horizontal and vertical resolution (not consulted)
//         32  colours used: the palette's entries (0: 2^bits)
//         36  important colours (not consulted)
//        BI_BITFIELDS puts three 4-byte masks (red, green, blue) after this
//        header, BI_ALPHABITFIELDS four (and alpha).
//    52  V2: those 40 bytes, then the red, green and blue masks
//    56  V3: and the alpha mask
//   108  V4: and the colour space, its end points and gammas (not consulted)
//   124  V5: and the rendering intent and an ICC profile's place (not
//        consulted: as for every format, the stored values are the pixels)
// Other sizes (16 to 64: OS/2 2.x) are refused. Palette entries of 4 bytes,
// B G R and one unused byte, follow the header and its masks.
//
// Pixel rows, bottom row first unless the height is negative; uncompressed
// rows are padded to a multiple of 4 bytes:
//   1, 2, 4 bits  palette indices, the leftmost pixel in the highest bits
//   8 bits        one palette index a byte
//   16 bits       a 16-bit word, x R5 G5 B5 from the highest bit, unless
//                 colour masks say otherwise
//   24 bits       B G R
//   32 bits       B G R and a fourth byte, unless colour masks say otherwise
// Colour masks (BI_BITFIELDS, BI_ALPHABITFIELDS; 16, 24 or 32 bits a pixel)
// pick each channel's bits out of the pixel's little-endian value; each
// mask must be one run of bits, within the pixel, sharing no bit with
// another, and its value is scaled to 0..255 by rounding v * 255 / max.
// BI_RLE8 (8 bits) and BI_RLE4 (4 bits) are described in bmp_rle.cpp.
//
// Alpha: a bit-field picture has alpha when its masks give an alpha mask (a
// V3, V4 or V5 header's, or the fourth of BI_ALPHABITFIELDS). A 32-bit BI_RGB
// picture takes the fourth byte as alpha when any pixel's is not 0, as web
// browsers do; when all are 0 (as most writers leave them) it is opaque.
// Pixels a run-length stream leaves out are transparent black. Everything
// else is opaque, palette entries included.
//
// Every palette index finds an entry: indices beyond the palette the file
// gives are opaque black. The palette is read only up to the pixel rows'
// offset (some files declare more entries than they hold).
#include "bmp_reader.h"

#include <cstdlib>

#include "bmp_decoder.h"
#include "platform.h"

namespace tarnwick {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
// The largest info header (V5); its bytes are read whole.
constexpr uint32_t kLargestHeaderBytes = 124;

// Bytes the stream reads from the system at a time, as the TGA reader does.
constexpr size_t kReadBufferBytes = 65536;

uint16_t n_Le16(const uint8_t *p_bytes)
{
    return uint16_t(p_bytes[0] | (p_bytes[1] << 8));
}

bool b_IsKnownHeaderSize(uint32_t n_size)
{
    return n_size == kCoreHeaderBytes || n_size == kInfoHeaderBytes || n_size == 52 || n_size == 56 ||
           n_size == 108 || n_size == kLargestHeaderBytes;
}

// The cause for a compression other than those read, or kNone.
LoadFailure RefusedCompression(uint32_t n_compression)
{
    switch(n_compression) {
    case kBmpRgb:
    case kBmpRle8:
    case kBmpRle4:
    case kBmpBitFields:
    case kBmpAlphaBitFields: return LoadFailure::kNone;
    case kBmpJpeg:
    case kBmpPng: return LoadFailure::kEmbeddedBmp;
    case kBmpCmyk:
    case kBmpCmykRle8:
    case kBmpCmykRle4: return LoadFailure::kCmykBmp;
    default: return LoadFailure::kUnsupportedBmpCompression;
    }
}

// The depth each compression allows: run-length kinds one each, masks
// 16, 24 or 32 bits.
bool b_DepthFitsCompression(uint16_t n_bits, uint32_t n_compression)
{
    switch(n_compression) {
    case kBmpRle8: return n_bits == 8;
    case kBmpRle4: return n_bits == 4;
    case kBmpBitFields:
    case kBmpAlphaBitFields: return n_bits == 16 || n_bits == 24 || n_bits == 32;
    default: return true;
    }
}

// Reads the info header after its size field and checks what it declares.
bool ReadInfoHeader(BmpDecoder &decoder, uint32_t a_masks[4])
{
    uint8_t header[kLargestHeaderBytes];
    const size_t n_rest = decoder.n_header_bytes - 4;
    if(n_ReadInput(decoder.input, header + 4, n_rest) != n_rest)
        return FailBmp(decoder, LoadFailure::kTruncated);
    uint16_t n_planes;
    int64_t n_height;
    if(decoder.n_header_bytes == kCoreHeaderBytes) {
        decoder.n_width = n_Le16(header + 4);
        n_height = n_Le16(header + 6);
        n_planes = n_Le16(header + 8);
        decoder.n_bits = n_Le16(header + 10);
    } else {
        decoder.n_width = int32_t(n_LoadLittleEndian32(header + 4));
        n_height = int32_t(n_LoadLittleEndian32(header + 8));
        n_planes = n_Le16(header + 12);
        decoder.n_bits = n_Le16(header + 14);
        decoder.n_compression = n_LoadLittleEndian32(header + 16);
        decoder.n_colors_used = n_LoadLittleEndian32(header + 32);
        for(int i = 0; i < 4 && 40 + 4 * uint32_t(i) < decoder.n_header_bytes; ++i)
            a_masks[i] = n_LoadLittleEndian32(header + 40 + 4 * i);
    }
    decoder.b_top_down = n_height < 0;
    // -2^31 rows has no positive count; it is far past the Image's limit.
    if(n_height < -int64_t(INT32_MAX))
        return FailBmp(decoder, LoadFailure::kTooLarge);
    decoder.n_height = int32_t(n_height < 0 ? -n_height : n_height);

    const LoadFailure refused = RefusedCompression(decoder.n_compression);
    if(refused != LoadFailure::kNone)
        return FailBmp(decoder, refused);
    const uint16_t n_bits = decoder.n_bits;
    if(n_bits != 1 && n_bits != 2 && n_bits != 4 && n_bits != 8 && n_bits != 16 && n_bits != 24 && n_bits != 32)
        return FailBmp(decoder, LoadFailure::kUnsupportedBmpDepth);
    if(n_planes != 1 || !b_DepthFitsCompression(n_bits, decoder.n_compression) || decoder.n_width < 0)
        return FailBmp(decoder, LoadFailure::kCorruptData);
    // A picture without pixels would make an array of no items, which no C
    // or C++ compiler accepts.
    if(decoder.n_width == 0 || decoder.n_height == 0)
        return FailBmp(decoder, LoadFailure::kEmptyImage);
    return true;
}

// Masks: 16-bit BI_RGB is x R5 G5 B5; bit fields read theirs from after a
// Windows 3 header (three, or four for BI_ALPHABITFIELDS) or from a V2+
// header (whose alpha mask, V3+, is used). Each must be one run of bits
// within the pixel and share no bit with another.
bool ChooseMasks(BmpDecoder &decoder, uint32_t a_masks[4])
{
    const bool b_alpha_fields = decoder.n_compression == kBmpAlphaBitFields;
    if(decoder.n_compression != kBmpBitFields && !b_alpha_fields) {
        const uint32_t a_555[4] = {0x7C00, 0x03E0, 0x001F, 0};
        for(int i = 0; i < 4; ++i)
            a_masks[i] = a_555[i];
        return true;
    }
    if(decoder.n_header_bytes == kInfoHeaderBytes) {
        uint8_t fields[16];
        const size_t n_bytes = b_alpha_fields ? 16 : 12;
        if(n_ReadInput(decoder.input, fields, n_bytes) != n_bytes)
            return FailBmp(decoder, LoadFailure::kTruncated);
        for(size_t i = 0; i < 4; ++i)
            a_masks[i] = i < n_bytes / 4 ? n_LoadLittleEndian32(fields + 4 * i) : 0;
    }
    const uint64_t n_pixel_values = uint64_t(1) << decoder.n_bits;
    uint32_t n_taken = 0;
    for(int i = 0; i < 4; ++i) {
        const uint32_t n_mask = a_masks[i];
        const uint64_t n_run = n_mask ? uint64_t(n_mask >> n_CountTrailingZeros32(n_mask)) : 0;
        if((n_run & (n_run + 1)) != 0 || n_mask >= n_pixel_values || (n_mask & n_taken) != 0)
            return FailBmp(decoder, LoadFailure::kBmpMasks);
        n_taken |= n_mask;
    }
    return true;
}

// The palette of 1- to 8-bit pictures: the declared entries (2^bits when
// the header says 0, never more than 2^bits), as many of them as lie before
// the pixel rows; every other entry is opaque black.
bool ReadPalette(BmpDecoder &decoder)
{
    for(uint32_t &entry : decoder.a_palette)
        entry = 0xFF000000u;
    if(decoder.n_bits > 8)
        return true;
    const uint32_t n_entry_bytes = decoder.n_header_bytes == kCoreHeaderBytes ? 3 : 4;
    const uint32_t n_possible = uint32_t(1) << decoder.n_bits;
    uint64_t n_entries = decoder.n_colors_used && decoder.n_colors_used < n_possible ? decoder.n_colors_used : n_possible;
    const uint64_t n_position = decoder.input.n_position;
    const uint64_t n_room = decoder.n_data_offset > n_position ? (decoder.n_data_offset - n_position) / n_entry_bytes : 0;
    if(n_entries > n_room)
        n_entries = n_room;

    uint8_t entries[kBmpPaletteEntries * 4];
    const size_t n_bytes = size_t(n_entries * n_entry_bytes);
    if(n_ReadInput(decoder.input, entries, n_bytes) != n_bytes)
        return FailBmp(decoder, LoadFailure::kTruncated);
    for(size_t i = 0; i < n_entries; ++i) {
        const uint8_t *p_entry = entries + i * n_entry_bytes;
        decoder.a_palette[i] = 0xFF000000u | uint32_t(p_entry[2]) << 16 | uint32_t(p_entry[1]) << 8 | p_entry[0];
    }
    return true;
}

// What the pixel data, n_bytes from the rows' offset to the file's end, can
// hold, checked before anything is allocated so that memory and work stay
// bounded by the file's real size rather than the size it declares:
// - the Image's own limit (fewer than 2^30 pixels) comes first, and keeps
//   the products below within 64 bits;
// - uncompressed rows take their padded bytes each, the last one without
//   its padding;
// - a run-length stream gives at most 255 pixels per two bytes (a run is a
//   count and an index). Deltas, ends of line and the end of the picture
//   skip pixels for fewer bytes, but a picture left mostly unwritten by them
//   is not one a writer makes: more pixels than that are refused.
LoadFailure SizeRefusal(const BmpDecoder &decoder, uint64_t n_bytes)
{
    if(!b_IsAllowedImageSize(decoder.n_width, decoder.n_height))
        return LoadFailure::kTooLarge;
    if(decoder.n_compression == kBmpRle8 || decoder.n_compression == kBmpRle4) {
        const uint64_t n_pixels = uint64_t(decoder.n_width) * uint64_t(decoder.n_height);
        return n_pixels <= n_bytes / 2 * 255 ? LoadFailure::kNone : LoadFailure::kTooLarge;
    }
    const uint64_t n_rows_bytes = uint64_t(decoder.n_height - 1) * n_BmpRowBytes(decoder) + n_BmpRowDataBytes(decoder);
    return n_rows_bytes <= n_bytes ? LoadFailure::kNone : LoadFailure::kTruncated;
}

BmpRowKind ChooseRowKind(const BmpDecoder &decoder)
{
    if(decoder.n_bits <= 8)
        return BmpRowKind::kIndex;
    if(decoder.n_compression == kBmpRgb && decoder.n_bits == 24)
        return BmpRowKind::k24Bit;
    if(decoder.n_compression == kBmpRgb && decoder.n_bits == 32)
        return BmpRowKind::k32Bit;
    return BmpRowKind::kBitFields;
}

bool LoadInto(BmpDecoder &decoder, const ImageInput &input)
{
    if(!OpenInputStream(input, decoder.input, kReadBufferBytes))
        return FailBmp(decoder, LoadFailure::kCannotOpen);

    uint8_t file_header[kFileHeaderBytes + 4];
    const size_t n_read = n_ReadInput(decoder.input, file_header, sizeof(file_header));
    if(n_read < 2 || file_header[0] != 'B' || file_header[1] != 'M')
        return FailBmp(decoder, LoadFailure::kNotBmp);
    if(n_read < sizeof(file_header))
        return FailBmp(decoder, LoadFailure::kTruncated);
    decoder.n_data_offset = n_LoadLittleEndian32(file_header + 10);
    decoder.n_header_bytes = n_LoadLittleEndian32(file_header + kFileHeaderBytes);
    if(!b_IsKnownHeaderSize(decoder.n_header_bytes))
        return FailBmp(decoder, LoadFailure::kUnsupportedBmpHeader);

    uint32_t a_masks[4] = {0, 0, 0, 0};
    if(!ReadInfoHeader(decoder, a_masks) || !ChooseMasks(decoder, a_masks))
        return false;
    decoder.row_kind = ChooseRowKind(decoder);
    SetUpBmpChannels(decoder, a_masks);
    if(!ReadPalette(decoder))
        return false;

    // The pixel rows start at the offset, never inside what was read.
    if(decoder.n_data_offset < decoder.input.n_position)
        return FailBmp(decoder, LoadFailure::kCorruptData);
    if(!SkipInputBytes(decoder.input, decoder.n_data_offset - decoder.input.n_position))
        return FailBmp(decoder, LoadFailure::kTruncated);
    const LoadFailure refused = SizeRefusal(decoder, n_InputBytesLeft(decoder.input));
    if(refused != LoadFailure::kNone)
        return FailBmp(decoder, refused);

    decoder.p_image = AllocateImage(decoder.n_width, decoder.n_height);
    if(!decoder.p_image)
        return FailBmp(decoder, LoadFailure::kOutOfMemory);
    decoder.p_image->n_bpp = uint8_t(decoder.n_bits);
    decoder.p_image->b_alpha = decoder.b_alpha_mask;
    if(decoder.n_compression == kBmpRle8 || decoder.n_compression == kBmpRle4)
        return ReadBmpRleStream(decoder);
    // The row is no larger than the data checked above, plus its padding.
    decoder.p_row = static_cast<uint8_t *>(std::malloc(size_t(n_BmpRowBytes(decoder))));
    if(!decoder.p_row)
        return FailBmp(decoder, LoadFailure::kOutOfMemory);
    return ReadBmpRows(decoder);
}

} // namespace

bool FailBmp(BmpDecoder &decoder, LoadFailure cause)
{
    decoder.failure = cause;
    return false;
}

uint64_t n_BmpRowBytes(const BmpDecoder &decoder)
{
    return (uint64_t(decoder.n_width) * decoder.n_bits + 31) / 32 * 4;
}

uint64_t n_BmpRowDataBytes(const BmpDecoder &decoder)
{
    return (uint64_t(decoder.n_width) * decoder.n_bits + 7) / 8;
}

Image *LoadBmpImage(const ImageInput &input, LoadFailure *p_failure)
{
    BmpDecoder decoder;
    const bool b_loaded = LoadInto(decoder, input);
    Image *p_image = b_loaded ? decoder.p_image : nullptr;
    if(!b_loaded)
        FreeImage(decoder.p_image);
    std::free(decoder.p_row);
    CloseInputStream(decoder.input);
    *p_failure = decoder.failure;
    return p_image;
}

} // namespace tarnwick
