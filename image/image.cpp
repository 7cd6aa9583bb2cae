#include "image.h"

#include <cstdlib>

#include "memory_block.h"

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

void ReduceToGray(Image &image)
{
    const uint64_t n_pixels = n_PixelCount(image);
    for(uint64_t i = 0; i < n_pixels; ++i)
        image.p_buffer[i] = n_GrayValue(image.p_buffer[i]);
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
    case LoadFailure::kOutOfMemory: return "out of memory";
    case LoadFailure::kArithmeticJpeg: return "arithmetic-coded JPEG is not supported";
    case LoadFailure::kLosslessJpeg: return "lossless JPEG is not supported";
    case LoadFailure::kHierarchicalJpeg: return "hierarchical JPEG is not supported";
    case LoadFailure::kJpegPrecision: return "JPEG samples of other than 8 bits (12-bit JPEG) are not supported";
    case LoadFailure::kTwoComponentJpeg: return "JPEG with two components is not supported";
    case LoadFailure::kFourComponentJpeg: return "JPEG with four components (CMYK or YCCK) is not supported";
    case LoadFailure::kJpegColorTransform: return "this JPEG colour transform (Adobe segment) is not supported";
    case LoadFailure::kTooManyScans: return "the JPEG file has more scans than the decoder accepts";
    case LoadFailure::kUnsupportedJpeg: return "this JPEG variant (DNL marker or JPG extension) is not supported";
    case LoadFailure::kUnsupportedTgaClass: return "this TGA image type is not supported";
    case LoadFailure::kUnsupportedTgaDepth: return "this TGA pixel or colour-map depth is not supported";
    case LoadFailure::kPngNotBuiltIn: return "PNG support was not built in";
    }
    return "unknown failure";
}

} // namespace tarnwick
