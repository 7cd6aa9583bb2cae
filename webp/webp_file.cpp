#include "webp_file.h"

#include <cstring>

namespace tarnwick {
namespace {

// Whether the n_bytes first bytes agree with a WebP header, whose size
// field (bytes 4 to 7) may hold anything.
bool b_StartsLikeWebpHeader(const uint8_t *p_bytes, size_t n_bytes)
{
    static const char kRiff[4] = {'R', 'I', 'F', 'F'};
    static const char kWebp[4] = {'W', 'E', 'B', 'P'};
    const size_t n_riff = n_bytes < 4 ? n_bytes : 4;
    const size_t n_webp = n_bytes > 8 ? n_bytes - 8 : 0;
    return !std::memcmp(p_bytes, kRiff, n_riff) && !std::memcmp(p_bytes + 8, kWebp, n_webp);
}

} // namespace

bool ReadWebpHeader(InputStream &stream, uint8_t (&a_header)[kWebpHeaderBytes], LoadFailure &failure)
{
    const size_t n_read = n_ReadInput(stream, a_header, kWebpHeaderBytes);
    if(n_read == kWebpHeaderBytes && b_StartsLikeWebpHeader(a_header, n_read))
        return true;
    // A file that stops partway through such a header is a cut WebP file.
    const bool b_cut_header = n_read > 0 && n_read < kWebpHeaderBytes && b_StartsLikeWebpHeader(a_header, n_read);
    failure = b_cut_header ? LoadFailure::kTruncated : LoadFailure::kNotWebp;
    return false;
}

uint64_t n_WebpFileBytes(const uint8_t (&a_header)[kWebpHeaderBytes])
{
    const uint32_t n_riff_size =
        uint32_t(a_header[4]) | uint32_t(a_header[5]) << 8 | uint32_t(a_header[6]) << 16 | uint32_t(a_header[7]) << 24;
    return uint64_t(n_riff_size) + 8;
}

} // namespace tarnwick
