// Colour conversion and upsampling: the sample planes become the Image.
//
// A plane sample stands for an n_h_upsample x n_v_upsample rectangle of
// pixels, cut at the right and bottom edges of the image; upsampling is pure
// replication. Components are taken by their position in the frame, whatever
// their IDs. The pixel array itself serves as the collecting word while the
// planes are merged: in a YCbCr frame, component 0 goes into bits 0-7 (Y,
// clearing the rest of the word), component 1 is ORed into bits 8-15 (Cb),
// and component 2, taken as Cr, turns each collected word into its final
// 0xFFRRGGBB pixel. In an RGB frame the three components go straight into
// the red, green and blue lanes. In a CMYK or YCCK frame the first three
// components are collected in bits 0-7, 8-15 and 16-23, and the fourth, K,
// turns the word into its pixel.
//
// The assemblers expect what the frame header guarantees: a plane allocated
// for each component, upsampling factors of at least 1, and planes
// sized from the same frame width and height as the Image. The planes are
// then read only up to ceil(width / n_h_upsample) columns and
// ceil(height / n_v_upsample) rows, which their padded size always covers;
// samples that no block wrote are zero (level 128), since the planes are
// allocated zero-filled.
#include "jpeg_color.h"

#include <cstddef>

#include "simd.h"

namespace tarnwick {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
// The chroma factors of the YCbCr to RGB conversion, in single precision.
constexpr float kCrToRed = 1.402f;
constexpr float kCbToGreen = -0.34414f;
constexpr float kCrToGreen = -0.71414f;
constexpr float kCbToBlue = 1.772f;
constexpr uint32_t kGrayToRgb = 0x010101u;

inline uint8_t LevelShift(int8_t n_sample)
{
    return uint8_t(n_sample + 128);
}

inline int ClampChannel(int n_value)
{
    return n_value < 0 ? 0 : (n_value > 255 ? 255 : n_value);
}

// Walks one image row in runs of n_repeat pixels, the last run cut at the
// row's end; each run takes the next sample of the plane row, level-shifted,
// and apply(pixel, sample) is called for every pixel of the run.
template <int kRepeat, typename Apply>
inline void WalkRowInRunsOf(uint32_t *p_row, int n_width, const int8_t *p_samples, Apply apply)
{
    int x = 0;
    for(; x + kRepeat <= n_width; x += kRepeat, ++p_samples) {
        const uint8_t n_sample = LevelShift(*p_samples);
        for(int i = 0; i < kRepeat; ++i)
            apply(p_row[x + i], n_sample);
    }
    for(; x < n_width; ++x)
        apply(p_row[x], LevelShift(*p_samples));
}

// The same, with the common run lengths 1 and 2 (full and half resolution)
// known at compile time so that their loops unroll and vectorise.
template <typename Apply>
inline void WalkRow(uint32_t *p_row, int n_width, const int8_t *p_samples, int n_repeat, Apply apply)
{
    if(n_repeat == 1) {
        WalkRowInRunsOf<1>(p_row, n_width, p_samples, apply);
        return;
    }
    if(n_repeat == 2) {
        WalkRowInRunsOf<2>(p_row, n_width, p_samples, apply);
        return;
    }
    for(int x = 0; x < n_width; ++p_samples) {
        const uint8_t n_sample = LevelShift(*p_samples);
        const int n_run_end = n_width - x > n_repeat ? x + n_repeat : n_width;
        for(; x < n_run_end; ++x)
            apply(p_row[x], n_sample);
    }
}

} // namespace

void BuildYccTables(YccTables &tables)
{
    for(int i = 0; i < 256; ++i) {
        const float c = float(i - 128);
        tables.cr_to_r[i] = int16_t(c * kCrToRed);
        tables.cb_to_g[i] = int16_t(c * kCbToGreen);
        tables.cr_to_g[i] = int16_t(c * kCrToGreen);
        tables.cb_to_b[i] = int16_t(c * kCbToBlue);
    }
}

