#include "png_file.h"

#include <cstring>

namespace tarnwick {

bool ReadPngSignature(InputStream &stream, LoadFailure &failure)
{
    uint8_t bytes[sizeof(kPngSignature)];
    const size_t n_read = n_ReadInput(stream, bytes, sizeof(bytes));
    if(n_read == sizeof(bytes) && !std::memcmp(bytes, kPngSignature, sizeof(bytes)))
        return true;
    // A file that stops partway through a correct signature is a cut PNG file.
    const bool b_cut_signature = n_read > 0 && n_read < sizeof(bytes) && !std::memcmp(bytes, kPngSignature, n_read);
    failure = b_cut_signature ? LoadFailure::kTruncated : LoadFailure::kNotPng;
    return false;
}

} // namespace tarnwick
