// The TGA reader on arbitrary bytes, read from memory.
#include "fuzz_support.h"
#include "tga_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    tarnwick::LoadFailure failure;
    Image *p_image = tarnwick::LoadTgaImage(tarnwick::BytesInput(p_data, n_size), &failure);
    // At most 128 pixels per 2-byte packet of one-byte pixels.
    AbortIfLargerThan(p_image, 64 * uint64_t(n_size));
    TouchAndFreeImage(p_image);
    return 0;
}
