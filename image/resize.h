// Resizing a picture: the size a geometry gives, and the resize itself with
// the nearest-pixel filter or one of three separable filters.
//
// Geometry, in ImageMagick's words, for a W x H picture:
//   kInside  "WxH"   the largest size inside W x H with the picture's
//                    proportions: the side that limits is exactly W (or H), the
//                    other the exactly proportional size rounded half up,
//                    at least 1
//                    (enlarging as well as shrinking)
//   kExact   "WxH!"  exactly W x H
//   kWidth   "Wx"    width W, height H * W / old width rounded half up
//   kHeight  "xH"    height H, width W * H / old height rounded half up
//
// Filters:
//   kNearest  picks, for output column i, input column int(p_i) where
//             p_0 = s / 2 and p_(i+1) = p_i + s, s = old width / new width,
//             all in double precision (the positions are summed, not
//             multiplied, so a position that falls on a pixel boundary goes
//             where the sum puts it); rows alike. The pixels are copied as
//             they are. These are the pixels Pillow's Image.resize picks with
//             NEAREST.
//   kBox, kBilinear, kLanczos  separable, with the weights of resize_taps.h
//             (Pillow's, or within 1 of Pillow's result when shrinking a lot):
//             each pixel premultiplied by its alpha (resize_kernels.h), a
//             horizontal pass into rows of 8-bit channels (clamped), then a
//             vertical pass over those rows, as Pillow does; an axis whose
//             size does not change has no pass. Each output pixel is then
//             divided by its alpha again: alpha 255 keeps its channels, alpha
//             0 makes the pixel 0x00000000, and any other alpha a makes each
//             colour channel min(255, (c * 255 + a / 2) / a).
// A resize to the picture's own size changes nothing.
//
// Memory: besides the old and the new pixel arrays, the weight tables of both
// axes (at most kMaxTapsBytes each), one row of scratch and either a ring of
// horizontally resampled rows (as many as one output row draws on) and one
// row of 32-bit sums, or a ring of rows of 32-bit sums (as many as one input
// row adds to), whichever is smaller.
#ifndef TARNWICK_IMAGE_RESIZE_H
#define TARNWICK_IMAGE_RESIZE_H

#include <cstdint>

#include "image.h"
#include "transform.h"

namespace tarnwick {

enum class ResizeFilter : uint8_t { kLanczos, kBox, kBilinear, kNearest };
enum class ResizeFit : uint8_t { kInside, kExact, kWidth, kHeight };

// The largest width or height a geometry may give.
constexpr int32_t kMaxResizeSide = 65535;

struct ResizeGeometry {
    ResizeFit fit;
    int32_t n_width;  // 1..kMaxResizeSide; unused for kHeight
    int32_t n_height; // 1..kMaxResizeSide; unused for kWidth
};

// The new size of an n_width x n_height picture (both at least 1). False
// when a side would exceed kMaxResizeSide or the picture would not be an
// allowed Image size.
bool ResizedSize(const ResizeGeometry &geometry, int32_t n_width, int32_t n_height, int32_t &n_new_width,
                 int32_t &n_new_height);

// The picture at n_new_width x n_new_height (both at least 1): a new Image,
// the old one released; the same Image when the size does not change.
// nullptr with the cause when an allocation fails or the weight tables would
// be too large; the old Image is then unchanged and still the caller's.
Image *ResizeImage(Image *p_image, int32_t n_new_width, int32_t n_new_height, ResizeFilter filter,
                   TransformFailure &failure);

} // namespace tarnwick

#endif // TARNWICK_IMAGE_RESIZE_H
