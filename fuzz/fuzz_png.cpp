// The PNG loader on arbitrary bytes, written to a ".png" file: the loader
// holds the declared picture against the file's size, which a file in
// memory would not have.
#include "fuzz_support.h"
#include "png_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    const std::string path = WriteFuzzInput(p_data, n_size, ".png");
    if(path.empty())
        return 0;
    tarnwick::LoadFailure failure;
    Image *p_image = tarnwick::LoadPngImage(path.c_str(), &failure);
    // Decoded rows are at most 1032 bytes a file byte plus 1024, and a
    // 1-bit pixel takes an eighth of a byte.
    AbortIfLargerThan(p_image, 8 * (1032 * uint64_t(n_size) + 1024));
    TouchAndFreeImage(p_image);
    return 0;
}
