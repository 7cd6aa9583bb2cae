// The inner loops of the separable resize: the horizontal pass over one row,
// the vertical accumulation of two rows and the rounding of the sums
// (resize_kernels.h). Each SSE2 path sits beside its scalar twin.
//
// SSE2's _mm_madd_epi16 multiplies eight 16-bit values by eight 16-bit
// weights and adds them in pairs into 32-bit sums. A weight that does not fit
// in 16 bits is split into w = high * 2^11 + low (resize_taps.h) and
// multiplied as two halves: (sum of value * high) << 11 plus the sum of
// value * low is the same 32-bit integer as the sum of value * w.
#include "resize_kernels.h"

#include "simd.h"

namespace tarnwick {
namespace {

uint32_t n_Channel(uint32_t n_pixel, int n_channel)
{
    return (n_pixel >> (8 * n_channel)) & 0xFF;
}

// Two's-complement addition without overflow in the language's sense.
int32_t n_WrappingSum(int32_t n_a, int32_t n_b)
{
    return int32_t(uint32_t(n_a) + uint32_t(n_b));
}

uint32_t n_ClampedChannel(int32_t n_sum, int n_bits)
{
    const int32_t n_value = n_WrappingSum(n_sum, int32_t(1) << (n_bits - 1));
    if(n_value < 0)
        return 0;
    const int32_t n_shifted = n_value >> n_bits;
    return n_shifted > 255 ? 255u : uint32_t(n_shifted);
}

#if !TARNWICK_SIMD_SSE2
// Built only where no SSE2 path takes its place.
void ResampleRowScalar(const uint32_t *p_source, const ResizeTaps &taps, void *p_scratch, uint32_t *p_out)
{
    uint32_t *p_premultiplied = static_cast<uint32_t *>(p_scratch);
    for(int32_t i = 0; i < taps.n_in; ++i)
        p_premultiplied[i] = n_Premultiplied(p_source[i]);
    for(int32_t n_output = 0; n_output < taps.n_out; ++n_output) {
        const uint32_t *p_run = p_premultiplied + taps.p_first[n_output];
        const int32_t *p_weight = taps.p_weight + size_t(n_output) * size_t(taps.n_stride);
        int32_t n_sums[4] = {0, 0, 0, 0};
        for(int32_t j = 0; j < taps.p_count[n_output]; ++j)
            for(int c = 0; c < 4; ++c)
                n_sums[c] = n_WrappingSum(n_sums[c], int32_t(n_Channel(p_run[j], c)) * p_weight[j]);
        uint32_t n_pixel = 0;
        for(int c = 0; c < 4; ++c)
            n_pixel |= n_ClampedChannel(n_sums[c], taps.n_bits) << (8 * c);
        p_out[n_output] = n_pixel;
    }
}
#endif

void AccumulateRowsScalar(int32_t *p_acc, const uint32_t *p_a, int32_t n_weight_a, const uint32_t *p_b,
                          int32_t n_weight_b, size_t n_first, size_t n_pixels)
{
    for(size_t i = n_first; i < n_pixels; ++i)
        for(int c = 0; c < 4; ++c) {
            int32_t &n_sum = p_acc[4 * i + size_t(c)];
            n_sum = n_WrappingSum(n_sum, int32_t(n_Channel(p_a[i], c)) * n_weight_a);
            n_sum = n_WrappingSum(n_sum, int32_t(n_Channel(p_b[i], c)) * n_weight_b);
        }
}

void FinishRowScalar(const int32_t *p_acc, int n_bits, uint32_t *p_out, size_t n_first, size_t n_pixels)
{
    for(size_t i = n_first; i < n_pixels; ++i) {
        uint32_t n_pixel = 0;
        for(int c = 0; c < 4; ++c)
            n_pixel |= n_ClampedChannel(p_acc[4 * i + size_t(c)], n_bits) << (8 * c);
        p_out[i] = n_pixel;
    }
}

#if TARNWICK_SIMD_SSE2

// Channels of four 32-bit sums, rounded, shifted and clamped into the four
// bytes of one pixel, as n_ClampedChannel does.
inline uint32_t n_PackedPixel(__m128i sums, int n_bits)
{
    const __m128i rounded = _mm_add_epi32(sums, _mm_set1_epi32(int32_t(1) << (n_bits - 1)));
    const __m128i shifted = _mm_sra_epi32(rounded, _mm_cvtsi32_si128(n_bits));
    const __m128i words = _mm_packs_epi32(shifted, shifted);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}

// n_Premultiplied of eight channel values of 16 bits against their alphas:
// t = c * a + 128, (t + (t >> 8)) >> 8, which is (c * a + 127) / 255 for
// every c and a of 0..255.
inline __m128i Premultiplied16(__m128i colors, __m128i alphas)
{
    const __m128i product = _mm_add_epi16(_mm_mullo_epi16(colors, alphas), _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(product, _mm_srli_epi16(product, 8)), 8);
}

// The row as four planes of 16-bit channel values, premultiplied, each plane
// n_in + 8 entries long and ending in 8 zeros, so that the weights' runs,
// read eight at a time, never leave it.
// Whether every pixel of the row has alpha 255 (and so needs no
// premultiplying).
bool b_IsOpaqueRow(const uint32_t *p_source, size_t n_pixels)
{
    __m128i all = _mm_set1_epi32(-1);
    size_t i = 0;
    for(; i + 4 <= n_pixels; i += 4)
        all = _mm_and_si128(all, _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_source + i)));
    uint32_t n_all = uint32_t(_mm_cvtsi128_si32(all)) & uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(all, 4))) &
                     uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(all, 8))) &
                     uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(all, 12)));
    for(; i < n_pixels; ++i)
        n_all &= p_source[i];
    return n_all >> 24 == 255;
}

