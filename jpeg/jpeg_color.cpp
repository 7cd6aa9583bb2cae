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
// the red, green and blue lanes.
//
// The assemblers expect what the frame header guarantees: a plane allocated
// for each component, upsampling factors of at least 1, and planes
// sized from the same frame width and height as the Image. The planes are
// then read only up to ceil(width / n_h_upsample) columns and
// ceil(height / n_v_upsample) rows, which their padded size always covers;
// samples that no block wrote are zero (level 128), since the planes are
// allocated zero-filled.
#include "jpeg_color.h"

namespace tarnwick {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
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
        tables.cr_to_r[i] = int16_t(c * 1.402f);
        tables.cb_to_g[i] = int16_t(c * -0.34414f);
        tables.cr_to_g[i] = int16_t(c * -0.71414f);
        tables.cb_to_b[i] = int16_t(c * 1.772f);
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

// The usual frame: Y at full resolution, then Cb and Cr sampled alike. Each pixel is YccToPixel of its Y sample and of the Cb and
// Cr samples that cover it, which is what the collecting word gives; here the
// chroma terms of each Cb, Cr pair are looked up once per image row for the
// n_h_upsample pixels they cover, and the word is never built.
bool b_IsUsualYccFrame(const FrameComponent *p_components)
{
    const FrameComponent &luma = p_components[0], &cb = p_components[1], &cr = p_components[2];
    return luma.n_h_upsample == 1 && luma.n_v_upsample == 1 &&
           cb.n_h_upsample == cr.n_h_upsample && cb.n_v_upsample == cr.n_v_upsample;
}

template <int kRepeat>
void ConvertUsualRow(uint32_t *p_row, int n_width, const int8_t *p_luma, const int8_t *p_cb, const int8_t *p_cr,
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

void AssembleUsualYccImage(Image &image, const FrameComponent *p_components, int8_t *const *p_planes,
                           const uint16_t *n_plane_widths, const YccTables &tables)
{
    const int n_hs = p_components[1].n_h_upsample, n_vs = p_components[1].n_v_upsample;
    for(int y = 0; y < image.n_height; ++y) {
        uint32_t *p_row = image.p_buffer + size_t(y) * size_t(image.n_width);
        const int8_t *p_luma = p_planes[0] + size_t(y) * n_plane_widths[0];
        const int8_t *p_cb = p_planes[1] + size_t(y / n_vs) * n_plane_widths[1];
        const int8_t *p_cr = p_planes[2] + size_t(y / n_vs) * n_plane_widths[2];
        if(n_hs == 1)
            ConvertUsualRow<1>(p_row, image.n_width, p_luma, p_cb, p_cr, tables);
        else if(n_hs == 2)
            ConvertUsualRow<2>(p_row, image.n_width, p_luma, p_cb, p_cr, tables);
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
    if(b_IsUsualYccFrame(p_components)) {
        AssembleUsualYccImage(image, p_components, p_planes, n_plane_widths, tables);
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