namespace {

// The chroma terms of one Cb, Cr pair: what the tables add to Y for each
// channel.
struct ChromaTerms {
    int n_red;
    int n_green;
    int n_blue;
};

inline ChromaTerms LookUpChromaTerms(const YccTables &tables, uint8_t n_cb, uint8_t n_cr)
{
    return ChromaTerms{tables.cr_to_r[n_cr], tables.cb_to_g[n_cb] + tables.cr_to_g[n_cr], tables.cb_to_b[n_cb]};
}

inline uint32_t n_PixelOf(int n_y, const ChromaTerms &terms)
{
    int n_red = n_y + terms.n_red;
    int n_green = n_y + terms.n_green;
    int n_blue = n_y + terms.n_blue;
    // Most pixels need no clamping: one test for all three channels (a
    // negative value is a large unsigned one).
    if((unsigned(n_red) | unsigned(n_green) | unsigned(n_blue)) > 255u) {
        n_red = ClampChannel(n_red);
        n_green = ClampChannel(n_green);
        n_blue = ClampChannel(n_blue);
    }
    return kOpaque | uint32_t(n_red) << 16 | uint32_t(n_green) << 8 | uint32_t(n_blue);
}

// The frame that nearly every encoder writes: Y at full resolution, and Cb
// and Cr upsampled alike (4:4:4, 4:2:2, 4:2:0, 4:4:0, 4:1:1). Each pixel is
// YccToPixel of its Y sample and of the Cb and Cr samples that cover it,
// which is what the collecting word gives; here the chroma terms of each Cb,
// Cr pair are looked up once per image row for the n_h_upsample pixels they
// cover, and the word is never built.
bool b_HasFullLumaAndMatchingChroma(const FrameComponent *p_components)
{
    const FrameComponent &luma = p_components[0], &cb = p_components[1], &cr = p_components[2];
    return luma.n_h_upsample == 1 && luma.n_v_upsample == 1 &&
           cb.n_h_upsample == cr.n_h_upsample && cb.n_v_upsample == cr.n_v_upsample;
}

template <int kRepeat>
void ConvertMatchingChromaRow(uint32_t *p_row, int n_width, const int8_t *p_luma, const int8_t *p_cb, const int8_t *p_cr,
                     const YccTables &tables)
{
    int x = 0;
    for(; x + kRepeat <= n_width; x += kRepeat, ++p_cb, ++p_cr) {
        const ChromaTerms terms = LookUpChromaTerms(tables, LevelShift(*p_cb), LevelShift(*p_cr));
        for(int i = 0; i < kRepeat; ++i)
            p_row[x + i] = n_PixelOf(LevelShift(p_luma[x + i]), terms);
    }
    if(x < n_width) {
        const ChromaTerms terms = LookUpChromaTerms(tables, LevelShift(*p_cb), LevelShift(*p_cr));
        for(; x < n_width; ++x)
            p_row[x] = n_PixelOf(LevelShift(p_luma[x]), terms);
    }
}

#if TARNWICK_SIMD_SSE2
// Chroma samples whose terms are worked out at a time, and the pixels of one
// image row they cover (a multiple of 16).
constexpr int kChromaChunk = 256;

// The chroma terms of one chunk of a chroma row: red, green and blue, what
// LookUpChromaTerms gives for each Cb, Cr pair.
struct ChromaTermRow {
    alignas(16) int16_t red[kChromaChunk];
    alignas(16) int16_t green[kChromaChunk];
    alignas(16) int16_t blue[kChromaChunk];
};

// trunc(c * f) for the eight chroma values c of words (signed 16-bit),
// in single precision, as BuildYccTables forms each entry: the same product,
// rounded the same way, truncated the same way.
inline __m128i TruncatedProducts(__m128i words, float f_factor)
{
    const __m128 factor = _mm_set1_ps(f_factor);
    const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16);
    const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16);
    const __m128i low_products = _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(low), factor));
    const __m128i high_products = _mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(high), factor));
    return _mm_packs_epi32(low_products, high_products);
}

// Eight signed plane samples, sign-extended to 16-bit words. A sample is the
// chroma value c = level - 128 that the tables are indexed by.
inline __m128i SignedWords(const int8_t *p_samples)
{
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p_samples));
    return _mm_srai_epi16(_mm_unpacklo_epi8(bytes, bytes), 8);
}

