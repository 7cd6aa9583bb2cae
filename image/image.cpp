#include "image.h"

#include <cstdlib>

#include "memory_block.h"
#include "simd.h"

namespace tarnwick {
namespace {

// The byte count of the pixel array, which AllocateImage allocated and
// FreeImage releases with.
size_t n_PixelArrayBytes(int32_t n_width, int32_t n_height)
{
    return size_t(uint64_t(n_width) * uint64_t(n_height) * 4u);
}

} // namespace

Image *AllocateImage(int32_t n_width, int32_t n_height)
{
    if(!b_IsAllowedImageSize(n_width, n_height))
        return nullptr;
    Image *p_image = static_cast<Image *>(std::malloc(sizeof(Image)));
    if(!p_image)
        return nullptr;
    // An empty image still gets a block. A large one is mapped in huge pages.
    p_image->p_buffer = static_cast<uint32_t *>(AllocateBlock(n_PixelArrayBytes(n_width, n_height)));
    if(!p_image->p_buffer) {
        std::free(p_image);
        return nullptr;
    }
    p_image->n_bpp = 0;
    p_image->b_grayscale = 0;
    p_image->b_alpha = 0;
    p_image->n_width = n_width;
    p_image->n_height = n_height;
    return p_image;
}

void FreeImage(Image *p_image)
{
    if(!p_image)
        return;
    FreeBlock(p_image->p_buffer, n_PixelArrayBytes(p_image->n_width, p_image->n_height));
    std::free(p_image);
}

#if TARNWICK_SIMD_SSE2
namespace {

// Four pixels at a time, with n_GrayValue's integer weights: the products of
// the even lanes and of the odd lanes as 64-bit numbers (_mm_mul_epu32),
// summed and shifted. Returns how many pixels it reduced (a multiple of
// four).
uint64_t ReduceToGraySse2(uint32_t *p_pixels, uint64_t n_pixels)
{
    const __m128i byte = _mm_set1_epi32(0xFF);
    const __m128i red_factor = _mm_set1_epi32(int(kGrayFactorRed));
    const __m128i green_factor = _mm_set1_epi32(int(kGrayFactorGreen));
    const __m128i blue_factor = _mm_set1_epi32(int(kGrayFactorBlue));
    uint64_t i = 0;
    for(; i + 4 <= n_pixels; i += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_pixels + i));
        const __m128i red = _mm_and_si128(_mm_srli_epi32(pixels, 16), byte);
        const __m128i green = _mm_and_si128(_mm_srli_epi32(pixels, 8), byte);
        const __m128i blue = _mm_and_si128(pixels, byte);
        const __m128i even = _mm_add_epi64(
            _mm_add_epi64(_mm_mul_epu32(red, red_factor), _mm_mul_epu32(green, green_factor)),
            _mm_mul_epu32(blue, blue_factor));
        const __m128i odd = _mm_add_epi64(_mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(red, 32), red_factor),
                                                        _mm_mul_epu32(_mm_srli_epi64(green, 32), green_factor)),
                                          _mm_mul_epu32(_mm_srli_epi64(blue, 32), blue_factor));
        __m128i gray = _mm_or_si128(_mm_srli_epi64(even, int(kGrayShift)),
                                    _mm_slli_epi64(_mm_srli_epi64(odd, int(kGrayShift)), 32));
        // The clamp of n_GrayValue (which no sum of three bytes reaches).
        const __m128i above = _mm_cmpgt_epi32(gray, byte);
        gray = _mm_or_si128(_mm_andnot_si128(above, gray), _mm_and_si128(above, byte));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p_pixels + i), gray);
    }
    return i;
}

} // namespace
#endif

void ReducePixelsToGray(uint32_t *p_pixels, uint64_t n_pixels)
{
    uint64_t i = 0;
#if TARNWICK_SIMD_SSE2
    i = ReduceToGraySse2(p_pixels, n_pixels);
#endif
    for(; i < n_pixels; ++i)
        p_pixels[i] = n_GrayValue(p_pixels[i]);
}

