// The whole conversion, as the command line runs it. The first input byte
// picks the image name's extension and the switches (see fuzz_support.h);
// the rest is the file, whose last byte also picks the output format.
#include <unistd.h>

#include "driver.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    if(n_size < 1)
        return 0;
    const std::string image_path = WriteFuzzInput(p_data + 1, n_size - 1, p_FuzzImageExtension(p_data[0]));
    if(image_path.empty())
        return 0;
    const std::string header_path = "/tmp/tarnwick-fuzz-" + std::to_string(getpid()) + ".h";
    const char *argv[kMaxFuzzArguments];
    const int n_argc =
        n_FuzzConversionArguments(p_data[0], p_data[n_size - 1], image_path.c_str(), header_path.c_str(), argv);
    tarnwick::RunTarnwick(n_argc, argv);
    return 0;
}
