#include "image.h"

#include <cstdlib>

Image *p_AllocateImage(int32_t n_width, int32_t n_height)
{
    if(!b_IsAllowedImageSize(n_width, n_height))
        return nullptr;
    const uint64_t n_bytes = uint64_t(n_width) * uint64_t(n_height) * 4u;

    Image *p_image = static_cast<Image *>(std::malloc(sizeof(Image)));
    if(!p_image)
        return nullptr;
    // malloc(0) may legally return nullptr; an empty image still gets a block.
    p_image->p_buffer = static_cast<uint32_t *>(std::malloc(n_bytes ? size_t(n_bytes) : 1u));
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
    std::free(p_image->p_buffer);
    std::free(p_image);
}
