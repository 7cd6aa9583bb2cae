// The PNG loader of a build without libpng: PNG files are recognised by their
// signature and refused, so that the user learns why; any other file is not
// a PNG file, as it would be with libpng.
#include <cstdio>

#include "png_loader.h"
#include "png_file.h"

namespace tarnwick {

Image *LoadPngImageInByteOrder(const char *p_path, PixelByteOrder, LoadFailure *p_failure)
{
    if(FILE *p_file = OpenPngFile(p_path, p_failure)) {
        std::fclose(p_file);
        *p_failure = LoadFailure::kPngNotBuiltIn;
    }
    return nullptr;
}

bool b_IsPngSupportBuiltIn()
{
    return false;
}

} // namespace tarnwick