void ReduceToGray(Image &image)
{
    ReducePixelsToGray(image.p_buffer, n_PixelCount(image));
}

const char *DescribeLoadFailure(LoadFailure failure)
{
    switch(failure) {
    case LoadFailure::kNone: return "no failure";
    case LoadFailure::kCannotOpen: return "the file cannot be opened";
    case LoadFailure::kNotJpeg: return "not a JPEG file (no start-of-image marker)";
    case LoadFailure::kNotPng: return "not a PNG file (no PNG signature)";
    case LoadFailure::kTruncated: return "the file ends before the picture does";
    case LoadFailure::kCorruptData: return "the file's data is corrupt";
    case LoadFailure::kTooLarge: return "the declared picture is too large";
    case LoadFailure::kInputTooLarge: return "the input is too large (more than 1 GiB from a pipe)";
    case LoadFailure::kEmptyImage: return "the picture has no pixels (its width or height is 0)";
    case LoadFailure::kOutOfMemory: return "out of memory";
    case LoadFailure::kArithmeticJpeg: return "arithmetic-coded JPEG is not supported";
    case LoadFailure::kLosslessJpeg: return "lossless JPEG is not supported";
    case LoadFailure::kHierarchicalJpeg: return "hierarchical JPEG is not supported";
    case LoadFailure::kJpegPrecision: return "JPEG samples of other than 8 bits (12-bit JPEG) are not supported";
    case LoadFailure::kTwoComponentJpeg: return "JPEG with two components is not supported";
    case LoadFailure::kFourComponentJpeg:
        return "JPEG with four components whose Adobe colour transform is neither CMYK nor YCCK is not supported";
    case LoadFailure::kJpegColorTransform: return "this JPEG colour transform (Adobe segment) is not supported";
    case LoadFailure::kJpegSampling:
        return "JPEG sampling factors that are not whole multiples of each other (fractional sampling) are not supported";
    case LoadFailure::kTooManyScans: return "the JPEG file has more scans than the decoder accepts";
    case LoadFailure::kUnsupportedJpeg: return "this JPEG variant (DNL marker or JPG extension) is not supported";
    case LoadFailure::kUnsupportedTgaClass: return "this TGA image type is not supported";
    case LoadFailure::kUnsupportedTgaDepth: return "this TGA pixel or colour-map depth is not supported";
    case LoadFailure::kPngNotBuiltIn: return "PNG support was not built in";
    case LoadFailure::kNotBmp: return "not a BMP file (no BMP signature)";
    case LoadFailure::kUnsupportedBmpHeader: return "this BMP header version (OS/2 2.x or unknown) is not supported";
    case LoadFailure::kUnsupportedBmpDepth: return "this BMP bit depth is not supported";
    case LoadFailure::kUnsupportedBmpCompression: return "this BMP compression is not supported";
    case LoadFailure::kEmbeddedBmp: return "BMP with an embedded JPEG or PNG picture is not supported";
    case LoadFailure::kCmykBmp: return "CMYK BMP is not supported";
    case LoadFailure::kBmpMasks: return "BMP colour masks that overlap or are not contiguous are not supported";
    case LoadFailure::kNotGif: return "not a GIF file (no GIF87a or GIF89a signature)";
    case LoadFailure::kNotWebp: return "not a WebP file (no RIFF WEBP signature)";
    case LoadFailure::kNoSuchFrame: return "the file has no frame of that number (frames count from 0)";
    case LoadFailure::kWebpLaterFrame: return "only the first frame of an animated WebP file can be read";
    case LoadFailure::kGifNotBuiltIn: return "GIF support was not built in";
    case LoadFailure::kWebpNotBuiltIn: return "WebP support was not built in";
    }
    return "unknown failure";
}

} // namespace tarnwick
