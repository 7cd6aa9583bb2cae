// The decoded picture that every loader produces and the header writer reads,
// and the causes a loader gives when it produces none.
//
// Pixels are row-major, top row first, no gap between rows: the pixel at
// (x, y) is p_buffer[y * n_width + x]. As loaded, each element is 0xAARRGGBB
// (alpha 24-31, red 16-23, green 8-15, blue 0-7); sources without alpha give
// alpha 0xFF. After ReduceToGray each element holds one gray value 0..255 in
// bits 0-7 and zero above; ConvertToOutputFormat (output_format.h) likewise
// turns the pixels into the items of the other output formats.
#ifndef TARNWICK_IMAGE_IMAGE_H
#define TARNWICK_IMAGE_IMAGE_H

#include <cstdint>

namespace tarnwick {

struct Image {
    uint8_t n_bpp;        // bit depth of the source's colour values
    uint8_t b_grayscale;  // the source had a single gray channel
    uint8_t b_alpha;      // the source's pixels carried alpha
    int32_t n_width;      // pixels per row
    int32_t n_height;     // number of rows
    uint32_t *p_buffer;   // n_width * n_height pixels
};

// The pixel array is one block of n_width * n_height * 4 bytes. Its byte size
// must fit in 32 bits, so an image holds fewer than 2^30 pixels; a larger one
// (or a negative size) is treated like a failed allocation.
constexpr uint64_t kMaxImageBytes = 0xFFFFFFFFull;

// The sizes an Image may have: neither negative, and a pixel array whose
// byte count fits in 32 bits.
inline bool b_IsAllowedImageSize(int32_t n_width, int32_t n_height)
{
    return n_width >= 0 && n_height >= 0 && uint64_t(n_width) * uint64_t(n_height) * 4u <= kMaxImageBytes;
}

// Allocates the record and a pixel array of n_width * n_height pixels (a
// block of memory_block.h: 2 MiB or more are mapped in huge pages), with the
// descriptive fields zeroed and the pixels uninitialised. Returns nullptr
// when either size is negative, the byte count does not fit in 32 bits, or an
// allocation fails; nothing is held then.
Image *AllocateImage(int32_t n_width, int32_t n_height);

// Releases the pixel array and then the record; accepts nullptr. The pixel
// array is a block of memory_block.h, released with the byte count of the
// sizes it was allocated with: n_width and n_height must not change while
// the Image holds it.
void FreeImage(Image *p_image);

// Number of pixels of the image, computed without overflow.
inline uint64_t n_PixelCount(const Image &image)
{
    return uint64_t(uint32_t(image.n_width)) * uint64_t(uint32_t(image.n_height));
}

// The gray value 0..255 of one 0xAARRGGBB pixel: 0.299 R + 0.587 G + 0.114 B,
// truncated; alpha is ignored. The weights are the single-precision values
// nearest to 0.299, 0.587 and 0.114, widened to double. Their sum is slightly
// above 1, so a pixel whose three channels are equal keeps its value; the
// plain double constants would not (0xFF010101 would become 0).
constexpr double kGrayWeightRed = 0.29899999499320984;
constexpr double kGrayWeightGreen = 0.5870000123977661;
constexpr double kGrayWeightBlue = 0.11400000005960464;

// The same value in integers: the weights times 2^27, rounded so that each
// of the 2^24 colours gives exactly what the double products and sums, then
// the truncation, give (the tests check every one). Their 64-bit sum avoids
// converting every pixel to double and back.
constexpr uint64_t kGrayShift = 27;
constexpr uint64_t kGrayFactorRed = 40131100;   // about 0.299 * 2^27
constexpr uint64_t kGrayFactorGreen = 78785808; // about 0.587 * 2^27
constexpr uint64_t kGrayFactorBlue = 15300821;  // about 0.114 * 2^27

inline uint32_t n_GrayValue(uint32_t n_pixel)
{
    const uint64_t n_gray = (((n_pixel >> 16) & 0xFF) * kGrayFactorRed + ((n_pixel >> 8) & 0xFF) * kGrayFactorGreen +
                             (n_pixel & 0xFF) * kGrayFactorBlue) >>
                            kGrayShift;
    return n_gray > 255 ? 255 : uint32_t(n_gray);
}

// Replaces every pixel by its n_GrayValue (bits 8-31 become zero). The
// descriptive fields stay.
void ReduceToGray(Image &image);

// The same for n_pixels pixels from p_pixels on.
void ReducePixelsToGray(uint32_t *p_pixels, uint64_t n_pixels);

// Why a loader returned no Image. Every loader reports exactly one cause; a
// variant of a format that the loader recognises but does not decode has a
// value of its own, so that the user learns what to convert the file to.
enum class LoadFailure : uint8_t {
    kNone,               // the load succeeded
    kCannotOpen,         // the file cannot be opened for reading
    kNotJpeg,            // no JPEG start-of-image marker at the start
    kNotPng,             // no PNG signature at the start
    kTruncated,          // the file ends before the picture does
    kCorruptData,        // a field or the coded data breaks the format's rules
    kTooLarge,           // the declared picture exceeds what the loader accepts
    kInputTooLarge,      // a pipe gave more than kMaxPipedBytes (image_input.h)
    kEmptyImage,         // the picture is 0 pixels wide or high: its array would have no items
    kOutOfMemory,        // an allocation failed
    kArithmeticJpeg,     // SOF9..SOF11, SOF13..SOF15, DAC
    kLosslessJpeg,       // SOF3
    kHierarchicalJpeg,   // SOF5..SOF7, DHP
    kJpegPrecision,      // a sample precision other than 8 bits (12-bit JPEG)
    kTwoComponentJpeg,   // a frame of 2 components
    kFourComponentJpeg,  // a frame of 4 components with an Adobe transform other than CMYK or YCCK
    kJpegColorTransform, // an Adobe colour transform other than RGB or YCbCr on 3 components
    kJpegSampling,       // sampling factors that are not whole multiples of every component's
    kTooManyScans,       // more scans than the JPEG decoder's limit
    kUnsupportedJpeg,    // other JPEG features: DNL, the JPG extension frame
    kUnsupportedTgaClass,// a TGA image type other than 1, 2, 3, 9, 10, 11
    kUnsupportedTgaDepth,// a TGA pixel or colour-map depth other than 16, 24, 32
    kPngNotBuiltIn,      // a PNG file, and the program was built without libpng
    kNotBmp,             // no BMP signature ("BM") at the start
    kUnsupportedBmpHeader,      // an info header of another size than 12, 40, 52, 56, 108, 124 (OS/2 2.x)
    kUnsupportedBmpDepth,       // bits per pixel other than 1, 2, 4, 8, 16, 24, 32
    kUnsupportedBmpCompression, // a BMP compression value that no version of the format defines
    kEmbeddedBmp,        // BI_JPEG or BI_PNG: a whole JPEG or PNG file stands for the pixels
    kCmykBmp,            // BI_CMYK, BI_CMYKRLE8, BI_CMYKRLE4
    kBmpMasks,           // BMP colour masks that are not one run of bits each, overlap or reach past the pixel
    kNotGif,             // no GIF87a or GIF89a signature at the start
    kNotWebp,            // no RIFF container of form WEBP at the start
    kNoSuchFrame,        // the animation has no frame of the number asked for
    kWebpLaterFrame,     // a frame after the first of an animated WebP file was asked for
    kGifNotBuiltIn,      // a GIF file, and the program was built without giflib
    kWebpNotBuiltIn,     // a WebP file, and the program was built without libwebp
};

// A few words naming the cause, lower case, no line end ("arithmetic-coded
// JPEG is not supported"); never nullptr.
const char *DescribeLoadFailure(LoadFailure failure);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_IMAGE_H
