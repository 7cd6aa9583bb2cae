// The four TGA pixel kinds and the two row readers.
//
// A row reader decodes `count` file pixels of one kind into Image pixels
// (0xAARRGGBB). File pixels are little-endian: 16-bit x1R5G5B5, 24-bit B G R,
// 32-bit B G R A, or a one-byte index into a colour map. Uncompressed data is
// read in blocks of up to 256 pixels; run-length data packet by packet. A
// packet header byte with bit 7 set is a repetition of (header & 0x7F) + 1
// copies of one file pixel; with bit 7 clear it is followed by header + 1 file
// pixels. Neither reader allocates: each stages file bytes in a 1 KiB buffer
// that lives for the call.
#include "tga_reader.h"

#include "platform.h"

namespace tarnwick {
namespace {

// Largest number of file pixels staged at once, and the staging size in bytes
// (256 pixels of the widest kind).
constexpr int32_t kStagedPixels = 256;
constexpr size_t kStagingBytes = kStagedPixels * 4;

} // namespace

int32_t n_TgaBytesPerPixel(TgaPixelKind kind)
{
    switch(kind) {
    case TgaPixelKind::k16Bit: return 2;
    case TgaPixelKind::k24Bit: return 3;
    case TgaPixelKind::k32Bit: return 4;
    case TgaPixelKind::kIndex: return 1;
    }
    return 1;
}

namespace {

uint32_t LookUpIndex(uint8_t n_byte, const TgaColorMap &color_map)
{
    const int32_t n_index = int32_t(n_byte) + color_map.n_index_offset;
    if(n_index < 0 || n_index >= color_map.n_entry_count)
        return 0x00000000u;
    return color_map.p_entries[n_index];
}

// Converts n_count file pixels at p_src into Image pixels at p_dest.
void ConvertPixels(uint32_t *p_dest, const uint8_t *p_src, int32_t n_count, TgaPixelKind kind,
                   const TgaColorMap &color_map)
{
    switch(kind) {
    case TgaPixelKind::k16Bit:
        for(int32_t i = 0; i < n_count; ++i, p_src += 2)
            p_dest[i] = Expand16BitPixel(uint16_t(p_src[0] | (p_src[1] << 8)));
        break;
    case TgaPixelKind::k24Bit: {
        // Four pixels from three little-endian words: B0 G0 R0 B1 | G1 R1 B2
        // G2 | R2 B3 G3 R3.
        int32_t i = 0;
        for(; i + 4 <= n_count; i += 4, p_src += 12) {
            const uint32_t n_first = n_LoadLittleEndian32(p_src), n_second = n_LoadLittleEndian32(p_src + 4), n_third = n_LoadLittleEndian32(p_src + 8);
            p_dest[i] = 0xFF000000u | n_first;
            p_dest[i + 1] = 0xFF000000u | n_first >> 24 | n_second << 8;
            p_dest[i + 2] = 0xFF000000u | n_second >> 16 | n_third << 16;
            p_dest[i + 3] = 0xFF000000u | n_third >> 8;
        }
        for(; i < n_count; ++i, p_src += 3)
            p_dest[i] = 0xFF000000u | (uint32_t(p_src[2]) << 16) | (uint32_t(p_src[1]) << 8) | p_src[0];
        break;
    }
    case TgaPixelKind::k32Bit:
        // B G R A is 0xAARRGGBB read little-endian.
        for(int32_t i = 0; i < n_count; ++i, p_src += 4)
            p_dest[i] = n_LoadLittleEndian32(p_src);
        break;
    case TgaPixelKind::kIndex:
        for(int32_t i = 0; i < n_count; ++i)
            p_dest[i] = LookUpIndex(p_src[i], color_map);
        break;
    }
}

// Reads n_count whole file pixels into the staging buffer.
bool ReadFilePixels(uint8_t *p_staging, int32_t n_count, int32_t n_pixel_bytes, InputStream &input)
{
    const size_t n_bytes = size_t(n_pixel_bytes) * size_t(n_count);
    return n_ReadInput(input, p_staging, n_bytes) == n_bytes;
}

} // namespace

uint32_t Expand16BitPixel(uint16_t n_value)
{
    const uint32_t n_red = ((n_value >> 10) & 31u) * 255u / 31u;
    const uint32_t n_green = ((n_value >> 5) & 31u) * 255u / 31u;
    const uint32_t n_blue = (n_value & 31u) * 255u / 31u;
    return 0xFF000000u | (n_red << 16) | (n_green << 8) | n_blue;
}

bool ReadRawPixels(uint32_t *p_dest, int32_t n_count, InputStream &input, TgaPixelKind kind,
                   const TgaColorMap &color_map)
{
    uint8_t staging[kStagingBytes];
    const int32_t n_pixel_bytes = n_TgaBytesPerPixel(kind);
    for(int32_t n_done = 0; n_done < n_count;) {
        const int32_t n_block = n_count - n_done < kStagedPixels ? n_count - n_done : kStagedPixels;
        if(!ReadFilePixels(staging, n_block, n_pixel_bytes, input))
            return false;
        ConvertPixels(p_dest + n_done, staging, n_block, kind, color_map);
        n_done += n_block;
    }
    return true;
}

bool ReadRlePixels(uint32_t *p_dest, int32_t n_count, InputStream &input, TgaPixelKind kind,
                   const TgaColorMap &color_map)
{
    uint8_t staging[kStagingBytes];
    const int32_t n_pixel_bytes = n_TgaBytesPerPixel(kind);
    for(int32_t n_done = 0; n_done < n_count;) {
        uint8_t n_header;
        if(n_ReadInput(input, &n_header, 1) != 1)
            return false;
        const bool b_repeat = (n_header & 0x80) != 0;
        const int32_t n_run = (n_header & 0x7F) + 1;
        // A packet never carries over into the next row.
        if(n_run > n_count - n_done)
            return false;
        if(b_repeat) {
            uint32_t n_pixel = 0;
            if(!ReadFilePixels(staging, 1, n_pixel_bytes, input))
                return false;
            ConvertPixels(&n_pixel, staging, 1, kind, color_map);
            for(int32_t i = 0; i < n_run; ++i)
                p_dest[n_done + i] = n_pixel;
        } else {
            if(!ReadFilePixels(staging, n_run, n_pixel_bytes, input))
                return false;
            ConvertPixels(p_dest + n_done, staging, n_run, kind, color_map);
        }
        n_done += n_run;
    }
    return true;
}

} // namespace tarnwick
