// Background compositing and inversion of the pixels (color_transform.h).
#include "color_transform.h"

namespace tarnwick {
namespace {

uint32_t n_OverBackground(uint32_t n_pixel, uint32_t n_background)
{
    const uint32_t n_alpha = n_pixel >> 24;
    uint32_t n_result = 0xFF000000u;
    for(int n_shift = 0; n_shift <= 16; n_shift += 8) {
        const uint32_t n_color = (n_pixel >> n_shift) & 0xFF;
        const uint32_t n_back = (n_background >> n_shift) & 0xFF;
        n_result |= ((n_color * n_alpha + n_back * (255 - n_alpha) + 127) / 255) << n_shift;
    }
    return n_result;
}

} // namespace

void PutOverBackground(Image &image, uint32_t n_background)
{
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i) {
        const uint32_t n_pixel = image.p_buffer[i];
        // Opaque pixels stay as they are (the formula gives c for a = 255).
        if(n_pixel < 0xFF000000u)
            image.p_buffer[i] = n_OverBackground(n_pixel, n_background);
    }
}

void InvertColors(Image &image)
{
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i)
        image.p_buffer[i] ^= 0x00FFFFFFu;
}

} // namespace tarnwick
