// Uncompressed BMP rows (BI_RGB, BI_BITFIELDS, BI_ALPHABITFIELDS) and the
// colour channels of bit-field pixels.
//
// Each file row is read whole into one buffer and converted into one Image
// row (0xAARRGGBB): palette indices packed from the highest bits of each
// byte, B G R bytes, B G R and a fourth byte, or little-endian 16-, 24- or
// 32-bit values split by the colour masks. Rows come bottom row first unless
// the picture is top-down; each is padded to a multiple of 4 bytes, and the
// file's last row may go without its padding.
#include "bmp_decoder.h"

#include "platform.h"

namespace tarnwick {
namespace {

// The channel's value of a pixel, 0..255.
inline uint32_t n_ChannelValue(const BmpChannel &channel, uint32_t n_pixel)
{
    const uint32_t n_value = (n_pixel & channel.n_mask) >> channel.n_shift;
    if(channel.n_bits <= 8)
        return channel.a_scaled[n_value];
    const uint64_t n_max = (uint64_t(1) << channel.n_bits) - 1;
    return uint32_t((uint64_t(n_value) * 255 + n_max / 2) / n_max);
}

void ConvertIndexRow(const BmpDecoder &decoder, const uint8_t *p_src, uint32_t *p_dest)
{
    const int32_t n_width = decoder.n_width;
    const uint32_t *p_palette = decoder.a_palette;
    switch(decoder.n_bits) {
    case 8:
        for(int32_t x = 0; x < n_width; ++x)
            p_dest[x] = p_palette[p_src[x]];
        break;
    default: {
        // 1, 2 or 4 bits: the leftmost pixel in the highest bits.
        const unsigned n_bits = decoder.n_bits;
        const unsigned n_per_byte = 8 / n_bits;
        const unsigned n_index_mask = (1u << n_bits) - 1;
        for(int32_t x = 0; x < n_width; ++x) {
            const unsigned n_shift = 8 - n_bits * (unsigned(x) % n_per_byte + 1);
            p_dest[x] = p_palette[(p_src[unsigned(x) / n_per_byte] >> n_shift) & n_index_mask];
        }
        break;
    }
    }
}

void Convert24BitRow(const uint8_t *p_src, uint32_t *p_dest, int32_t n_width)
{
    for(int32_t x = 0; x < n_width; ++x, p_src += 3)
        p_dest[x] = 0xFF000000u | uint32_t(p_src[2]) << 16 | uint32_t(p_src[1]) << 8 | p_src[0];
}

// B G R and the fourth byte as alpha (B G R A is 0xAARRGGBB read
// little-endian); the fourth bytes are gathered for the alpha rule.
void Convert32BitRow(BmpDecoder &decoder, const uint8_t *p_src, uint32_t *p_dest)
{
    uint32_t n_alpha_seen = 0;
    for(int32_t x = 0; x < decoder.n_width; ++x, p_src += 4) {
        p_dest[x] = n_LoadLittleEndian32(p_src);
        n_alpha_seen |= p_dest[x];
    }
    decoder.n_alpha_seen |= n_alpha_seen >> 24;
}

void ConvertBitFieldRow(const BmpDecoder &decoder, const uint8_t *p_src, uint32_t *p_dest)
{
    const unsigned n_bytes = decoder.n_bits / 8u;
    const BmpChannel &red = decoder.a_channels[0], &green = decoder.a_channels[1], &blue = decoder.a_channels[2],
                     &alpha = decoder.a_channels[3];
    for(int32_t x = 0; x < decoder.n_width; ++x, p_src += n_bytes) {
        uint32_t n_pixel = 0;
        for(unsigned i = 0; i < n_bytes; ++i)
            n_pixel |= uint32_t(p_src[i]) << (8 * i);
        const uint32_t n_alpha = decoder.b_alpha_mask ? n_ChannelValue(alpha, n_pixel) : 0xFFu;
        p_dest[x] = n_alpha << 24 | n_ChannelValue(red, n_pixel) << 16 | n_ChannelValue(green, n_pixel) << 8 |
                    n_ChannelValue(blue, n_pixel);
    }
}

} // namespace

void SetUpBmpChannels(BmpDecoder &decoder, const uint32_t a_masks[4])
{
    for(int i = 0; i < 4; ++i) {
        BmpChannel &channel = decoder.a_channels[i];
        channel.n_mask = a_masks[i];
        channel.n_shift = uint8_t(a_masks[i] ? n_CountTrailingZeros32(a_masks[i]) : 0);
        channel.n_bits = 0;
        for(uint32_t n_run = a_masks[i] >> channel.n_shift; n_run & 1u; n_run >>= 1)
            ++channel.n_bits;
        // v * 255 / max rounded to nearest, in whole numbers; a zero mask
        // leaves the table's single value 0.
        const uint32_t n_max = channel.n_bits <= 8 ? (1u << channel.n_bits) - 1 : 0;
        channel.a_scaled[0] = 0;
        for(uint32_t v = 1; v <= n_max; ++v)
            channel.a_scaled[v] = uint8_t((v * 255 + n_max / 2) / n_max);
    }
    decoder.b_alpha_mask = decoder.row_kind == BmpRowKind::kBitFields && a_masks[3] != 0;
}

bool ReadBmpRows(BmpDecoder &decoder)
{
    Image &image = *decoder.p_image;
    const uint64_t n_row_bytes = n_BmpRowBytes(decoder);
    for(int32_t n_file_row = 0; n_file_row < image.n_height; ++n_file_row) {
        // The last row's padding may be missing.
        const size_t n_bytes = size_t(n_file_row + 1 < image.n_height ? n_row_bytes : n_BmpRowDataBytes(decoder));
        if(n_ReadInput(decoder.input, decoder.p_row, n_bytes) != n_bytes)
            return FailBmp(decoder, LoadFailure::kTruncated);
        const int32_t n_row = decoder.b_top_down ? n_file_row : image.n_height - 1 - n_file_row;
        uint32_t *p_dest = image.p_buffer + size_t(n_row) * size_t(image.n_width);
        switch(decoder.row_kind) {
        case BmpRowKind::kIndex: ConvertIndexRow(decoder, decoder.p_row, p_dest); break;
        case BmpRowKind::k24Bit: Convert24BitRow(decoder.p_row, p_dest, image.n_width); break;
        case BmpRowKind::k32Bit: Convert32BitRow(decoder, decoder.p_row, p_dest); break;
        case BmpRowKind::kBitFields: ConvertBitFieldRow(decoder, decoder.p_row, p_dest); break;
        }
    }
    // 32-bit BI_RGB: the fourth bytes are alpha only when one of them is
    // not 0; otherwise the picture is opaque.
    if(decoder.row_kind == BmpRowKind::k32Bit) {
        image.b_alpha = decoder.n_alpha_seen != 0;
        if(!image.b_alpha)
            for(uint64_t i = 0; i < n_PixelCount(image); ++i)
                image.p_buffer[i] |= 0xFF000000u;
    }
    return true;
}

} // namespace tarnwick
