// Inverse DCT and block store.
//
// Every value is a single-precision float and every operation is written in
// the order of the reference butterfly; the library is built without
// floating-point contraction, so no multiply-add is fused and every compiler
// and processor produces the same samples. The loops over the eight columns
// and over the 64 outputs are written lane-parallel (the same operations on
// independent values), so the compiler may vectorise them without changing a
// single result.
#include "jpeg_idct.h"

#include "jpeg_decoder.h"

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

// Clamp to the sample range, then truncate toward zero (not round).
inline int8_t n_ClampSample(float f)
{
    f = f < kSampleMin ? kSampleMin : f;
    f = f > kSampleMax ? kSampleMax : f;
    return int8_t(int(f));
}

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
    float work[64];
    for(int v = 0; v < 8; ++v)
        IdctColumn(work + v, p_coefficients + v);
    for(int y = 0; y < 8; ++y)
        IdctRow(p_output + 8 * y, work + 8 * y);
    for(int i = 0; i < 64; ++i)
        p_output[i] *= kFinalScale;
}

void StoreBlock(const float *p_coefficients, int8_t *p_dest, int n_stride)
{
    float samples[64];
    InverseDct(samples, p_coefficients);
    for(int y = 0; y < 8; ++y) {
        for(int x = 0; x < 8; ++x)
            p_dest[x] = n_ClampSample(samples[8 * y + x]);
        p_dest += n_stride;
    }
}
