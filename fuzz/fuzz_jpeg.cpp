// The JPEG decoder on arbitrary bytes, read from memory.
#include "fuzz_support.h"
#include "jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    tarnwick::LoadFailure failure;
    Image *p_image = tarnwick::LoadJpegImage(tarnwick::BytesInput(p_data, n_size), &failure);
    // Every block of every component costs at least one bit, in a
    // progressive DC scan (two in a sequential scan): with the most extreme
    // sampling factors (15 x 1 and 1 x 15, 31 blocks for 120 x 120 pixels)
    // 3716 pixels per byte. A larger Image was made from a declared size.
    AbortIfLargerThan(p_image, 4096 * uint64_t(n_size));
    TouchAndFreeImage(p_image);
    return 0;
}