// The terms of n_count chroma samples (a multiple of eight, at most
// kChromaChunk), eight at a time.
void ComputeChromaTerms(const int8_t *p_cb, const int8_t *p_cr, int n_count, ChromaTermRow &terms)
{
    for(int i = 0; i < n_count; i += 8) {
        const __m128i cb = SignedWords(p_cb + i), cr = SignedWords(p_cr + i);
        _mm_store_si128(reinterpret_cast<__m128i *>(terms.red + i), TruncatedProducts(cr, kCrToRed));
        _mm_store_si128(reinterpret_cast<__m128i *>(terms.green + i),
                        _mm_add_epi16(TruncatedProducts(cb, kCbToGreen), TruncatedProducts(cr, kCrToGreen)));
        _mm_store_si128(reinterpret_cast<__m128i *>(terms.blue + i), TruncatedProducts(cb, kCbToBlue));
    }
}

// Eight pixels of one channel: the level-shifted luma words plus the terms,
// clamped to 0..255 by the unsigned saturation of the pack; two such halves
// make sixteen bytes.
inline __m128i Channel(__m128i luma_low, __m128i luma_high, __m128i terms_low, __m128i terms_high)
{
    return _mm_packus_epi16(_mm_add_epi16(luma_low, terms_low), _mm_add_epi16(luma_high, terms_high));
}

// Sixteen pixels 0xFFRRGGBB from the channels' bytes, stored in order.
inline void StorePixels(uint32_t *p_out, __m128i red, __m128i green, __m128i blue)
{
    const __m128i opaque = _mm_set1_epi8(-1);
    const __m128i blue_green_low = _mm_unpacklo_epi8(blue, green), blue_green_high = _mm_unpackhi_epi8(blue, green);
    const __m128i red_alpha_low = _mm_unpacklo_epi8(red, opaque), red_alpha_high = _mm_unpackhi_epi8(red, opaque);
    __m128i *p_pixels = reinterpret_cast<__m128i *>(p_out);
    _mm_storeu_si128(p_pixels, _mm_unpacklo_epi16(blue_green_low, red_alpha_low));
    _mm_storeu_si128(p_pixels + 1, _mm_unpackhi_epi16(blue_green_low, red_alpha_low));
    _mm_storeu_si128(p_pixels + 2, _mm_unpacklo_epi16(blue_green_high, red_alpha_high));
    _mm_storeu_si128(p_pixels + 3, _mm_unpackhi_epi16(blue_green_high, red_alpha_high));
}

// Pixels x0 .. x0 + 16 n - 1 of a row whose chroma terms start at the chroma
// sample of x0 (n_hs 1 or 2 pixels to a sample).
template <int kRepeat>
void ConvertRowSpan(uint32_t *p_row, const int8_t *p_luma, int x0, int n_groups, const ChromaTermRow &terms)
{
    const __m128i flip = _mm_set1_epi8(-128);
    const __m128i zero = _mm_setzero_si128();
    for(int g = 0; g < n_groups; ++g) {
        const int x = x0 + 16 * g;
        // Luma level = sample + 128: the sign bit flipped, as unsigned bytes.
        const __m128i luma = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p_luma + x)), flip);
        const __m128i luma_low = _mm_unpacklo_epi8(luma, zero), luma_high = _mm_unpackhi_epi8(luma, zero);
        const int n_term = 16 * g / kRepeat;
        __m128i red_low, red_high, green_low, green_high, blue_low, blue_high;
        const __m128i red = _mm_load_si128(reinterpret_cast<const __m128i *>(terms.red + n_term));
        const __m128i green = _mm_load_si128(reinterpret_cast<const __m128i *>(terms.green + n_term));
        const __m128i blue = _mm_load_si128(reinterpret_cast<const __m128i *>(terms.blue + n_term));
        if(kRepeat == 2) { // each term covers two pixels
            red_low = _mm_unpacklo_epi16(red, red), red_high = _mm_unpackhi_epi16(red, red);
            green_low = _mm_unpacklo_epi16(green, green), green_high = _mm_unpackhi_epi16(green, green);
            blue_low = _mm_unpacklo_epi16(blue, blue), blue_high = _mm_unpackhi_epi16(blue, blue);
        } else {
            red_low = red, red_high = _mm_load_si128(reinterpret_cast<const __m128i *>(terms.red + n_term + 8));
            green_low = green, green_high = _mm_load_si128(reinterpret_cast<const __m128i *>(terms.green + n_term + 8));
            blue_low = blue, blue_high = _mm_load_si128(reinterpret_cast<const __m128i *>(terms.blue + n_term + 8));
        }
        StorePixels(p_row + x, Channel(luma_low, luma_high, red_low, red_high),
                    Channel(luma_low, luma_high, green_low, green_high),
                    Channel(luma_low, luma_high, blue_low, blue_high));
    }
}

