// Colour assembly: YCbCr to RGB conversion with precomputed chroma terms,
// RGB and gray planes stored as they are, CMYK and YCCK planes turned into
// RGB as ImageMagick turns Adobe's files.
//
// Each table entry i belongs to the chroma value c = i - 128 and holds c times
// its factor, formed in single precision and truncated toward zero. A pixel
// is then Y plus one or two table entries per channel, clamped to 0..255.
#ifndef TARNWICK_JPEG_COLOR_H
#define TARNWICK_JPEG_COLOR_H

#include <cstdint>

#include "image.h"
#include "jpeg_frame.h"

namespace tarnwick {

struct YccTables {
    int16_t cr_to_r[256]; // c * 1.402
    int16_t cb_to_g[256]; // c * -0.34414
    int16_t cr_to_g[256]; // c * -0.71414
    int16_t cb_to_b[256]; // c * 1.772
};

void BuildYccTables(YccTables &tables);
// 0xFFRRGGBB of the level-shifted samples Y, Cb, Cr (each 0..255).
uint32_t YccToPixel(const YccTables &tables, uint8_t n_y, uint8_t n_cb, uint8_t n_cr);

// Fill image.p_buffer from the planes of a frame, plane i belonging to
// components[i]: a three-component frame whose components 0, 1, 2 are Y, Cb,
// Cr (AssembleColorImage) or R, G, B (AssembleRgbImage); a four-component
// frame whose components are C, M, Y, K (AssembleCmykImage) or Y, Cb, Cr, K
// (AssembleYcckImage); or the single plane of a one-component frame.
void AssembleColorImage(Image &image, const FrameComponent *p_components,
                        int8_t *const *p_planes, const uint16_t *n_plane_widths);
void AssembleRgbImage(Image &image, const FrameComponent *p_components,
                      int8_t *const *p_planes, const uint16_t *n_plane_widths);

// CMYK as Adobe stores it, every sample inverted (255 - ink): each channel
// is the stored C, M or Y times the stored K / 255, rounded to nearest, as
// ImageMagick turns such a file into RGB (no colour profile is applied).
// YCCK first turns Y, Cb, Cr into R, G, B with the YCbCr tables, and those
// into the stored C, M, Y as 255 - R, 255 - G, 255 - B.
void AssembleCmykImage(Image &image, const FrameComponent *p_components,
                       int8_t *const *p_planes, const uint16_t *n_plane_widths);
void AssembleYcckImage(Image &image, const FrameComponent *p_components,
                       int8_t *const *p_planes, const uint16_t *n_plane_widths);
void AssembleGrayImage(Image &image, const int8_t *p_plane, uint16_t n_plane_width);

} // namespace tarnwick

#endif // TARNWICK_JPEG_COLOR_H
