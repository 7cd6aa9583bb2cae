// The inner loops of the separable resize (resize.cpp), each an SSE2 path
// with a scalar twin that gives the same bytes. Channels are the four bytes
// of a 0xAARRGGBB pixel, numbered by shift: channel c is (pixel >> 8c) & 0xFF.
// Sums are of 32-bit two's-complement integers (neither path overflows on
// any input the resize gives them, and both would wrap alike if one did).
#ifndef TARNWICK_IMAGE_RESIZE_KERNELS_H
#define TARNWICK_IMAGE_RESIZE_KERNELS_H

#include <cstddef>
#include <cstdint>

#include "resize_taps.h"

namespace tarnwick {

// Premultiplied alpha: each colour channel c of alpha a becomes
// (c * a + 127) / 255 (c * a / 255 rounded to nearest); alpha stays.
uint32_t n_Premultiplied(uint32_t n_pixel);

// The bytes of scratch ResampleRow needs for an input row of n_in pixels.
inline size_t n_RowScratchBytes(int32_t n_in)
{
    return (size_t(uint32_t(n_in)) + 8) * 8;
}

// One row along the horizontal taps: taps.n_in source pixels, premultiplied
// (n_Premultiplied), become taps.n_out pixels, each channel
// clamp((2^(bits - 1) + sum of weight * channel) >> bits, 0, 255), bits being
// taps.n_bits. p_scratch holds n_RowScratchBytes(taps.n_in) bytes.
void ResampleRow(const uint32_t *p_source, const ResizeTaps &taps, void *p_scratch, uint32_t *p_out);

// Vertical step: for each of the 4 * n_pixels channels,
// acc += n_weight_a * channel of p_a + n_weight_b * channel of p_b, the
// weights being fixed-point weights of ResizeTaps. p_acc[4 * i + c]
// is channel c of pixel i.
void AccumulateRows(int32_t *p_acc, const uint32_t *p_a, int32_t n_weight_a, const uint32_t *p_b,
                    int32_t n_weight_b, size_t n_pixels);

// The pixels of accumulated sums: each channel
// clamp((2^(n_bits - 1) + acc) >> n_bits, 0, 255).
void FinishRow(const int32_t *p_acc, int n_bits, uint32_t *p_out, size_t n_pixels);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_RESIZE_KERNELS_H
