// The conversion of the pixels into the items of each output format, with
// the threshold and the dithering of the 1-bit and RGB565 formats
// (output_format.h). The layouts of 1-bit rows and pages, of indices and of
// bytes are in mono_layout, indexed_format and byte_layout.
#include "output_format.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "byte_layout.h"

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

void ConvertToRgb565(uint32_t *p_pixel, uint64_t n_pixels, bool b_swapped)
{
    if(b_swapped) {
        for(uint64_t i = 0; i < n_pixels; ++i)
            p_pixel[i] = n_SwappedBytes16(n_Rgb565(n_CompositedOverBlack(p_pixel[i])));
    } else {
        for(uint64_t i = 0; i < n_pixels; ++i)
            p_pixel[i] = n_Rgb565(n_CompositedOverBlack(p_pixel[i]));
    }
}

// One channel's working value cut to its n_bits top bits: the cut value and
// the value it stands for, widened by repeating its top bits.
struct CutChannel {
    uint32_t n_cut;
    int32_t n_widened;
};
CutChannel Cut(int32_t n_value, int n_bits)
{
    const uint32_t n_clamped = uint32_t(n_value < 0 ? 0 : n_value > 255 ? 255 : n_value);
    const uint32_t n_cut = n_clamped >> (8 - n_bits);
    return {n_cut, int32_t(n_cut << (8 - n_bits) | n_cut >> (2 * n_bits - 8))};
}

// Floyd-Steinberg on each channel of RGB565. The errors owed to the current
// and to the next row are kept in two rows of three ints per pixel (blue,
// green, red); false when they cannot be allocated.
bool ConvertToRgb565Dithered(Image &image, bool b_swapped)
{
    const size_t n_width = size_t(uint32_t(image.n_width));
    const size_t n_height = size_t(uint32_t(image.n_height));
    const size_t n_row_ints = n_width * 3;
    int32_t *p_errors = static_cast<int32_t *>(std::calloc(2 * n_row_ints + 1, sizeof(int32_t)));
    if(!p_errors)
        return false;
    const int n_bits[3] = {5, 6, 5}; // blue, green, red: shifts 0, 8, 16
    for(size_t y = 0; y < n_height; ++y) {
        int32_t *p_current = p_errors + (y % 2) * n_row_ints; // pixel x at 3 * x
        int32_t *p_next = p_errors + ((y + 1) % 2) * n_row_ints;
        std::fill(p_next, p_next + n_row_ints, 0);
        uint32_t *p_row = image.p_buffer + y * n_width;
        for(size_t x = 0; x < n_width; ++x) {
            const uint32_t n_pixel = n_CompositedOverBlack(p_row[x]);
            uint32_t n_item = 0;
            for(int c = 0; c < 3; ++c) {
                const int32_t n_value = int32_t((n_pixel >> (8 * c)) & 0xFF) + p_current[3 * x + size_t(c)];
                const CutChannel cut = Cut(n_value, n_bits[c]);
                const int32_t n_error = n_value - cut.n_widened;
                // The blue field is bits 0-4, green 5-10, red 11-15.
                n_item |= cut.n_cut << (c == 0 ? 0 : c == 1 ? 5 : 11);
                if(x + 1 < n_width)
                    p_current[3 * (x + 1) + size_t(c)] += n_error * 7 / 16;
                if(y + 1 < n_height) {
                    if(x > 0)
                        p_next[3 * (x - 1) + size_t(c)] += n_error * 3 / 16;
                    p_next[3 * x + size_t(c)] += n_error * 5 / 16;
                    if(x + 1 < n_width)
                        p_next[3 * (x + 1) + size_t(c)] += n_error * 1 / 16;
                }
            }
            p_row[x] = b_swapped ? n_SwappedBytes16(n_item) : n_item;
        }
    }
    std::free(p_errors);
    return true;
}

// Each pixel becomes the gray value of the pixel over black.
void ReduceToCompositedGray(Image &image)
{
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i)
        image.p_buffer[i] = n_GrayValue(n_CompositedOverBlack(image.p_buffer[i]));
}

// Each gray value becomes its bit: 1 when at least the threshold, else 0.
void Threshold(Image &image, uint32_t n_threshold)
{
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i)
        image.p_buffer[i] = image.p_buffer[i] >= n_threshold;
}