// A frame of full-resolution luma and matching chroma, with one or two
// pixels to a chroma sample, sixteen pixels at a time: the chroma terms of
// each chroma row are worked out once, eight at a time, for all the
// n_v_upsample image rows that share it. The pixels past the last whole
// group of sixteen are converted one by one, with the tables.
template <int kRepeat>
void AssembleMatchingChromaImageSse2(Image &image, const FrameComponent *p_components, int8_t *const *p_planes,
                               const uint16_t *n_plane_widths, const YccTables &tables)
{
    const int n_width = image.n_width;
    const int n_vs = p_components[1].n_v_upsample;
    const int n_groups = n_width / 16;
    constexpr int kChunkGroups = kChromaChunk * kRepeat / 16;
    ChromaTermRow terms;
    for(int y0 = 0; y0 < image.n_height; y0 += n_vs) {
        const int y_end = image.n_height - y0 > n_vs ? y0 + n_vs : image.n_height;
        const int8_t *p_cb = p_planes[1] + size_t(y0 / n_vs) * n_plane_widths[1];
        const int8_t *p_cr = p_planes[2] + size_t(y0 / n_vs) * n_plane_widths[2];
        for(int g0 = 0; g0 < n_groups; g0 += kChunkGroups) {
            const int n_chunk_groups = n_groups - g0 < kChunkGroups ? n_groups - g0 : kChunkGroups;
            const int n_first_sample = 16 * g0 / kRepeat;
            ComputeChromaTerms(p_cb + n_first_sample, p_cr + n_first_sample, 16 * n_chunk_groups / kRepeat, terms);
            for(int y = y0; y < y_end; ++y)
                ConvertRowSpan<kRepeat>(image.p_buffer + size_t(y) * size_t(n_width),
                                        p_planes[0] + size_t(y) * n_plane_widths[0], 16 * g0, n_chunk_groups,
                                        terms);
        }
        for(int y = y0; y < y_end; ++y) {
            uint32_t *p_row = image.p_buffer + size_t(y) * size_t(n_width);
            const int8_t *p_luma = p_planes[0] + size_t(y) * n_plane_widths[0];
            for(int x = 16 * n_groups; x < n_width; ++x)
                p_row[x] = n_PixelOf(LevelShift(p_luma[x]), LookUpChromaTerms(tables, LevelShift(p_cb[x / kRepeat]),
                                                                                LevelShift(p_cr[x / kRepeat])));
        }
    }
}
#endif

void AssembleMatchingChromaImage(Image &image, const FrameComponent *p_components, int8_t *const *p_planes,
                           const uint16_t *n_plane_widths, const YccTables &tables)
{
    const int n_hs = p_components[1].n_h_upsample, n_vs = p_components[1].n_v_upsample;
#if TARNWICK_SIMD_SSE2
    if(n_hs == 1) {
        AssembleMatchingChromaImageSse2<1>(image, p_components, p_planes, n_plane_widths, tables);
        return;
    }
    if(n_hs == 2) {
        AssembleMatchingChromaImageSse2<2>(image, p_components, p_planes, n_plane_widths, tables);
        return;
    }
#endif
    for(int y = 0; y < image.n_height; ++y) {
        uint32_t *p_row = image.p_buffer + size_t(y) * size_t(image.n_width);
        const int8_t *p_luma = p_planes[0] + size_t(y) * n_plane_widths[0];
        const int8_t *p_cb = p_planes[1] + size_t(y / n_vs) * n_plane_widths[1];
        const int8_t *p_cr = p_planes[2] + size_t(y / n_vs) * n_plane_widths[2];
        if(n_hs == 1)
            ConvertMatchingChromaRow<1>(p_row, image.n_width, p_luma, p_cb, p_cr, tables);
        else if(n_hs == 2)
            ConvertMatchingChromaRow<2>(p_row, image.n_width, p_luma, p_cb, p_cr, tables);
        else
            for(int x = 0; x < image.n_width; ++x)
                p_row[x] = n_PixelOf(LevelShift(p_luma[x]), LookUpChromaTerms(tables, LevelShift(p_cb[x / n_hs]),
                                                                                 LevelShift(p_cr[x / n_hs])));
    }
}

} // namespace

