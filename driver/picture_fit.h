// Fitting the loaded picture to the display, between the load and the output
// format, always in this order whatever the order of the switches: --crop,
// --rotate, --flip, --resize (with --filter), --background, --invert. The
// transforms themselves live in image/ (transform.h, resize.h,
// color_transform.h); this file only chains them.
#ifndef TARNWICK_DRIVER_PICTURE_FIT_H
#define TARNWICK_DRIVER_PICTURE_FIT_H

#include <cstdint>

#include "image.h"
#include "resize.h"
#include "transform.h"

namespace tarnwick {

// The fitting switches of one run; each p_*_switch is the argument as typed
// (the last one given), named by the messages, or nullptr when not given.
struct PictureFit {
    const char *p_crop_switch;
    CropRectangle crop;
    const char *p_rotate_switch;
    Rotation rotation;
    Flip flip;
    const char *p_resize_switch;
    ResizeGeometry resize;
    ResizeFilter filter;
    const char *p_background_switch;
    uint32_t n_background; // 0xRRGGBB
    bool b_invert;
};

// No fitting at all: the picture goes to the output format as loaded.
PictureFit NoPictureFit();

// True when any step would change the picture loaded.
bool b_ChangesThePicture(const PictureFit &fit);

// Why FitPicture failed: the switch whose step failed, as typed, the cause,
// and the size of the picture that step was given.
struct FitError {
    const char *p_switch;
    TransformFailure failure;
    int32_t n_width;
    int32_t n_height;
};

// Applies the steps that fit asks for, in the order above. Returns the
// fitted Image (the same one when nothing changes its size); on failure
// releases the Image, returns nullptr and fills error.
Image *FitPicture(Image *p_image, const PictureFit &fit, FitError &error);

} // namespace tarnwick

#endif // TARNWICK_DRIVER_PICTURE_FIT_H
