// Writes an Image as a C header: comment, include guard, the pixel array
// (plain or run-length packed), width and height constants, and optionally the
// source text of the unpacking function p_DecompressRLEImage.
#ifndef TARNWICK_HEADER_WRITER_H
#define TARNWICK_HEADER_WRITER_H

#include "image.h"

namespace tarnwick {

// True when the whole header was written, flushed and closed. On any failure
// returns false and removes the partly written file if it is a regular file
// that this call created or truncated. Prints nothing.
bool WriteImageHeader(const Image &image, bool b_gray, bool b_rle, bool b_rle_decoder,
                      const char *p_image_path, const char *p_header_path);

} // namespace tarnwick

#endif // TARNWICK_HEADER_WRITER_H
