// GIF loader: any frame of a still or animated GIF file, as a viewer shows
// it, decoded by giflib. Without giflib (TARNWICK_GIF off) the same entry
// point recognises a GIF file by its signature and refuses it with
// kGifNotBuiltIn.
#ifndef TARNWICK_GIF_LOADER_H
#define TARNWICK_GIF_LOADER_H

#include "image.h"
#include "image_input.h"

namespace tarnwick {

// Reads frame input.n_frame (0 the first) into a new Image of 0xAARRGGBB
// pixels the size of the file's logical screen; nullptr on any refusal, with
// everything released and the file closed. *p_failure gets the cause (kNone
// with an Image; kNoSuchFrame when the file ends before that frame).
Image *LoadGifImage(const ImageInput &input, LoadFailure *p_failure);

// Whether this build decodes GIF files (TARNWICK_GIF was on).
bool b_IsGifSupportBuiltIn();

} // namespace tarnwick

#endif // TARNWICK_GIF_LOADER_H
