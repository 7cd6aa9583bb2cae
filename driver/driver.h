// The conversion driver: command line, loader choice, gray reduction, the
// header writer's call, messages and exit status. Only this layer prints.
#ifndef TARNWICK_DRIVER_H
#define TARNWICK_DRIVER_H

#include <cstdint>

#include "output_format.h"

namespace tarnwick {

struct ConversionOptions {
    bool b_verbose;
    OutputFormat format; // the last of --rgb, --gray, --rgb565, --rgb565-swapped, --mono
    bool b_dither;       // --dither: error diffusion for --mono
    bool b_rle;
    bool b_rle_decoder;
    uint32_t n_frame;    // --frame=N: the frame of an animation to read, 0 the first
};

// Runs one conversion as the program's entry point does: returns 0 after a
// successful conversion or the usage text, -1 after a load or write error.
int RunTarnwick(int n_argc, const char *const *p_argv);

} // namespace tarnwick

#endif // TARNWICK_DRIVER_H
