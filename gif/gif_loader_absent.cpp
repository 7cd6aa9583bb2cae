// The GIF loader of a build without giflib: GIF files are recognised by their
// signature and refused, so that the user learns why; any other file is not
// a GIF file, as it would be with giflib.
#include "gif_file.h"
#include "gif_loader.h"

namespace tarnwick {

Image *LoadGifImage(const ImageInput &input, LoadFailure *p_failure)
{
    InputStream stream;
    if(!OpenInputStream(input, stream, 0)) {
        *p_failure = LoadFailure::kCannotOpen;
        return nullptr;
    }
    uint8_t a_signature[kGifSignatureBytes];
    if(ReadGifSignature(stream, a_signature, *p_failure))
        *p_failure = LoadFailure::kGifNotBuiltIn;
    CloseInputStream(stream);
    return nullptr;
}

bool b_IsGifSupportBuiltIn()
{
    return false;
}

} // namespace tarnwick
