// The GIF loader on arbitrary bytes, read from memory: the first frame, and
// then a frame past the last, so that every frame is drawn and disposed of.
#include "fuzz_support.h"
#include "gif_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *p_data, size_t n_size)
{
    for(uint32_t n_frame : {0u, kFuzzGifFramePastTheLast}) {
        tarnwick::ImageInput input = tarnwick::BytesInput(p_data, n_size);
        input.n_frame = n_frame;
        tarnwick::LoadFailure failure;
        Image *p_image = tarnwick::LoadGifImage(input, &failure);
        // The screen holds at most 2731 pixels for each byte of the file
        // (an LZW code of 12 bits stands for at most 4096 pixels).
        AbortIfLargerThan(p_image, 2731 * uint64_t(n_size));
        TouchAndFreeImage(p_image);
    }
    return 0;
}
