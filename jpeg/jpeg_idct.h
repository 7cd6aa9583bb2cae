// Inverse DCT of one 8x8 block, after the factorisation of Arai, Agui and
// Nakajima (AAN), in single precision.
//
// The input is 64 dequantised coefficients in natural order (index 8 * u + v,
// u the vertical and v the horizontal frequency), each already multiplied by
// s[u] * s[v] with s[0] = 1 and s[k] = sqrt(2) * cos(k * pi / 16): the
// quantisation table parser folds those scale factors into its factors, so
// the butterfly below needs only five multiplications per line. The output is
// the two-dimensional inverse DCT of ITU-T T.81 (A.3.3), still level-shifted
// (samples around 0, not 128), in natural order 8 * y + x.
#ifndef TARNWICK_JPEG_IDCT_H
#define TARNWICK_JPEG_IDCT_H

#include <cstdint>

namespace tarnwick {

// s[0] = 1, s[j] = sqrt(2) * cos(j * pi / 16).
extern const float kIdctScaleFactors[8];

// One 8-point butterfly down a column: eight values 8 apart in, eight out.
void IdctColumn(float *p_work, const float *p_coefficients);
// One 8-point butterfly along a row: eight consecutive values in and out.
void IdctRow(float *p_output, const float *p_work);
// Column pass, row pass, then the final scale by 1/8. It runs the butterfly
// on eight lines at once, and gives exactly the bits of IdctColumn on every
// column, IdctRow on every row and the scale.
void InverseDct(float *p_output, const float *p_coefficients);

// Inverse DCT of 64 dequantised, pre-scaled coefficients (natural order) into
// an 8x8 block of clamped, truncated samples at p_dest, rows n_stride apart.
void StoreBlock(const float *p_coefficients, int8_t *p_dest, int n_stride);
// StoreBlock of the coefficients p_values[n] * p_factors[n] (natural order),
// each product formed in single precision as a scan forms it: the quantised
// values and the factors (with the scale factors folded in) are given apart,
// and multiplied here, eight at a time where the SIMD paths are built.
void StoreQuantisedBlock(const int16_t *p_values, const float *p_factors, int8_t *p_dest, int n_stride);

// The same for a block whose coefficients are all zero but the first,
// f_dc: every butterfly then passes that value through unchanged (adding or
// subtracting zeros is exact), so all 64 samples are f_dc / 8, clamped and
// truncated, exactly as StoreBlock gives them.
void StoreDcOnlyBlock(float f_dc, int8_t *p_dest, int n_stride);

} // namespace tarnwick

#endif // TARNWICK_JPEG_IDCT_H
