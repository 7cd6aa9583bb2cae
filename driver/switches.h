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

#include "header_writer.h"
#include "output_format.h"
#include "picture_fit.h"

namespace tarnwick {

struct ConversionOptions {
    bool b_verbose;
    OutputFormat format;   // the last of --rgb, --gray, --rgb565, --rgb565-swapped, --mono, --rgb888,
                           // --bgr888, --alpha8, --indexed
    Dither dither;         // --dither, --dither=floyd|atkinson|bayer
    const char *p_dither_switch; // as typed, for messages; nullptr without --dither
    uint8_t n_threshold;   // --threshold=N, else 128
    bool b_mono_lsb;       // --mono-lsb: with --mono, the leftmost pixel in bit 0
    bool b_mono_pages;     // --mono-pages: with --mono, SSD1306 pages (--mono-lsb then changes nothing)
    PictureFit fit;        // --crop, --rotate, --flip, --resize, --filter, --background, --invert
    HeaderOptions header;  // --rle, --rle-decoder, --stdint, --static, --lvgl, --attribute=TEXT, --name=NAME
    uint32_t n_frame;      // --frame=N: the frame of an animation to read, 0 the first
};

// Reads the arguments from the fourth on (p_argv[3] ...) into options,
// printing the warnings; false, after printing the error, when a value is
// malformed or the switches cannot go together (--lvgl with --rgb888, or with
// --mono and --mono-lsb or --mono-pages: LVGL has no layout for them). With --lvgl, --rle and --rle-decoder are cleared, each
// with "warning: --rle is skipped with --lvgl" and the like.
bool ParseSwitches(int n_argc, const char *const *p_argv, ConversionOptions &options);

// The 1-bit layout the switches ask for: with --mono, pages (--mono-pages),
// rows with the leftmost pixel in bit 0 (--mono-lsb) or in bit 7; rows in
// bit 7 for the other formats, which --mono-lsb and --mono-pages leave alone.
MonoLayout MonoLayoutOf(const ConversionOptions &options);

} // namespace tarnwick

#endif // TARNWICK_DRIVER_SWITCHES_H
