// The PNG loader of a build without libpng: PNG files are recognised by their
// signature and refused, so that the user learns why; any other file is not
// a PNG file, as it would be with libpng.
#include "png_file.h"
#include "png_loader.h"

namespace tarnwick {

Image *LoadPngImage(const ImageInput &input, LoadFailure *p_failure)
{
    InputStream stream;
    if(!OpenInputStream(input, stream, 0)) {
        *p_failure = LoadFailure::kCannotOpen;
        return nullptr;
    }
    if(ReadPngSignature(stream, *p_failure))
        *p_failure = LoadFailure::kPngNotBuiltIn;
    CloseInputStream(stream);
    return nullptr;
}

bool b_IsPngSupportBuiltIn()
{
    return false;
}

} // namespace tarnwick
