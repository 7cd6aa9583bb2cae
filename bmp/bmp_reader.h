// BMP reader: Windows and OS/2 bitmaps (.bmp, .dib), the project's own.
// Palettes of 1, 2, 4 and 8 bits, 16-, 24- and 32-bit pixels, colour masks
// (bit fields) and run-length compression; bmp_reader.cpp describes the
// format and what is refused.
#ifndef TARNWICK_BMP_READER_H
#define TARNWICK_BMP_READER_H

#include "image.h"
#include "image_input.h"

namespace tarnwick {

// Reads the picture into a new Image; nullptr on any refusal, with
// everything released and the file closed. *p_failure gets the cause
// (kNone with an Image).
Image *LoadBmpImage(const ImageInput &input, LoadFailure *p_failure);

} // namespace tarnwick

#endif // TARNWICK_BMP_READER_H
