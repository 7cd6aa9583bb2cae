// The conversion driver: command line, loader choice, gray reduction, the
// header writer's call, messages and exit status. Only this layer prints.
#ifndef TARNWICK_DRIVER_H
#define TARNWICK_DRIVER_H

#include "image.h"

struct ConversionOptions {
    bool b_verbose;
    bool b_gray;
    bool b_rle;
    bool b_rle_decoder;
};

// Opens the file, decodes it with a fresh JpegDecoder and closes it; nullptr
// when the file cannot be opened or the decode fails.
Image *p_LoadJpegImage(const char *p_path);

// Replaces every pixel by its gray value 0..255 (bits 8-31 become zero).
void ReduceToGray(Image &image);

// Runs one conversion as the program's entry point does: returns 0 after a
// successful conversion or the usage text, -1 after a load or write error.
int RunTarnwick(int n_argc, const char *const *p_argv);

#endif // TARNWICK_DRIVER_H
