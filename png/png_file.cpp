#include "png_file.h"

#include <cstring>

#include "png_loader.h"

namespace tarnwick {

PixelByteOrder NativePixelByteOrder()
{
    const uint32_t n_probe = 1;
    uint8_t n_first_byte;
    std::memcpy(&n_first_byte, &n_probe, 1);
    return n_first_byte == 1 ? PixelByteOrder::kBgra : PixelByteOrder::kArgb;
}

Image *LoadPngImage(const char *p_path, LoadFailure *p_failure)
{
    return LoadPngImageInByteOrder(p_path, NativePixelByteOrder(), p_failure);
}

FILE *OpenPngFile(const char *p_path, LoadFailure *p_failure)
{
    FILE *p_file = std::fopen(p_path, "rb");
    if(!p_file) {
        *p_failure = LoadFailure::kCannotOpen;
        return nullptr;
    }
    uint8_t bytes[sizeof(kPngSignature)];
    const size_t n_read = std::fread(bytes, 1, sizeof(bytes), p_file);
    if(n_read == sizeof(bytes) && !std::memcmp(bytes, kPngSignature, sizeof(bytes))) {
        *p_failure = LoadFailure::kNone;
        return p_file;
    }
    // A file that stops partway through a correct signature is a cut PNG file.
    const bool b_cut_signature = n_read > 0 && n_read < sizeof(bytes) && !std::memcmp(bytes, kPngSignature, n_read);
    *p_failure = b_cut_signature ? LoadFailure::kTruncated : LoadFailure::kNotPng;
    std::fclose(p_file);
    return nullptr;
}

} // namespace tarnwick
