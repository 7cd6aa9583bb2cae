// The TGA reader on arbitrary bytes.
#include "fuzz_support.h"
#include "tga_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    const std::string path = WriteFuzzInput(p_data, n_size, ".tga");
    if(path.empty())
        return 0;
    tarnwick::LoadFailure failure;
    Image *p_image = tarnwick::LoadTgaImage(path.c_str(), &failure);
    // At most 128 pixels per 2-byte packet of one-byte pixels.
    AbortIfLargerThan(p_image, 64 * uint64_t(n_size));
    TouchAndFreeImage(p_image);
    return 0;
}
