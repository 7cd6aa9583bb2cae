#include "output_format.h"

#include <cstddef>

namespace tarnwick {
namespace {

// c * a / 255 rounded to nearest. No product c * a lies halfway between two
// multiples of 255 (255 is odd), so adding 127 before the division rounds.
uint32_t n_ScaledChannel(uint32_t n_channel, uint32_t n_alpha)
{
    return (n_channel * n_alpha + 127) / 255;
}

// The pixel over black: each channel scaled by the alpha, alpha 0xFF.
uint32_t n_CompositedOverBlack(uint32_t n_pixel)
{
    const uint32_t n_alpha = n_pixel >> 24;
    return 0xFF000000u | n_ScaledChannel((n_pixel >> 16) & 0xFF, n_alpha) << 16 |
           n_ScaledChannel((n_pixel >> 8) & 0xFF, n_alpha) << 8 | n_ScaledChannel(n_pixel & 0xFF, n_alpha);
}

uint32_t n_Rgb565(uint32_t n_pixel)
{
    const uint32_t n_red = (n_pixel >> 16) & 0xFF, n_green = (n_pixel >> 8) & 0xFF, n_blue = n_pixel & 0xFF;
    return (n_red >> 3) << 11 | (n_green >> 2) << 5 | n_blue >> 3;
}

uint32_t n_SwappedBytes16(uint32_t n_value)
{
    return (n_value & 0xFF) << 8 | n_value >> 8;
}

void ConvertToRgb565(Image &image, bool b_swapped)
{
    const uint64_t n_pixels = n_PixelCount(image);
    uint32_t *p_pixel = image.p_buffer;
    if(b_swapped) {
        for(uint64_t i = 0; i < n_pixels; ++i)
            p_pixel[i] = n_SwappedBytes16(n_Rgb565(n_CompositedOverBlack(p_pixel[i])));
    } else {
        for(uint64_t i = 0; i < n_pixels; ++i)
            p_pixel[i] = n_Rgb565(n_CompositedOverBlack(p_pixel[i]));
    }
}

// Each pixel becomes the gray value of the pixel over black.
void ReduceToCompositedGray(Image &image)
{
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i)
        image.p_buffer[i] = n_GrayValue(n_CompositedOverBlack(image.p_buffer[i]));
}

// Each gray value becomes its bit: 1 when at least 128, else 0.
void Threshold(Image &image)
{
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i)
        image.p_buffer[i] = image.p_buffer[i] >= 128;
}

// Floyd-Steinberg over the gray values, in place: each element serves as the
// pixel's int working value (int32_t may alias the uint32_t elements) until
// its bit is decided, and then holds the bit, 1 or 0. The error goes only to
// pixels not yet decided.
void Dither(Image &image)
{
    const size_t n_width = size_t(uint32_t(image.n_width));
    const size_t n_height = size_t(uint32_t(image.n_height));
    int32_t *p_work = reinterpret_cast<int32_t *>(image.p_buffer);
    for(size_t y = 0; y < n_height; ++y) {
        int32_t *p_row = p_work + y * n_width;
        int32_t *p_below = y + 1 < n_height ? p_row + n_width : nullptr;
        for(size_t x = 0; x < n_width; ++x) {
            const bool b_set = p_row[x] >= 128;
            const int32_t n_error = p_row[x] - (b_set ? 255 : 0);
            p_row[x] = b_set;
            const bool b_has_right = x + 1 < n_width;
            if(b_has_right)
                p_row[x + 1] += n_error * 7 / 16;
            if(!p_below)
                continue;
            if(x > 0)
                p_below[x - 1] += n_error * 3 / 16;
            p_below[x] += n_error * 5 / 16;
            if(b_has_right)
                p_below[x + 1] += n_error * 1 / 16;
        }
    }
}

// Packs the bits (one per element, 1 or 0) into bytes, one per element, row
// by row: the leftmost pixel in bit 7, each row padded with zero bits to a
// whole byte. In place: the byte at row y, position k lands at element
// y * row bytes + k, never after the first of its eight bits, and each byte is
// stored only after its bits are read.
void PackBitRows(Image &image)
{
    const size_t n_width = size_t(uint32_t(image.n_width));
    const size_t n_height = size_t(uint32_t(image.n_height));
    const size_t n_row_bytes = size_t(n_MonoRowBytes(image.n_width));
    uint32_t *p_buffer = image.p_buffer;
    for(size_t y = 0; y < n_height; ++y) {
        const uint32_t *p_bits = p_buffer + y * n_width;
        uint32_t *p_bytes = p_buffer + y * n_row_bytes;
        for(size_t n_byte = 0; n_byte < n_row_bytes; ++n_byte) {
            const size_t n_first = n_byte * 8;
            const size_t n_count = n_width - n_first < 8 ? n_width - n_first : 8;
            uint32_t n_value = 0;
            for(size_t i = 0; i < n_count; ++i)
                n_value |= p_bits[n_first + i] << (7 - i);
            p_bytes[n_byte] = n_value;
        }
    }
}

} // namespace

void ConvertToOutputFormat(Image &image, OutputFormat format, bool b_dither)
{
    switch(format) {
    case OutputFormat::kRgb:
        return;
    case OutputFormat::kGray:
        ReduceToGray(image);
        return;
    case OutputFormat::kRgb565:
    case OutputFormat::kRgb565Swapped:
        ConvertToRgb565(image, format == OutputFormat::kRgb565Swapped);
        return;
    case OutputFormat::kMono:
        ReduceToCompositedGray(image);
        if(b_dither)
            Dither(image);
        else
            Threshold(image);
        PackBitRows(image);
        return;
    }
}

} // namespace tarnwick
