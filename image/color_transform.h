// The colour transforms that fit a picture to a display, shared by every
// format; both work on the 0xAARRGGBB pixels in place.
//
//   background  every pixel is put over the opaque colour 0xRRGGBB: each
//               channel c of alpha a becomes
//                   (c * a + bg * (255 - a) + 127) / 255
//               (integer division; no product lies halfway, so this rounds
//               to nearest), and alpha becomes 255
//   invert      every colour channel c becomes 255 - c; alpha stays
#ifndef TARNWICK_IMAGE_COLOR_TRANSFORM_H
#define TARNWICK_IMAGE_COLOR_TRANSFORM_H

#include <cstdint>

#include "image.h"

namespace tarnwick {

// n_background is 0xRRGGBB (bits 24-31 are ignored).
void PutOverBackground(Image &image, uint32_t n_background);

void InvertColors(Image &image);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_COLOR_TRANSFORM_H
