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
//   fixed    = weight * 2^bits rounded half away from zero, as an int
//
// with the kernels box(x) = 1 for -0.5 < x <= 0.5, else 0;
// bilinear(x) = 1 - |x| for |x| < 1, else 0; Lanczos(x) = sinc(x) sinc(x / 3)
// for -3 <= x < 3, else 0, where sinc(0) = 1 and sinc(x) = sin(pi x) / (pi x)
// (sin of the C library, in double precision).
//
// A value resampled with these weights is
// (2^(bits - 1) + sum of value * fixed) >> bits (floor), clamped to 0..255.
//
// bits is 22, as in Pillow, unless every weight of the axis fits in 16 bits
// (-32768..32767) with at least 18 bits, which happens when shrinking by
// about 8 or more (the largest weight is about 1 / scale): then it is the
// most bits, up to 22, with which every weight fits in 16 bits. SSE2
// multiplies 16-bit numbers: 16-bit weights take one multiplication, others
// are split into two 16-bit halves (weight = high * 2^11 + low, low in
// 0..2047) and take two; the sums are the same integers either way. With 22
// bits the result is Pillow's, and with 18 to 21 within 1 of it.
#ifndef TARNWICK_IMAGE_RESIZE_TAPS_H
#define TARNWICK_IMAGE_RESIZE_TAPS_H

#include <cstddef>
#include <cstdint>

namespace tarnwick {

// The separable filters; the nearest-pixel resize needs no weights.
enum class ResizeKernel : uint8_t { kBox, kBilinear, kLanczos };

// Fixed-point weights have at most this many fraction bits: with more, a
// sum of 8-bit values times weights could pass 2^31.
constexpr int kMaxWeightBits = 22;
// 16-bit weights are used only with at least this many.
constexpr int kMin16BitWeightBits = 18;

// The weights of one axis. Each output pixel's weights take n_stride entries
// (the largest count rounded up to a multiple of 8), those past its count
// zero.
struct ResizeTaps {
    int32_t n_in;
    int32_t n_out;
    int32_t n_stride;
    int32_t n_max_count; // the largest count of any output pixel
    int n_bits;          // fraction bits of the fixed-point weights
    bool b_16bit;        // every weight fits in 16 bits
    int32_t *p_first;    // n_out first input pixels
    int32_t *p_count;    // n_out counts (first + count <= n_in)
    int32_t *p_weight;   // n_out * n_stride fixed-point weights
    int16_t *p_weight16; // the same in 16 bits, when b_16bit
    int16_t *p_high;     // the high halves, when not b_16bit
    int16_t *p_low;      // the low halves, when not b_16bit
};

// The taps' tables may take at most this many bytes, counting 16 bytes a
// weight while they are made: enough for 65535 outputs of Lanczos weights;
// a resize that would need more (only a picture tens of thousands of pixels
// long, resized to nearly as many or to a few) is refused as too large.
constexpr size_t kMaxTapsBytes = size_t(12) << 20;

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
