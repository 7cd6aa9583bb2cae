// Inverse DCT and block store.
//
// Every value is a single-precision float and every operation is written in
// the order of the reference butterfly; the library is built without
// floating-point contraction, so no multiply-add is fused and every compiler
// and processor produces the same samples.
//
// InverseDct runs the butterfly lane-parallel: one loop applies it to eight
// independent lines at once, lane l of each step working on line l only, so
// the compiler vectorises the loop without changing a single result. The
// column pass works on the coefficients as they lie (the lanes are the
// columns); the row pass works on the transposed work block (the lanes are
// the rows) and its result is transposed back. IdctColumn and IdctRow are the
// same butterfly on one line.
#include "jpeg_idct.h"

#include <cstring>

#include "simd.h"

namespace tarnwick {

const float kIdctScaleFactors[8] = {1.0f,        1.3870399f,  1.3065630f,  1.1758755f,
                                    1.0f,        0.78569496f, 0.54119611f, 0.27589938f};

namespace {

// Butterfly constants: sqrt(2), 2 cos(pi/8), 2 sqrt(2) cos(3 pi/8) and
// -2 sqrt(2) cos(pi/8), as the nearest single-precision values.
constexpr float kSqrt2 = 1.414213562f;
constexpr float kTwoCos1 = 1.847759065f;
constexpr float kC6Sqrt8 = 1.082392200f;
constexpr float kMinusC2Sqrt8 = -2.613125930f;
// The 2-D transform of the butterflies is 8 times too large.
constexpr float kFinalScale = 0.125f;
// Samples less 128: 8-bit samples, whatever precision the frame states.
constexpr float kSampleMin = -128.0f;
constexpr float kSampleMax = 127.0f;

// The 8-point AAN butterfly over x[0], x[n_stride], ... x[7 * n_stride],
// writing y[0], y[n_stride], ... y[7 * n_stride].
inline void Butterfly8(float *p_out, const float *p_in, int n_stride)
{
    const float x0 = p_in[0 * n_stride], x1 = p_in[1 * n_stride];
    const float x2 = p_in[2 * n_stride], x3 = p_in[3 * n_stride];
    const float x4 = p_in[4 * n_stride], x5 = p_in[5 * n_stride];
    const float x6 = p_in[6 * n_stride], x7 = p_in[7 * n_stride];

    // Even part.
    const float t10 = x0 + x4;
    const float t11 = x0 - x4;
    const float t13 = x2 + x6;
    const float t12 = (x2 - x6) * kSqrt2 - t13;
    const float e0 = t10 + t13;
    const float e3 = t10 - t13;
    const float e1 = t11 + t12;
    const float e2 = t11 - t12;

    // Odd part.
    const float z13 = x5 + x3;
    const float z10 = x5 - x3;
    const float z11 = x1 + x7;
    const float z12 = x1 - x7;
    const float o7 = z11 + z13;
    const float t11b = (z11 - z13) * kSqrt2;
    const float z5 = (z10 + z12) * kTwoCos1;
    const float t10b = z12 * kC6Sqrt8 - z5;
    const float t12b = z10 * kMinusC2Sqrt8 + z5;
    const float o6 = t12b - o7;
    const float o5 = t11b - o6;
    const float o4 = t10b + o5;

    p_out[0 * n_stride] = e0 + o7;
    p_out[7 * n_stride] = e0 - o7;
    p_out[1 * n_stride] = e1 + o6;
    p_out[6 * n_stride] = e1 - o6;
    p_out[2 * n_stride] = e2 + o5;
    p_out[5 * n_stride] = e2 - o5;
    p_out[3 * n_stride] = e3 - o4;
    p_out[4 * n_stride] = e3 + o4;
}

#if !TARNWICK_SIMD_SSE2
// The butterfly on eight lines at once: line l is p_in[l], p_in[8 + l], ...
// p_in[56 + l] and its results go to p_out[l], p_out[8 + l], ... The loop
// over the lanes has no dependence between iterations.
inline void ButterflyLanes(float *p_out, const float *p_in)
{
    for(int l = 0; l < 8; ++l)
        Butterfly8(p_out + l, p_in + l, 8);
}

inline void Transpose(float *p_out, const float *p_in)
{
    for(int r = 0; r < 8; ++r)
        for(int c = 0; c < 8; ++c)
            p_out[8 * c + r] = p_in[8 * r + c];
}
#endif

// Clamp to the sample range, then truncate toward zero (not round).
inline int8_t ClampSample(float f)
{
    f = f < kSampleMin ? kSampleMin : f;
    f = f > kSampleMax ? kSampleMax : f;
    return int8_t(int(f));
}

#if TARNWICK_SIMD_SSE2
// The butterfly of Butterfly8 on four lines at once, lane l of x[0..7] being
// line l's inputs: the same operations in the same order, so every lane gives
// the bits the scalar butterfly gives.
inline void ButterflySse2(__m128 *y, const __m128 *x)
{
    const __m128 sqrt2 = _mm_set1_ps(kSqrt2);
    const __m128 t10 = _mm_add_ps(x[0], x[4]);
    const __m128 t11 = _mm_sub_ps(x[0], x[4]);
    const __m128 t13 = _mm_add_ps(x[2], x[6]);
    const __m128 t12 = _mm_sub_ps(_mm_mul_ps(_mm_sub_ps(x[2], x[6]), sqrt2), t13);
    const __m128 e0 = _mm_add_ps(t10, t13);
    const __m128 e3 = _mm_sub_ps(t10, t13);
    const __m128 e1 = _mm_add_ps(t11, t12);
    const __m128 e2 = _mm_sub_ps(t11, t12);

    const __m128 z13 = _mm_add_ps(x[5], x[3]);
    const __m128 z10 = _mm_sub_ps(x[5], x[3]);
    const __m128 z11 = _mm_add_ps(x[1], x[7]);
    const __m128 z12 = _mm_sub_ps(x[1], x[7]);
    const __m128 o7 = _mm_add_ps(z11, z13);
    const __m128 t11b = _mm_mul_ps(_mm_sub_ps(z11, z13), sqrt2);
    const __m128 z5 = _mm_mul_ps(_mm_add_ps(z10, z12), _mm_set1_ps(kTwoCos1));
    const __m128 t10b = _mm_sub_ps(_mm_mul_ps(z12, _mm_set1_ps(kC6Sqrt8)), z5);
    const __m128 t12b = _mm_add_ps(_mm_mul_ps(z10, _mm_set1_ps(kMinusC2Sqrt8)), z5);
    const __m128 o6 = _mm_sub_ps(t12b, o7);
    const __m128 o5 = _mm_sub_ps(t11b, o6);
    const __m128 o4 = _mm_add_ps(t10b, o5);

    y[0] = _mm_add_ps(e0, o7);
    y[7] = _mm_sub_ps(e0, o7);
    y[1] = _mm_add_ps(e1, o6);
    y[6] = _mm_sub_ps(e1, o6);
    y[2] = _mm_add_ps(e2, o5);
    y[5] = _mm_sub_ps(e2, o5);
    y[3] = _mm_sub_ps(e3, o4);
    y[4] = _mm_add_ps(e3, o4);
}

// An 8x8 block as rows of two halves: block[2 r + h] holds row r, columns
// 4 h .. 4 h + 3. The butterflies take a half-column of lanes at a time:
// lines[u] = block[2 u + h].
inline void ButterflyHalves(__m128 *p_out, const __m128 *p_in)
{
    for(int h = 0; h < 2; ++h) {
        __m128 x[8], y[8];
        for(int u = 0; u < 8; ++u)
            x[u] = p_in[2 * u + h];
        ButterflySse2(y, x);
        for(int u = 0; u < 8; ++u)
            p_out[2 * u + h] = y[u];
    }
}

inline void TransposeHalves(__m128 *p_out, const __m128 *p_in)
{
    for(int r = 0; r < 8; r += 4) {
        for(int h = 0; h < 2; ++h) {
            __m128 a = p_in[2 * r + h], b = p_in[2 * (r + 1) + h], c = p_in[2 * (r + 2) + h],
                   d = p_in[2 * (r + 3) + h];
            _MM_TRANSPOSE4_PS(a, b, c, d);
            // Rows r..r + 3, columns 4h..4h + 3 become rows 4h..4h + 3,
            // columns r..r + 3.
            p_out[2 * (4 * h) + r / 4] = a;
            p_out[2 * (4 * h + 1) + r / 4] = b;
            p_out[2 * (4 * h + 2) + r / 4] = c;
            p_out[2 * (4 * h + 3) + r / 4] = d;
        }
    }
}

// InverseDct with the block in registers: the column pass on the rows as
// they lie, the row pass on the transposed work block, transposed back and
// scaled by 1/8. The block is given as sixteen vectors of four coefficients
// (block[i]: natural indices 4 i .. 4 i + 3), and overwritten.
inline void InverseDctOfVectors(__m128 *p_output, __m128 *block)
{
    __m128 work[16];
    ButterflyHalves(work, block);
    TransposeHalves(block, work);
    ButterflyHalves(work, block);
    TransposeHalves(block, work);
    const __m128 scale = _mm_set1_ps(kFinalScale);
    for(int i = 0; i < 16; ++i)
        p_output[i] = _mm_mul_ps(block[i], scale);
}

inline void InverseDctSse2(__m128 *p_output, const float *p_coefficients)
{
    __m128 block[16];
    for(int i = 0; i < 16; ++i)
        block[i] = _mm_loadu_ps(p_coefficients + 4 * i);
    InverseDctOfVectors(p_output, block);
}

// Clamps, truncates and stores the sixteen vectors of samples, a row of
// eight from each pair: clamped to -128..127 (max and min give the same
// results as the comparisons of ClampSample for every finite value),
// truncated toward zero, and narrowed to bytes (the saturating packs change
// nothing: the values are already in range).
inline void StoreSampleVectors(const __m128 *p_samples, int8_t *p_dest, int n_stride)
{
    const __m128 low = _mm_set1_ps(kSampleMin), high = _mm_set1_ps(kSampleMax);
    for(int y = 0; y < 8; ++y) {
        const __m128 left = _mm_min_ps(_mm_max_ps(p_samples[2 * y], low), high);
        const __m128 right = _mm_min_ps(_mm_max_ps(p_samples[2 * y + 1], low), high);
        const __m128i words = _mm_packs_epi32(_mm_cvttps_epi32(left), _mm_cvttps_epi32(right));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p_dest + y * n_stride), _mm_packs_epi16(words, words));
    }
}
#endif

} // namespace

