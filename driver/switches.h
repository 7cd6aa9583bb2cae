// The switches after the two paths: what each sets in ConversionOptions.
//
// Plain switches (--verbose, --rle, --gray, --invert, ...) match the whole
// argument exactly. Valued switches are one argument, --name=value, the name
// matched exactly; given twice, the last one counts. A malformed value, or a
// valued switch without its value, is an error even when a later one is
// good: ParseSwitches prints "error: '<argument>': <cause>" and the run ends
// before any file is read or written. Any other argument draws the
// unknown-parameter warning and is skipped.
#ifndef TARNWICK_DRIVER_SWITCHES_H
#define TARNWICK_DRIVER_SWITCHES_H

#include <cstdint>

#include "output_format.h"
#include "picture_fit.h"

namespace tarnwick {

struct ConversionOptions {
    bool b_verbose;
    OutputFormat format;   // the last of --rgb, --gray, --rgb565, --rgb565-swapped, --mono
    Dither dither;         // --dither, --dither=floyd|atkinson|bayer
    const char *p_dither_switch; // as typed, for messages; nullptr without --dither
    uint8_t n_threshold;   // --threshold=N, else 128
    bool b_rle;
    bool b_rle_decoder;
    PictureFit fit;        // --crop, --rotate, --flip, --resize, --filter, --background, --invert
};

// Reads the arguments from the fourth on (p_argv[3] ...) into options,
// printing the warnings; false, after printing the error, when a value is
// malformed.
bool ParseSwitches(int n_argc, const char *const *p_argv, ConversionOptions &options);

} // namespace tarnwick

#endif // TARNWICK_DRIVER_SWITCHES_H