uint32_t YccToPixel(const YccTables &tables, uint8_t n_y, uint8_t n_cb, uint8_t n_cr)
{
    return n_PixelOf(n_y, LookUpChromaTerms(tables, n_cb, n_cr));
}

void AssembleColorImage(Image &image, const FrameComponent *p_components,
                        int8_t *const *p_planes, const uint16_t *n_plane_widths)
{
    YccTables tables;
    BuildYccTables(tables);
    if(b_HasFullLumaAndMatchingChroma(p_components)) {
        AssembleMatchingChromaImage(image, p_components, p_planes, n_plane_widths, tables);
        return;
    }
    const int n_width = image.n_width;
    const int n_height = image.n_height;
    // Row by row, the three components one after the other over the same
    // row: each pixel still sees them in frame order, and the row stays in
    // the cache between them.
    for(int y = 0; y < n_height; ++y) {
        uint32_t *p_row = image.p_buffer + size_t(y) * size_t(n_width);
        for(int j = 0; j < 3; ++j) {
            const FrameComponent &component = p_components[j];
            const int n_shift = 8 * j;
            const int n_hs = component.n_h_upsample;
            // A band of n_v_upsample image rows shares one plane row.
            const int8_t *p_plane_row = p_planes[j] + size_t(y / component.n_v_upsample) * n_plane_widths[j];
            if(j == 0) { // the first component starts each collecting word
                WalkRow(p_row, n_width, p_plane_row, n_hs, [n_shift](uint32_t &n_pixel, uint8_t n_sample) {
                    n_pixel = uint32_t(n_sample) << n_shift;
                });
            } else if(j == 1) {
                WalkRow(p_row, n_width, p_plane_row, n_hs, [n_shift](uint32_t &n_pixel, uint8_t n_sample) {
                    n_pixel |= uint32_t(n_sample) << n_shift;
                });
            } else {
                WalkRow(p_row, n_width, p_plane_row, n_hs, [&tables](uint32_t &n_pixel, uint8_t n_cr) {
                    n_pixel = YccToPixel(tables, uint8_t(n_pixel), uint8_t(n_pixel >> 8), n_cr);
                });
            }
        }
    }
}

void AssembleRgbImage(Image &image, const FrameComponent *p_components, int8_t *const *p_planes,
                      const uint16_t *n_plane_widths)
{
    const int n_width = image.n_width;
    for(int y = 0; y < image.n_height; ++y) {
        uint32_t *p_row = image.p_buffer + size_t(y) * size_t(n_width);
        for(int j = 0; j < 3; ++j) {
            const FrameComponent &component = p_components[j];
            const int n_shift = 16 - 8 * j; // red, green, blue
            const int8_t *p_plane_row = p_planes[j] + size_t(y / component.n_v_upsample) * n_plane_widths[j];
            if(j == 0) {
                WalkRow(p_row, n_width, p_plane_row, component.n_h_upsample,
                        [](uint32_t &n_pixel, uint8_t n_red) { n_pixel = kOpaque | uint32_t(n_red) << 16; });
            } else {
                WalkRow(p_row, n_width, p_plane_row, component.n_h_upsample,
                        [n_shift](uint32_t &n_pixel, uint8_t n_sample) { n_pixel |= uint32_t(n_sample) << n_shift; });
            }
        }
    }
}