void IdctColumn(float *p_work, const float *p_coefficients)
{
    Butterfly8(p_work, p_coefficients, 8);
}

void IdctRow(float *p_output, const float *p_work)
{
    Butterfly8(p_output, p_work, 1);
}

void InverseDct(float *p_output, const float *p_coefficients)
{
#if TARNWICK_SIMD_SSE2
    __m128 output[16];
    InverseDctSse2(output, p_coefficients);
    for(int i = 0; i < 16; ++i)
        _mm_storeu_ps(p_output + 4 * i, output[i]);
#else
    float work[64], work_by_rows[64], output_by_columns[64];
    ButterflyLanes(work, p_coefficients);
    Transpose(work_by_rows, work);
    ButterflyLanes(output_by_columns, work_by_rows);
    Transpose(p_output, output_by_columns);
    for(int i = 0; i < 64; ++i)
        p_output[i] *= kFinalScale;
#endif
}

void StoreBlock(const float *p_coefficients, int8_t *p_dest, int n_stride)
{
#if TARNWICK_SIMD_SSE2
    __m128 samples[16];
    InverseDctSse2(samples, p_coefficients);
    StoreSampleVectors(samples, p_dest, n_stride);
#else
    float samples[64];
    InverseDct(samples, p_coefficients);
    for(int y = 0; y < 8; ++y)
        for(int x = 0; x < 8; ++x)
            p_dest[y * n_stride + x] = ClampSample(samples[8 * y + x]);
#endif
}

