// The weights of a separable resize along one axis: for every output pixel,
// the run of input pixels it is made from and the weight of each, in fixed
// point. These are the definitions of Pillow's Image.resize, so that the same
// picture gives the same result:
//
//   scale    = n_in / n_out (double); filter scale = max(scale, 1)
//   support  = the filter's support (box 0.5, bilinear 1, Lanczos 3) times
//              the filter scale
//   centre   = (i + 0.5) * scale for output pixel i (pixel centres at +0.5)
//   first    = max(int(centre - support + 0.5), 0)     (int truncates)
//   end      = min(int(centre + support + 0.5), n_in)
//   weight j = filter((first + j - centre + 0.5) * (1 / filter scale)) for
//              the input pixels first + j before end, then divided by their
//              sum (unless the sum is 0)
//   fixed    = weight * 2^22 rounded half away from zero, as an int
//
// with the kernels box(x) = 1 for -0.5 < x <= 0.5, else 0;
// bilinear(x) = 1 - |x| for |x| < 1, else 0; Lanczos(x) = sinc(x) sinc(x / 3)
// for -3 <= x < 3, else 0, where sinc(0) = 1 and sinc(x) = sin(pi x) / (pi x)
// (sin of the C library, in double precision).
//
// A value resampled with these weights is (2^21 + sum of value * fixed) >> 22
// (floor), clamped to 0..255.
#ifndef TARNWICK_IMAGE_RESIZE_TAPS_H
#define TARNWICK_IMAGE_RESIZE_TAPS_H

#include <cstddef>
#include <cstdint>

namespace tarnwick {

// The separable filters; the nearest-pixel resize needs no weights.
enum class ResizeKernel : uint8_t { kBox, kBilinear, kLanczos };

// Fixed-point weights have this many fraction bits.
constexpr int kWeightBits = 22;

// The weights of one axis. Each output pixel's weights take n_stride entries
// (its count rounded up to a multiple of 8, the same for all), those past
// its count zero. For the SSE2 paths each weight is also split into a high
// and a low 16-bit part: weight = high * 2^11 + low, low in 0..2047.
struct ResizeTaps {
    int32_t n_in;
    int32_t n_out;
    int32_t n_stride;
    int32_t n_max_count; // the largest count of any output pixel
    int32_t *p_first;    // n_out first input pixels
    int32_t *p_count;    // n_out counts (first + count <= n_in)
    int32_t *p_weight;   // n_out * n_stride fixed-point weights
    int16_t *p_high;     // n_out * n_stride
    int16_t *p_low;      // n_out * n_stride
};

// The taps' tables may take at most this many bytes; a resize that would
// need more (only a picture hundreds of thousands of pixels long shrunk to a
// few) is refused as too large.
constexpr size_t kMaxTapsBytes = size_t(8) << 20;

// Fills taps for n_in input pixels becoming n_out (both at least 1). Returns
// false, holding nothing, when the tables would exceed kMaxTapsBytes
// (b_too_large set) or an allocation fails (b_too_large clear).
bool ComputeResizeTaps(int32_t n_in, int32_t n_out, ResizeKernel kernel, ResizeTaps &taps, bool &b_too_large);

// Releases the tables; accepts taps that hold nothing.
void FreeResizeTaps(ResizeTaps &taps);

// The weight of input pixel n_input for output pixel n_output: 0 outside its
// run.
inline int32_t n_TapWeight(const ResizeTaps &taps, int32_t n_output, int32_t n_input)
{
    const int32_t n_offset = n_input - taps.p_first[n_output];
    if(n_offset < 0 || n_offset >= taps.p_count[n_output])
        return 0;
    return taps.p_weight[size_t(n_output) * size_t(taps.n_stride) + size_t(n_offset)];
}

} // namespace tarnwick

#endif // TARNWICK_IMAGE_RESIZE_TAPS_H
