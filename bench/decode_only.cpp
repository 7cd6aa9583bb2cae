// One load, file to pixels, and nothing else: the decode stage as a whole
// process, so that bench/run_bench.sh can time it in the same interleaved
// run as djpeg decoding the same file to /dev/null.
//
//   build-bench/bench/decode_only picture.{jpg,tga,png}
//
// Exits 0 when the picture loaded, 1 otherwise.
#include <cstring>

#include "image.h"
#include "jpeg_decoder.h"
#include "png_loader.h"
#include "tga_reader.h"

int main(int argc, char **argv)
{
    using namespace tarnwick;
    if(argc != 2)
        return 2;
    const char *p_dot = std::strrchr(argv[1], '.');
    LoadFailure failure = LoadFailure::kNone;
    Image *p_image = nullptr;
    if(p_dot && !std::strcmp(p_dot, ".tga"))
        p_image = LoadImageAtPath(LoadTgaImage, argv[1], &failure);
    else if(p_dot && !std::strcmp(p_dot, ".png"))
        p_image = LoadImageAtPath(LoadPngImage, argv[1], &failure);
    else
        p_image = LoadImageAtPath(LoadJpegImage, argv[1], &failure);
    const bool b_loaded = p_image != nullptr;
    FreeImage(p_image);
    return b_loaded ? 0 : 1;
}