namespace {

// An ink value and black as Adobe stores them (inverted): ink * black / 255,
// rounded to nearest (255 is odd, so there is no tie).
inline uint32_t n_InkTimesBlack(uint32_t n_ink, uint32_t n_black)
{
    return (n_ink * n_black + 127) / 255;
}

// Four components row by row: the first three collected into bits 0-7, 8-15
// and 16-23 of each pixel, then pixel = to_pixel(collected word, K sample).
template <typename ToPixel>
void AssembleFourComponents(Image &image, const FrameComponent *p_components, int8_t *const *p_planes,
                            const uint16_t *n_plane_widths, ToPixel to_pixel)
{
    const int n_width = image.n_width;
    for(int y = 0; y < image.n_height; ++y) {
        uint32_t *p_row = image.p_buffer + size_t(y) * size_t(n_width);
        for(int j = 0; j < 4; ++j) {
            const FrameComponent &component = p_components[j];
            const int n_shift = 8 * j;
            const int8_t *p_plane_row = p_planes[j] + size_t(y / component.n_v_upsample) * n_plane_widths[j];
            if(j == 0) {
                WalkRow(p_row, n_width, p_plane_row, component.n_h_upsample,
                        [](uint32_t &n_pixel, uint8_t n_sample) { n_pixel = n_sample; });
            } else if(j < 3) {
                WalkRow(p_row, n_width, p_plane_row, component.n_h_upsample,
                        [n_shift](uint32_t &n_pixel, uint8_t n_sample) { n_pixel |= uint32_t(n_sample) << n_shift; });
            } else {
                WalkRow(p_row, n_width, p_plane_row, component.n_h_upsample,
                        [&to_pixel](uint32_t &n_pixel, uint8_t n_black) { n_pixel = to_pixel(n_pixel, n_black); });
            }
        }
    }
}

// The pixel of stored C, M, Y (bits 0-7, 8-15, 16-23 of the word) and K.
inline uint32_t n_CmykPixel(uint32_t n_word, uint32_t n_black)
{
    return kOpaque | n_InkTimesBlack(n_word & 0xFF, n_black) << 16 |
           n_InkTimesBlack(n_word >> 8 & 0xFF, n_black) << 8 | n_InkTimesBlack(n_word >> 16 & 0xFF, n_black);
}

} // namespace

void AssembleCmykImage(Image &image, const FrameComponent *p_components, int8_t *const *p_planes,
                       const uint16_t *n_plane_widths)
{
    AssembleFourComponents(image, p_components, p_planes, n_plane_widths, n_CmykPixel);
}

void AssembleYcckImage(Image &image, const FrameComponent *p_components, int8_t *const *p_planes,
                       const uint16_t *n_plane_widths)
{
    YccTables tables;
    BuildYccTables(tables);
    AssembleFourComponents(image, p_components, p_planes, n_plane_widths,
                           [&tables](uint32_t n_word, uint8_t n_black) {
                               // R, G, B in bits 16-23, 8-15, 0-7; the stored C, M, Y are
                               // 255 minus each, in the order of the collected word.
                               const uint32_t n_rgb = YccToPixel(tables, uint8_t(n_word), uint8_t(n_word >> 8),
                                                                 uint8_t(n_word >> 16));
                               const uint32_t n_stored_cmy =
                                   (255 - (n_rgb >> 16 & 0xFF)) | (255 - (n_rgb >> 8 & 0xFF)) << 8 |
                                   (255 - (n_rgb & 0xFF)) << 16;
                               return n_CmykPixel(n_stored_cmy, n_black);
                           });
}

void AssembleGrayImage(Image &image, const int8_t *p_plane, uint16_t n_plane_width)
{
    const int8_t *p_plane_row = p_plane;
    for(int y = 0; y < image.n_height; ++y) {
        uint32_t *p_row = image.p_buffer + size_t(y) * size_t(image.n_width);
        WalkRow(p_row, image.n_width, p_plane_row, 1, [](uint32_t &n_pixel, uint8_t n_gray) {
            n_pixel = kOpaque | uint32_t(n_gray) * kGrayToRgb;
        });
        p_plane_row += n_plane_width;
    }
}

} // namespace tarnwick
