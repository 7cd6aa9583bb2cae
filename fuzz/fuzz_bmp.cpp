// The BMP reader on arbitrary bytes, read from memory: the reader holds the
// declared picture against the number of bytes it was given.
#include "bmp_reader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    tarnwick::LoadFailure failure;
    Image *p_image = tarnwick::LoadBmpImage(tarnwick::BytesInput(p_data, n_size), &failure);
    // A run-length stream gives at most 255 pixels per two bytes, and
    // uncompressed 1-bit rows 8 pixels a byte: more than 128 pixels per
    // input byte were made from a declared size.
    AbortIfLargerThan(p_image, 128 * uint64_t(n_size));
    TouchAndFreeImage(p_image);
    return 0;
}
