// PNG loader: every colour type (gray, truecolour, palette, gray with alpha,
// truecolour with alpha), bit depths 1 to 16, Adam7 interlacing and tRNS
// transparency, decoded by libpng. Without libpng (TARNWICK_PNG off) the
// same entry points recognise a PNG file by its signature and refuse it with
// kPngNotBuiltIn.
#ifndef TARNWICK_PNG_LOADER_H
#define TARNWICK_PNG_LOADER_H

#include "image.h"

namespace tarnwick {

// How the four bytes of a pixel lie in memory as libpng writes them into a
// row. kBgra makes each uint32_t 0xAARRGGBB on a little-endian machine,
// kArgb on a big-endian one.
enum class PixelByteOrder : uint8_t {
    kBgra, // blue, green, red, alpha
    kArgb, // alpha, red, green, blue
};

// The order that gives 0xAARRGGBB pixels on this machine.
PixelByteOrder NativePixelByteOrder();

// Reads the PNG file at p_path into a new Image of 0xAARRGGBB pixels;
// nullptr on any refusal, with everything released and the file closed.
// *p_failure gets the cause (kNone with an Image).
Image *LoadPngImage(const char *p_path, LoadFailure *p_failure);

// LoadPngImage with the pixel bytes in the given order rather than the
// native one: with the other order every pixel comes out byte-swapped.
Image *LoadPngImageInByteOrder(const char *p_path, PixelByteOrder order, LoadFailure *p_failure);

// Whether this build decodes PNG files (TARNWICK_PNG was on).
bool b_IsPngSupportBuiltIn();

} // namespace tarnwick

#endif // TARNWICK_PNG_LOADER_H
