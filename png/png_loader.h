// PNG loader: every colour type (gray, truecolour, palette, gray with alpha,
// truecolour with alpha), bit depths 1 to 16, Adam7 interlacing and tRNS
// transparency, decoded by libpng. Without libpng (TARNWICK_PNG off) the
// same entry point recognises a PNG file by its signature and refuses it with
// kPngNotBuiltIn.
#ifndef TARNWICK_PNG_LOADER_H
#define TARNWICK_PNG_LOADER_H

#include "image.h"
#include "image_input.h"

namespace tarnwick {

// Reads the PNG picture into a new Image of 0xAARRGGBB pixels; nullptr on any
// refusal, with everything released and the file closed. *p_failure gets
// the cause (kNone with an Image).
Image *LoadPngImage(const ImageInput &input, LoadFailure *p_failure);

// Whether this build decodes PNG files (TARNWICK_PNG was on).
bool b_IsPngSupportBuiltIn();

} // namespace tarnwick

#endif // TARNWICK_PNG_LOADER_H