void WritePlanes(const uint32_t *p_source, int32_t n_in, int16_t *p_planes)
{
    const size_t n_plane = size_t(uint32_t(n_in)) + 8;
    int16_t *p_plane[4] = {p_planes, p_planes + n_plane, p_planes + 2 * n_plane, p_planes + 3 * n_plane};
    const __m128i zero = _mm_setzero_si128();
    // An opaque row is premultiplied by 255, which changes nothing.
    const bool b_opaque = b_IsOpaqueRow(p_source, size_t(uint32_t(n_in)));
    size_t i = 0;
    for(; i + 8 <= size_t(uint32_t(n_in)); i += 8) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_source + i));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_source + i + 4));
        // Bytes of pixels 0..7 regrouped by channel in three rounds of
        // interleaving: channel 0 and 1 of the eight pixels in one register,
        // channel 2 and 3 in the other.
        const __m128i round1_low = _mm_unpacklo_epi8(first, second);
        const __m128i round1_high = _mm_unpackhi_epi8(first, second);
        const __m128i round2_low = _mm_unpacklo_epi8(round1_low, round1_high);
        const __m128i round2_high = _mm_unpackhi_epi8(round1_low, round1_high);
        const __m128i channels01 = _mm_unpacklo_epi8(round2_low, round2_high);
        const __m128i channels23 = _mm_unpackhi_epi8(round2_low, round2_high);
        const __m128i alpha = _mm_unpackhi_epi8(channels23, zero);
        __m128i colors[3] = {_mm_unpacklo_epi8(channels01, zero), _mm_unpackhi_epi8(channels01, zero),
                             _mm_unpacklo_epi8(channels23, zero)};
        for(int c = 0; c < 3; ++c)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(p_plane[c] + i),
                             b_opaque ? colors[c] : Premultiplied16(colors[c], alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p_plane[3] + i), alpha);
    }
    for(; i < size_t(uint32_t(n_in)); ++i) {
        const uint32_t n_pixel = n_Premultiplied(p_source[i]);
        for(int c = 0; c < 4; ++c)
            p_plane[c][i] = int16_t(n_Channel(n_pixel, c));
    }
    for(int c = 0; c < 4; ++c)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p_plane[c] + n_in), zero);
}

