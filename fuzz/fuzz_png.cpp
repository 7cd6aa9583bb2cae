// The PNG loader on arbitrary bytes, read from memory: the loader holds the
// declared picture against the number of bytes it was given.
#include "fuzz_support.h"
#include "png_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    tarnwick::LoadFailure failure;
    Image *p_image = tarnwick::LoadPngImage(tarnwick::BytesInput(p_data, n_size), &failure);
    // Decoded rows are at most 1032 bytes a file byte plus 1024, and a
    // 1-bit pixel takes an eighth of a byte.
    AbortIfLargerThan(p_image, 8 * (1032 * uint64_t(n_size) + 1024));
    TouchAndFreeImage(p_image);
    return 0;
}
