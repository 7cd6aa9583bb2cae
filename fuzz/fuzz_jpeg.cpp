// The JPEG decoder on arbitrary bytes, read from memory as from a file.
#include <cstdio>

#include "fuzz_support.h"
#include "jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    if(n_size == 0)
        return 0;
    FILE *p_file = fmemopen(const_cast<uint8_t *>(p_data), n_size, "rb");
    if(!p_file)
        return 0;
    tarnwick::JpegDecoder decoder;
    Image *p_image = decoder.Decode(p_file);
    std::fclose(p_file);
    // Every block of every component costs at least one bit, in a
    // progressive DC scan (two in a sequential scan): with the most extreme
    // sampling factors (15 x 1 and 1 x 15, 31 blocks for 120 x 120 pixels)
    // 3716 pixels per byte. A larger Image was made from a declared size.
    AbortIfLargerThan(p_image, 4096 * uint64_t(n_size));
    TouchAndFreeImage(p_image);
    return 0;
}