void ResampleRowSse2(const uint32_t *p_source, const ResizeTaps &taps, void *p_scratch, uint32_t *p_out)
{
    int16_t *p_planes = static_cast<int16_t *>(p_scratch);
    WritePlanes(p_source, taps.n_in, p_planes);
    const size_t n_plane = size_t(uint32_t(taps.n_in)) + 8;
    const int16_t *p_plane[4] = {p_planes, p_planes + n_plane, p_planes + 2 * n_plane, p_planes + 3 * n_plane};
    for(int32_t n_output = 0; n_output < taps.n_out; ++n_output) {
        const size_t n_first = size_t(uint32_t(taps.p_first[n_output]));
        const size_t n_weights = size_t(n_output) * size_t(taps.n_stride);
        __m128i sums[4];
        for(int c = 0; c < 4; ++c)
            sums[c] = _mm_setzero_si128();
        // Eight taps at a time; the weights past the count are zero.
        if(taps.b_16bit) {
            for(int32_t j = 0; j < taps.p_count[n_output]; j += 8) {
                const __m128i weights =
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(taps.p_weight16 + n_weights + size_t(j)));
                for(int c = 0; c < 4; ++c) {
                    const __m128i values =
                        _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_plane[c] + n_first + size_t(j)));
                    sums[c] = _mm_add_epi32(sums[c], _mm_madd_epi16(values, weights));
                }
            }
        } else {
            __m128i high_sums[4];
            for(int c = 0; c < 4; ++c)
                high_sums[c] = _mm_setzero_si128();
            for(int32_t j = 0; j < taps.p_count[n_output]; j += 8) {
                const __m128i high =
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(taps.p_high + n_weights + size_t(j)));
                const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(taps.p_low + n_weights + size_t(j)));
                for(int c = 0; c < 4; ++c) {
                    const __m128i values =
                        _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_plane[c] + n_first + size_t(j)));
                    high_sums[c] = _mm_add_epi32(high_sums[c], _mm_madd_epi16(values, high));
                    sums[c] = _mm_add_epi32(sums[c], _mm_madd_epi16(values, low));
                }
            }
            for(int c = 0; c < 4; ++c)
                sums[c] = _mm_add_epi32(_mm_slli_epi32(high_sums[c], 11), sums[c]);
        }
        // The four lanes of each channel added up: a 4 x 4 transpose and sum.
        const __m128i pair01 = _mm_add_epi32(_mm_unpacklo_epi32(sums[0], sums[1]), _mm_unpackhi_epi32(sums[0], sums[1]));
        const __m128i pair23 = _mm_add_epi32(_mm_unpacklo_epi32(sums[2], sums[3]), _mm_unpackhi_epi32(sums[2], sums[3]));
        const __m128i total = _mm_add_epi32(_mm_unpacklo_epi64(pair01, pair23), _mm_unpackhi_epi64(pair01, pair23));
        p_out[n_output] = n_PackedPixel(total, taps.n_bits);
    }
}

