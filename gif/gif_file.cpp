#include "gif_file.h"

#include <cstring>

namespace tarnwick {

bool ReadGifSignature(InputStream &stream, uint8_t (&a_signature)[kGifSignatureBytes], LoadFailure &failure)
{
    static const char *const kSignatures[] = {"GIF87a", "GIF89a"};
    const size_t n_read = n_ReadInput(stream, a_signature, kGifSignatureBytes);
    bool b_cut_signature = false;
    for(const char *p_signature : kSignatures) {
        if(!std::memcmp(a_signature, p_signature, n_read)) {
            if(n_read == kGifSignatureBytes)
                return true;
            // A file that stops partway through a signature is a cut GIF file.
            b_cut_signature |= n_read > 0;
        }
    }
    failure = b_cut_signature ? LoadFailure::kTruncated : LoadFailure::kNotGif;
    return false;
}

} // namespace tarnwick
