// WebP loader: lossy, lossless and with alpha, and the first frame of an
// animated file, decoded by libwebp. Without libwebp (TARNWICK_WEBP off) the
// same entry point recognises a WebP file by its RIFF header and refuses it
// with kWebpNotBuiltIn.
#ifndef TARNWICK_WEBP_LOADER_H
#define TARNWICK_WEBP_LOADER_H

#include "image.h"
#include "image_input.h"

namespace tarnwick {

// Reads the WebP picture into a new Image of 0xAARRGGBB pixels; nullptr on
// any refusal, with everything released and the file closed. *p_failure
// gets the cause (kNone with an Image). Of an animated file only the first
// frame is read: input.n_frame above 0 is refused with kWebpLaterFrame; a
// still picture ignores it.
Image *LoadWebpImage(const ImageInput &input, LoadFailure *p_failure);

// Whether this build decodes WebP files (TARNWICK_WEBP was on).
bool b_IsWebpSupportBuiltIn();

} // namespace tarnwick

#endif // TARNWICK_WEBP_LOADER_H
