// The GIF loader on arbitrary bytes: frame 0 from memory and from a regular
// file, which must give the same result, then from memory a frame past the
// last, so that every frame is drawn and disposed of.
#include <cstdlib>

#include "fuzz_support.h"
#include "gif_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    tarnwick::LoadFailure first_failure = tarnwick::LoadFailure::kNone;
    for(uint32_t n_frame : {0u, kFuzzGifFramePastTheLast}) {
        tarnwick::ImageInput input = tarnwick::BytesInput(p_data, n_size);
        input.n_frame = n_frame;
        tarnwick::LoadFailure failure;
        Image *p_image = tarnwick::LoadGifImage(input, &failure);
        // The screen holds at most 2731 pixels for each byte of the file
        // (an LZW code of 12 bits stands for at most 4096 pixels).
        AbortIfLargerThan(p_image, 2731 * uint64_t(n_size));
        TouchAndFreeImage(p_image);
        if(n_frame == 0)
            first_failure = failure;
    }
    const std::string path = WriteFuzzInput(p_data, n_size, ".gif");
    if(path.empty())
        return 0;
    tarnwick::LoadFailure file_failure;
    Image *p_file_image = tarnwick::LoadImageAtPath(tarnwick::LoadGifImage, path.c_str(), &file_failure);
    if(file_failure != first_failure)
        std::abort();
    TouchAndFreeImage(p_file_image);
    return 0;
}
