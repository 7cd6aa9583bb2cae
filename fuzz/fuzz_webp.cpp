// The WebP loader on arbitrary bytes, read from memory.
#include "fuzz_support.h"
#include "webp_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    tarnwick::LoadFailure failure;
    Image *p_image = tarnwick::LoadWebpImage(tarnwick::BytesInput(p_data, n_size), &failure);
    // The loader accepts at most 32768 pixels for each byte of the file.
    AbortIfLargerThan(p_image, 32768 * uint64_t(n_size));
    TouchAndFreeImage(p_image);
    return 0;
}