void StoreQuantisedBlock(const int16_t *p_values, const float *p_factors, int8_t *p_dest, int n_stride)
{
#if TARNWICK_SIMD_SSE2
    __m128 block[16], samples[16];
    for(int i = 0; i < 16; i += 2) {
        const __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_values + 4 * i));
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(values, values), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(values, values), 16);
        block[i] = _mm_mul_ps(_mm_cvtepi32_ps(low), _mm_loadu_ps(p_factors + 4 * i));
        block[i + 1] = _mm_mul_ps(_mm_cvtepi32_ps(high), _mm_loadu_ps(p_factors + 4 * i + 4));
    }
    InverseDctOfVectors(samples, block);
    StoreSampleVectors(samples, p_dest, n_stride);
#else
    float coefficients[64];
    for(int n = 0; n < 64; ++n)
        coefficients[n] = float(p_values[n]) * p_factors[n];
    StoreBlock(coefficients, p_dest, n_stride);
#endif
}

void StoreDcOnlyBlock(float f_dc, int8_t *p_dest, int n_stride)
{
    const int8_t n_sample = ClampSample(f_dc * kFinalScale);
    for(int y = 0; y < 8; ++y)
        std::memset(p_dest + y * n_stride, n_sample, 8);
}

} // namespace tarnwick
