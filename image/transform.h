// The geometry transforms that fit a picture to a display, shared by every
// format: crop, rotate and flip, and the causes a transform gives when it
// produces no picture. The resize is in resize.h, the colour transforms
// (background, invert) in color_transform.h.
//
// Every transform takes the Image by pointer and returns the Image that
// holds the result. One that changes the size allocates a new Image
// (AllocateImage), copies the descriptive fields, and releases the old one;
// one that keeps the size works in place and returns the same pointer. On
// failure it returns nullptr, writes the cause, and the old Image is still
// the caller's, unchanged.
//
//   crop      keeps the n_width x n_height rectangle whose top-left pixel is
//             (n_x, n_y): the new pixel (x, y) is the old (n_x + x, n_y + y)
//   rotate    clockwise by 90, 180 or 270 degrees. With W x H the old size:
//             90:  new size H x W, new (x, y) = old (y, H - 1 - x)
//             180: same size,      new (x, y) = old (W - 1 - x, H - 1 - y)
//             270: new size H x W, new (x, y) = old (W - 1 - y, x)
//   flip      kHorizontal mirrors left-right: new (x, y) = old (W - 1 - x, y);
//             kVertical mirrors top-bottom:   new (x, y) = old (x, H - 1 - y)
#ifndef TARNWICK_IMAGE_TRANSFORM_H
#define TARNWICK_IMAGE_TRANSFORM_H

#include <cstdint>

#include "image.h"

namespace tarnwick {

// Why a transform returned no Image.
enum class TransformFailure : uint8_t {
    kNone,         // the transform succeeded
    kOutOfMemory,  // an allocation failed
    kCropOutside,  // the crop rectangle does not lie wholly inside the picture
    kTooLarge,     // the result, or the resize's working tables, would exceed the limits
};

// A few words naming the cause, lower case, no line end; never nullptr.
const char *DescribeTransformFailure(TransformFailure failure);

// A new Image of the given size with the old one's descriptive fields;
// nullptr with kOutOfMemory when it cannot be had.
Image *AllocateImageLike(const Image &image, int32_t n_width, int32_t n_height, TransformFailure &failure);

struct CropRectangle {
    int32_t n_x;      // left column of the rectangle
    int32_t n_y;      // top row
    int32_t n_width;  // at least 1
    int32_t n_height; // at least 1
};

// The rectangle is not empty and lies wholly inside the picture.
bool b_IsInside(const CropRectangle &rectangle, const Image &image);

enum class Rotation : uint8_t { kNone, k90, k180, k270 };
enum class Flip : uint8_t { kNone, kHorizontal, kVertical };

// A new Image of the rectangle; kCropOutside when b_IsInside is false.
Image *CropImage(Image *p_image, const CropRectangle &rectangle, TransformFailure &failure);

// Clockwise. 90 and 270 allocate a new Image; kNone and 180 work in place.
Image *RotateImage(Image *p_image, Rotation rotation, TransformFailure &failure);

// In place; never fails.
void FlipImage(Image &image, Flip flip);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_TRANSFORM_H
