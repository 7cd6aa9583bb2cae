#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace tarnwick;

std::string WriteFuzzInput(const uint8_t *p_data, size_t n_size, const char *p_extension)
{
    const std::string path = "/tmp/tarnwick-fuzz-" + std::to_string(getpid()) + p_extension;
    FILE *p_file = std::fopen(path.c_str(), "wb");
    if(!p_file)
        return std::string();
    const bool b_ok = std::fwrite(p_data, 1, n_size, p_file) == n_size;
    return std::fclose(p_file) == 0 && b_ok ? path : std::string();
}

const char *p_FuzzImageExtension(uint8_t n_choice)
{
    // ".png" stays the choice of 0x80 with low bits 0 (every choice byte
    // with the top bit set chose ".png" before GIF and WebP came).
    static const char *const kExtensions[] = {".tga", ".jpg", ".bin", ".jpeg"};
    static const char *const kTopBitExtensions[] = {".png", ".gif", ".webp", ".bmp"};
    return ((n_choice & 0x80) ? kTopBitExtensions : kExtensions)[n_choice & 3];
}

int n_FuzzConversionArguments(uint8_t n_choice, uint8_t n_format_choice, const char *p_image_path,
                              const char *p_header_path, const char *p_argv[kMaxFuzzArguments])
{
    // Each format alone, --dither where it counts and where it does not, a
    // later format switch overriding an earlier one, and the 1-bit layouts.
    static const char *const kFormatSwitches[16][3] = {
        {},
        {"--rgb565"},
        {"--rgb565-swapped"},
        {"--mono"},
        {"--mono", "--dither"},
        {"--dither"},
        {"--mono", "--rgb"},
        {"--rgb565", "--dither", "--mono"},
        {"--rgb888"},
        {"--bgr888"},
        {"--alpha8"},
        {"--indexed"},
        {"--mono", "--mono-lsb"},
        {"--mono", "--mono-pages", "--dither=atkinson"},
        {"--indexed", "--gray"},
        {"--mono-pages", "--rgb565"},
    };
    int n_argc = 0;
    p_argv[n_argc++] = "Tarnwick";
    p_argv[n_argc++] = p_image_path;
    p_argv[n_argc++] = p_header_path;
    if(n_choice & 0x04)
        p_argv[n_argc++] = "--rle";
    if(n_choice & 0x08)
        p_argv[n_argc++] = "--rle-decoder";
    if(n_choice & 0x10)
        p_argv[n_argc++] = "--gray";
    if(n_choice & 0x20)
        p_argv[n_argc++] = "--verbose";
    if(n_choice & 0x40)
        p_argv[n_argc++] = "--unknown";
    // Bits 3-5 of the same byte: none, or a set of fitting switches: resizes
    // that shrink, enlarge and stretch with each filter, rotation, flip,
    // crop, background, invert, threshold and the dithering modes.
    static const char *const kFitSwitches[8][4] = {
        {},
        {"--resize=7x5!"},
        {"--resize=40x", "--filter=bilinear"},
        {"--rotate=90", "--flip=h", "--resize=x9", "--filter=nearest"},
        {"--crop=3x2+1+1", "--rotate=270"},
        {"--resize=13x", "--filter=box", "--dither=floyd"},
        {"--background=808080", "--invert", "--dither=atkinson", "--threshold=60"},
        {"--rotate=180", "--dither=bayer", "--resize=3x200!"},
    };
    for(const char *p_switch : kFormatSwitches[(n_format_choice & 7) | (n_format_choice >> 3 & 8)])
        if(p_switch)
            p_argv[n_argc++] = p_switch;
    // Bit 7: LVGL's layouts (and its refusals), with the other header
    // switches.
    if(n_format_choice & 0x80)
        for(const char *p_switch : {"--lvgl", "--static", "--stdint"})
            p_argv[n_argc++] = p_switch;
    for(const char *p_switch : kFitSwitches[(n_format_choice >> 3) & 7])
        if(p_switch)
            p_argv[n_argc++] = p_switch;
    return n_argc;
}

void TouchAndFreeImage(Image *p_image)
{
    if(!p_image)
        return;
    volatile uint32_t n_sum = 0;
    for(uint64_t i = 0; i < n_PixelCount(*p_image); ++i)
        n_sum = n_sum + p_image->p_buffer[i];
    FreeImage(p_image);
}

void AbortIfLargerThan(const Image *p_image, uint64_t n_max_pixels)
{
    if(p_image && n_PixelCount(*p_image) > n_max_pixels)
        std::abort();
}
