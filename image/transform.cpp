// Crop, rotate and flip: which old pixel each new pixel is (transform.h).
#include "transform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace tarnwick {
namespace {

// Rotates by 90 degrees into p_new (H x W), in square tiles so that both the
// rows read and the rows written stay in the cache. b_clockwise: new (x, y) =
// old (y, H - 1 - x); otherwise (270 clockwise) new (x, y) = old (W - 1 - y, x).
void RotateQuarter(const Image &old_image, Image &new_image, bool b_clockwise)
{
    constexpr size_t kTile = 32;
    const size_t n_new_width = size_t(uint32_t(new_image.n_width));
    const size_t n_new_height = size_t(uint32_t(new_image.n_height));
    const size_t n_old_width = size_t(uint32_t(old_image.n_width));
    const size_t n_old_height = size_t(uint32_t(old_image.n_height));
    for(size_t n_top = 0; n_top < n_new_height; n_top += kTile) {
        const size_t n_bottom = std::min(n_top + kTile, n_new_height);
        for(size_t n_left = 0; n_left < n_new_width; n_left += kTile) {
            const size_t n_right = std::min(n_left + kTile, n_new_width);
            for(size_t y = n_top; y < n_bottom; ++y) {
                uint32_t *p_row = new_image.p_buffer + y * n_new_width;
                for(size_t x = n_left; x < n_right; ++x) {
                    const size_t n_old_x = b_clockwise ? y : n_old_width - 1 - y;
                    const size_t n_old_y = b_clockwise ? n_old_height - 1 - x : x;
                    p_row[x] = old_image.p_buffer[n_old_y * n_old_width + n_old_x];
                }
            }
        }
    }
}

void ReverseRow(uint32_t *p_row, size_t n_width)
{
    std::reverse(p_row, p_row + n_width);
}

} // namespace

Image *AllocateImageLike(const Image &image, int32_t n_width, int32_t n_height, TransformFailure &failure)
{
    Image *p_new = AllocateImage(n_width, n_height);
    if(!p_new) {
        failure = TransformFailure::kOutOfMemory;
        return nullptr;
    }
    p_new->n_bpp = image.n_bpp;
    p_new->b_grayscale = image.b_grayscale;
    p_new->b_alpha = image.b_alpha;
    return p_new;
}

const char *DescribeTransformFailure(TransformFailure failure)
{
    switch(failure) {
    case TransformFailure::kNone: return "no failure";
    case TransformFailure::kOutOfMemory: return "out of memory";
    case TransformFailure::kCropOutside: return "the rectangle does not lie inside the picture";
    case TransformFailure::kTooLarge: return "the resized picture would be too large";
    }
    return "unknown failure";
}

bool b_IsInside(const CropRectangle &rectangle, const Image &image)
{
    // 64-bit sums: x + width cannot overflow.
    return rectangle.n_x >= 0 && rectangle.n_y >= 0 && rectangle.n_width > 0 && rectangle.n_height > 0 &&
           int64_t(rectangle.n_x) + rectangle.n_width <= image.n_width &&
           int64_t(rectangle.n_y) + rectangle.n_height <= image.n_height;
}

Image *CropImage(Image *p_image, const CropRectangle &rectangle, TransformFailure &failure)
{
    if(!b_IsInside(rectangle, *p_image)) {
        failure = TransformFailure::kCropOutside;
        return nullptr;
    }
    Image *p_new = AllocateImageLike(*p_image, rectangle.n_width, rectangle.n_height, failure);
    if(!p_new)
        return nullptr;
    const size_t n_old_width = size_t(uint32_t(p_image->n_width));
    const size_t n_new_width = size_t(uint32_t(rectangle.n_width));
    for(size_t y = 0; y < size_t(uint32_t(rectangle.n_height)); ++y)
        std::memcpy(p_new->p_buffer + y * n_new_width,
                    p_image->p_buffer + (size_t(uint32_t(rectangle.n_y)) + y) * n_old_width + size_t(uint32_t(rectangle.n_x)),
                    n_new_width * sizeof(uint32_t));
    FreeImage(p_image);
    return p_new;
}

Image *RotateImage(Image *p_image, Rotation rotation, TransformFailure &failure)
{
    switch(rotation) {
    case Rotation::kNone:
        return p_image;
    case Rotation::k180:
        // The whole array reversed: pixel i becomes pixel count - 1 - i.
        std::reverse(p_image->p_buffer, p_image->p_buffer + n_PixelCount(*p_image));
        return p_image;
    case Rotation::k90:
    case Rotation::k270:
        break;
    }
    Image *p_new = AllocateImageLike(*p_image, p_image->n_height, p_image->n_width, failure);
    if(!p_new)
        return nullptr;
    RotateQuarter(*p_image, *p_new, rotation == Rotation::k90);
    FreeImage(p_image);
    return p_new;
}

void FlipImage(Image &image, Flip flip)
{
    const size_t n_width = size_t(uint32_t(image.n_width));
    const size_t n_height = size_t(uint32_t(image.n_height));
    switch(flip) {
    case Flip::kNone:
        return;
    case Flip::kHorizontal:
        for(size_t y = 0; y < n_height; ++y)
            ReverseRow(image.p_buffer + y * n_width, n_width);
        return;
    case Flip::kVertical:
        for(size_t y = 0; y < n_height / 2; ++y)
            std::swap_ranges(image.p_buffer + y * n_width, image.p_buffer + (y + 1) * n_width,
                             image.p_buffer + (n_height - 1 - y) * n_width);
        return;
    }
}

} // namespace tarnwick