// Ordered dithering: each gray value becomes its bit against the Bayer
// matrix cell of its position.
void BayerDither(Image &image)
{
    const size_t n_width = size_t(uint32_t(image.n_width));
    const size_t n_height = size_t(uint32_t(image.n_height));
    for(size_t y = 0; y < n_height; ++y) {
        uint32_t *p_row = image.p_buffer + y * n_width;
        for(size_t x = 0; x < n_width; ++x)
            p_row[x] = p_row[x] * 128 > (2u * kBayerMatrix[y % 8][x % 8] + 1) * 255;
    }
}

// A neighbour that receives a share of the error: its offset and the share's
// numerator over the kernel's denominator.
struct ErrorShare {
    int n_dx;
    int n_dy;
    int32_t n_numerator;
};
struct DiffusionKernel {
    const ErrorShare *p_shares;
    int n_shares;
    int32_t n_denominator;
};
const ErrorShare kFloydShares[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
const ErrorShare kAtkinsonShares[] = {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}};
const DiffusionKernel kFloydKernel = {kFloydShares, 4, 16};
const DiffusionKernel kAtkinsonKernel = {kAtkinsonShares, 6, 8};

// Error diffusion over the gray values, in place: each element serves as the
// pixel's int working value (int32_t may alias the uint32_t elements) until
// its bit is decided, and then holds the bit, 1 or 0. The error goes only to
// pixels not yet decided: every share points right or down.
void DiffuseError(Image &image, const DiffusionKernel &kernel, int32_t n_threshold)
{
    const int64_t n_width = image.n_width, n_height = image.n_height;
    int32_t *p_work = reinterpret_cast<int32_t *>(image.p_buffer);
    for(int64_t y = 0; y < n_height; ++y) {
        for(int64_t x = 0; x < n_width; ++x) {
            int32_t &n_value = p_work[y * n_width + x];
            const bool b_set = n_value >= n_threshold;
            const int32_t n_error = n_value - (b_set ? 255 : 0);
            n_value = b_set;
            for(int i = 0; i < kernel.n_shares; ++i) {
                const ErrorShare &share = kernel.p_shares[i];
                const int64_t n_x = x + share.n_dx, n_y = y + share.n_dy;
                if(n_x >= 0 && n_x < n_width && n_y < n_height)
                    p_work[n_y * n_width + n_x] += n_error * share.n_numerator / kernel.n_denominator;
            }
        }
    }
}

// Each pixel over black, for the 24-bit formats.
void CompositeOverBlack(Image &image)
{
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i)
        image.p_buffer[i] = n_CompositedOverBlack(image.p_buffer[i]);
}

// Each pixel becomes its alpha.
void ReduceToAlpha(uint32_t *p_pixels, uint64_t n_pixels)
{
    for(uint64_t i = 0; i < n_pixels; ++i)
        p_pixels[i] >>= 24;
}

// The formats of b_ConvertsPixelByPixel, on n_pixels pixels from p_pixels on.
void ConvertPixels(uint32_t *p_pixels, uint64_t n_pixels, OutputFormat format)
{
    if(format == OutputFormat::kGray)
        ReducePixelsToGray(p_pixels, n_pixels);
    else if(format == OutputFormat::kRgb565 || format == OutputFormat::kRgb565Swapped)
        ConvertToRgb565(p_pixels, n_pixels, format == OutputFormat::kRgb565Swapped);
    else if(format == OutputFormat::kAlpha8)
        ReduceToAlpha(p_pixels, n_pixels);
}

// The gray values become bits, by the threshold or the dithering asked for.
void DecideBits(Image &image, Dither dither, uint8_t n_threshold)
{
    switch(dither) {
    case Dither::kNone: Threshold(image, n_threshold); return;
    case Dither::kMonoFloyd:
    case Dither::kFloyd: DiffuseError(image, kFloydKernel, n_threshold); return;
    case Dither::kAtkinson: DiffuseError(image, kAtkinsonKernel, n_threshold); return;
    case Dither::kBayer: BayerDither(image); return;
    }
}

