// The WebP loader of a build without libwebp: WebP files are recognised by
// their RIFF header and refused, so that the user learns why; any other file
// is not a WebP file, as it would be with libwebp.
#include "webp_file.h"
#include "webp_loader.h"

namespace tarnwick {

Image *LoadWebpImage(const ImageInput &input, LoadFailure *p_failure)
{
    InputStream stream;
    if(!OpenInputStream(input, stream, 0)) {
        *p_failure = LoadFailure::kCannotOpen;
        return nullptr;
    }
    uint8_t a_header[kWebpHeaderBytes];
    if(ReadWebpHeader(stream, a_header, *p_failure))
        *p_failure = LoadFailure::kWebpNotBuiltIn;
    CloseInputStream(stream);
    return nullptr;
}

bool b_IsWebpSupportBuiltIn()
{
    return false;
}

} // namespace tarnwick
