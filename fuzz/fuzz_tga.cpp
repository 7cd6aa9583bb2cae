// The TGA reader on arbitrary bytes.
#include "fuzz_support.h"
#include "tga_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    const std::string path = WriteFuzzInput(p_data, n_size, ".tga");
    if(path.empty())
        return 0;
    TouchAndFreeImage(LoadTgaImage(path.c_str()));
    return 0;
}