// The formats whose items are bytes: how many bytes a pixel, and in which
// order they come out of the 32-bit item; 0 for the other formats.
struct ByteSpread {
    uint32_t n_bytes;
    ByteOrder order;
};
ByteSpread ByteSpreadOf(OutputFormat format, const ItemLayout &layout)
{
    switch(format) {
    case OutputFormat::kRgb888: return {3, ByteOrder::kHighFirst};   // 0x..RRGGBB: R, G, B
    case OutputFormat::kBgr888: return {3, ByteOrder::kLowFirst};    // B, G, R
    case OutputFormat::kRgb: return {layout.b_lvgl ? 4u : 0u, ByteOrder::kLowFirst}; // B, G, R, A
    // RGB565 low byte first; the swapped value low byte first is the
    // unswapped value high byte first.
    case OutputFormat::kRgb565:
    case OutputFormat::kRgb565Swapped: return {layout.b_lvgl ? 2u : 0u, ByteOrder::kLowFirst};
    case OutputFormat::kGray:
    case OutputFormat::kMono:
    case OutputFormat::kAlpha8:
    case OutputFormat::kIndexed: return {0, ByteOrder::kLowFirst};
    }
    return {0, ByteOrder::kLowFirst};
}

} // namespace

const uint8_t kBayerMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

namespace {

// The items of the format, each in one element.
bool ConvertToElements(Image &image, OutputFormat format, Dither dither, uint8_t n_threshold,
                       const ItemLayout &layout)
{
    switch(format) {
    case OutputFormat::kRgb:
        return true;
    case OutputFormat::kGray:
        ReduceToGray(image);
        return true;
    case OutputFormat::kRgb565:
    case OutputFormat::kRgb565Swapped:
        if(dither == Dither::kFloyd)
            return ConvertToRgb565Dithered(image, format == OutputFormat::kRgb565Swapped);
        ConvertToRgb565(image.p_buffer, n_PixelCount(image), format == OutputFormat::kRgb565Swapped);
        return true;
    case OutputFormat::kMono:
        ReduceToCompositedGray(image);
        DecideBits(image, dither, n_threshold);
        PackMonoBits(image, layout.mono);
        return true;
    case OutputFormat::kRgb888:
    case OutputFormat::kBgr888:
        CompositeOverBlack(image);
        return true;
    case OutputFormat::kAlpha8:
        ReduceToAlpha(image.p_buffer, n_PixelCount(image));
        return true;
    case OutputFormat::kIndexed:
        if(!layout.p_palette)
            return false;
        ConvertToIndices(image, *layout.p_palette);
        return true;
    }
    return true;
}

} // namespace

bool ConvertToOutputFormat(Image &image, OutputFormat format, Dither dither, uint8_t n_threshold,
                           const ItemLayout &layout)
{
    if(!ConvertToElements(image, format, dither, n_threshold, layout))
        return false;
    const ByteSpread spread = ByteSpreadOf(format, layout);
    if(spread.n_bytes)
        SpreadItemsIntoBytes(image, spread.n_bytes, spread.order);
    return true;
}

bool b_ConvertsPixelByPixel(OutputFormat format, Dither dither, const ItemLayout &layout)
{
    if(layout.b_lvgl)
        return false;
    switch(format) {
    case OutputFormat::kRgb:
    case OutputFormat::kGray:
    case OutputFormat::kAlpha8: return true;
    case OutputFormat::kRgb565:
    case OutputFormat::kRgb565Swapped: return dither != Dither::kFloyd;
    default: return false;
    }
}

void ConvertRowsToOutputFormat(Image &image, OutputFormat format, int32_t n_first_row, int32_t n_end_row)
{
    const uint64_t n_width = uint64_t(image.n_width);
    ConvertPixels(image.p_buffer + uint64_t(n_first_row) * n_width, uint64_t(n_end_row - n_first_row) * n_width,
                  format);
}

bool b_ItemsAreBytes(OutputFormat format, const ItemLayout &layout)
{
    return ByteSpreadOf(format, layout).n_bytes != 0;
}

uint32_t n_IndexBitsOf(const ItemLayout &layout)
{
    return layout.p_palette ? n_IndexBits(*layout.p_palette) : 1;
}

uint64_t n_ItemCount(const Image &image, OutputFormat format, const ItemLayout &layout)
{
    if(format == OutputFormat::kMono)
        return n_MonoByteCount(image.n_width, image.n_height, layout.mono);
    if(format == OutputFormat::kIndexed)
        return n_IndexRowBytes(image.n_width, n_IndexBitsOf(layout)) * uint64_t(uint32_t(image.n_height));
    const uint32_t n_bytes = ByteSpreadOf(format, layout).n_bytes;
    return n_PixelCount(image) * (n_bytes ? n_bytes : 1);
}

} // namespace tarnwick