// Four pixels (sixteen channels) at a time; returns how many pixels it did.
size_t AccumulateRowsSse2(int32_t *p_acc, const uint32_t *p_a, int32_t n_weight_a, const uint32_t *p_b,
                          int32_t n_weight_b, size_t n_pixels)
{
    // Pairs (a, b) of 16-bit weights against pairs (a, b) of channel values:
    // the weights themselves when they fit in 16 bits, else their halves.
    const bool b_16bit = n_weight_a >= -32768 && n_weight_a <= 32767 && n_weight_b >= -32768 && n_weight_b <= 32767;
    const int32_t n_low_a = b_16bit ? n_weight_a : int32_t(uint32_t(n_weight_a) & 2047u);
    const int32_t n_low_b = b_16bit ? n_weight_b : int32_t(uint32_t(n_weight_b) & 2047u);
    const int32_t n_high_a = b_16bit ? 0 : (n_weight_a - n_low_a) / 2048;
    const int32_t n_high_b = b_16bit ? 0 : (n_weight_b - n_low_b) / 2048;
    const __m128i low = _mm_set1_epi32(int32_t(uint32_t(uint16_t(n_low_b)) << 16 | uint16_t(n_low_a)));
    const __m128i high = _mm_set1_epi32(int32_t(uint32_t(uint16_t(n_high_b)) << 16 | uint16_t(n_high_a)));
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for(; i + 4 <= n_pixels; i += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_a + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_b + i));
        const __m128i interleaved[2] = {_mm_unpacklo_epi8(a, b), _mm_unpackhi_epi8(a, b)};
        for(int n_half = 0; n_half < 2; ++n_half) {
            const __m128i pairs[2] = {_mm_unpacklo_epi8(interleaved[n_half], zero),
                                      _mm_unpackhi_epi8(interleaved[n_half], zero)};
            for(int n_pixel = 0; n_pixel < 2; ++n_pixel) {
                __m128i *p_sums = reinterpret_cast<__m128i *>(p_acc + 4 * (i + size_t(2 * n_half + n_pixel)));
                __m128i products = _mm_madd_epi16(pairs[n_pixel], low);
                if(!b_16bit)
                    products = _mm_add_epi32(products, _mm_slli_epi32(_mm_madd_epi16(pairs[n_pixel], high), 11));
                _mm_storeu_si128(p_sums, _mm_add_epi32(_mm_loadu_si128(p_sums), products));
            }
        }
    }
    return i;
}

size_t FinishRowSse2(const int32_t *p_acc, int n_bits, uint32_t *p_out, size_t n_pixels)
{
    for(size_t i = 0; i < n_pixels; ++i)
        p_out[i] = n_PackedPixel(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p_acc + 4 * i)), n_bits);
    return n_pixels;
}

#endif

} // namespace

uint32_t n_Premultiplied(uint32_t n_pixel)
{
    const uint32_t n_alpha = n_pixel >> 24;
    if(n_alpha == 255)
        return n_pixel;
    uint32_t n_result = n_pixel & 0xFF000000u;
    for(int c = 0; c < 3; ++c)
        n_result |= ((n_Channel(n_pixel, c) * n_alpha + 127) / 255) << (8 * c);
    return n_result;
}

void ResampleRow(const uint32_t *p_source, const ResizeTaps &taps, void *p_scratch, uint32_t *p_out)
{
#if TARNWICK_SIMD_SSE2
    ResampleRowSse2(p_source, taps, p_scratch, p_out);
#else
    ResampleRowScalar(p_source, taps, p_scratch, p_out);
#endif
}

void AccumulateRows(int32_t *p_acc, const uint32_t *p_a, int32_t n_weight_a, const uint32_t *p_b,
                    int32_t n_weight_b, size_t n_pixels)
{
    size_t n_done = 0;
#if TARNWICK_SIMD_SSE2
    n_done = AccumulateRowsSse2(p_acc, p_a, n_weight_a, p_b, n_weight_b, n_pixels);
#endif
    AccumulateRowsScalar(p_acc, p_a, n_weight_a, p_b, n_weight_b, n_done, n_pixels);
}

void FinishRow(const int32_t *p_acc, int n_bits, uint32_t *p_out, size_t n_pixels)
{
    size_t n_done = 0;
#if TARNWICK_SIMD_SSE2
    n_done = FinishRowSse2(p_acc, n_bits, p_out, n_pixels);
#endif
    FinishRowScalar(p_acc, n_bits, p_out, n_done, n_pixels);
}

} // namespace tarnwick
