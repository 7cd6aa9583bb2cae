// The chain of fitting steps between the load and the output format
// (picture_fit.h).
#include "picture_fit.h"

#include "color_transform.h"

namespace tarnwick {
namespace {

// Ends the chain: the Image released, the error filled.
Image *Failed(Image *p_image, const char *p_switch, TransformFailure failure, FitError &error)
{
    error = {p_switch, failure, p_image->n_width, p_image->n_height};
    FreeImage(p_image);
    return nullptr;
}

} // namespace

PictureFit NoPictureFit()
{
    PictureFit fit = {};
    fit.rotation = Rotation::kNone;
    fit.flip = Flip::kNone;
    fit.resize = {ResizeFit::kExact, 0, 0};
    fit.filter = ResizeFilter::kLanczos;
    return fit;
}

bool b_ChangesThePicture(const PictureFit &fit)
{
    return fit.p_crop_switch || fit.rotation != Rotation::kNone || fit.flip != Flip::kNone || fit.p_resize_switch ||
           fit.p_background_switch || fit.b_invert;
}

Image *FitPicture(Image *p_image, const PictureFit &fit, FitError &error)
{
    TransformFailure failure = TransformFailure::kNone;
    if(fit.p_crop_switch) {
        Image *p_cropped = CropImage(p_image, fit.crop, failure);
        if(!p_cropped)
            return Failed(p_image, fit.p_crop_switch, failure, error);
        p_image = p_cropped;
    }
    if(fit.rotation != Rotation::kNone) {
        Image *p_rotated = RotateImage(p_image, fit.rotation, failure);
        if(!p_rotated)
            return Failed(p_image, fit.p_rotate_switch, failure, error);
        p_image = p_rotated;
    }
    FlipImage(*p_image, fit.flip);
    // An empty picture (no pixels) has no proportions and stays empty.
    if(fit.p_resize_switch && n_PixelCount(*p_image) > 0) {
        int32_t n_width = 0, n_height = 0;
        if(!ResizedSize(fit.resize, p_image->n_width, p_image->n_height, n_width, n_height))
            return Failed(p_image, fit.p_resize_switch, TransformFailure::kTooLarge, error);
        Image *p_resized = ResizeImage(p_image, n_width, n_height, fit.filter, failure);
        if(!p_resized)
            return Failed(p_image, fit.p_resize_switch, failure, error);
        p_image = p_resized;
    }
    if(fit.p_background_switch)
        PutOverBackground(*p_image, fit.n_background);
    if(fit.b_invert)
        InvertColors(*p_image);
    return p_image;
}

} // namespace tarnwick
