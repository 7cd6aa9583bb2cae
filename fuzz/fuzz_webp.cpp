// The WebP loader on arbitrary bytes, read from memory and from a regular
// file (which the loader reads into a block of its own): both must give
// the same result.
#include <cstdlib>

#include "fuzz_support.h"
#include "webp_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    tarnwick::LoadFailure failure, file_failure;
    Image *p_image = tarnwick::LoadWebpImage(tarnwick::BytesInput(p_data, n_size), &failure);
    // The loader accepts at most 32768 pixels for each byte of the file.
    AbortIfLargerThan(p_image, 32768 * uint64_t(n_size));
    TouchAndFreeImage(p_image);
    const std::string path = WriteFuzzInput(p_data, n_size, ".webp");
    if(path.empty())
        return 0;
    Image *p_file_image = tarnwick::LoadImageAtPath(tarnwick::LoadWebpImage, path.c_str(), &file_failure);
    if(file_failure != failure)
        std::abort();
    TouchAndFreeImage(p_file_image);
    return 0;
}
