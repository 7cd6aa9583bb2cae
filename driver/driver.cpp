// The conversion driver. It reads the command line (switches.h), picks a
// loader by the image path's extension (".tga" the TGA reader, ".jpg"/".jpeg"
// the JPEG decoder, ".png" the PNG loader, anything else TGA, then JPEG, then
// PNG), fits the picture to the display (picture_fit.h: crop, rotate, flip,
// resize, background, invert), converts the pixels into the items of the
// chosen output format
// (image/output_format.h: gray, RGB565, 1-bit), calls the header writer
// (header/header_writer.h: all of the header's text), and is the only layer
// that prints: progress lines on standard output (with --verbose), the usage
// text, the warning and the errors on standard error. With --verbose a failed
// load also names its cause.
#include "driver.h"

#include <cstdio>
#include <cstring>

#include "header_writer.h"
#include "image.h"
#include "jpeg_decoder.h"
#include "output_format.h"
#include "picture_fit.h"
#include "png_loader.h"
#include "tga_reader.h"

namespace tarnwick {
namespace {

const char kUsageText[] =
    "error: missing program arguments.\n"
    "usage:\n"
    "Tarnwick <image-file> <header-file> [--verbose] [--rle]\n"
    "\t[--rle-decoder] [--rgb|--gray]\n"
    "where image-file is source file, containing image in jpeg or tga format,\n"
    "and header-file is output file to contain image.\n"
    "--verbose parameter turns on verbose output\n"
    "--rle turns on run-length compression (header is smaller)\n"
    "--rle-decoder includes decoding function in header\n"
    "--rgb forces RGB(A) colors\n"
    "--gray forces grayscale colors (single channel)\n"
    "--rgb565 forces 16-bit RGB565 colors (red is 0xf800)\n"
    "--rgb565-swapped forces RGB565 with its two bytes swapped (red is 0x00f8)\n"
    "--mono forces 1 bit per pixel (set if gray >= 128), leftmost pixel in top bit\n"
    "--dither with --mono, Floyd-Steinberg dithering instead of a threshold\n"
    "--crop=WxH+X+Y keeps the W x H rectangle whose top-left pixel is (X, Y)\n"
    "--rotate=90|180|270 rotates clockwise\n"
    "--flip=h|v mirrors left-right (h) or top-bottom (v)\n"
    "--resize=WxH[!]|Wx|xH fits inside W x H keeping the aspect, stretches (!),\n"
    "\tor fixes one side\n"
    "--filter=lanczos|box|bilinear|nearest chooses the resize filter (lanczos)\n"
    "--background=RRGGBB puts every pixel over this colour; all become opaque\n"
    "--invert turns every colour channel c into 255 - c\n"
    "--threshold=N sets the 1-bit cut of --mono, 0 to 255 (128)\n"
    "--dither=floyd|atkinson|bayer dithers --mono; floyd also dithers RGB565\n"
    "the picture is cropped, rotated, flipped, resized, put over the background\n"
    "\tand inverted in this order, whatever the order of the switches\n";

enum class ImageFormat { kTga, kJpeg, kPng, kUnknown };

bool b_EqualsIgnoringAsciiCase(const char *p_text, const char *p_lower)
{
    for(; *p_text && *p_lower; ++p_text, ++p_lower) {
        const char c = (*p_text >= 'A' && *p_text <= 'Z') ? char(*p_text - 'A' + 'a') : *p_text;
        if(c != *p_lower)
            return false;
    }
    return *p_text == *p_lower;
}

// The extension runs from the path's last '.' to its end; the whole path is
// searched, so a dot in a folder name counts when the file name has none.
ImageFormat FormatFromExtension(const char *p_path)
{
    const char *p_dot = std::strrchr(p_path, '.');
    if(!p_dot)
        return ImageFormat::kUnknown;
    if(b_EqualsIgnoringAsciiCase(p_dot, ".tga"))
        return ImageFormat::kTga;
    if(b_EqualsIgnoringAsciiCase(p_dot, ".jpg") || b_EqualsIgnoringAsciiCase(p_dot, ".jpeg"))
        return ImageFormat::kJpeg;
    if(b_EqualsIgnoringAsciiCase(p_dot, ".png"))
        return ImageFormat::kPng;
    return ImageFormat::kUnknown;
}

void PrintProgress(const ConversionOptions &options, const char *p_text)
{
    if(!options.b_verbose)
        return;
    std::fputs(p_text, stdout);
    std::fflush(stdout);
}

// A reader that found its format's signature got further than one that did
// not, and its cause is the one worth reporting. The TGA header has no
// signature, so the TGA reader's cause stands when no other reader found one.
bool b_FoundSignature(LoadFailure failure)
{
    return failure != LoadFailure::kNotJpeg && failure != LoadFailure::kNotPng &&
           failure != LoadFailure::kCannotOpen;
}

Image *LoadImage(const char *p_path, const ConversionOptions &options, LoadFailure &failure)
{
    switch(FormatFromExtension(p_path)) {
    case ImageFormat::kTga:
        PrintProgress(options, "loading image in TGA format ...\n");
        return LoadTgaImage(p_path, &failure);
    case ImageFormat::kJpeg:
        PrintProgress(options, "loading image in JPEG format ...\n");
        return LoadJpegImage(p_path, &failure);
    case ImageFormat::kPng:
        PrintProgress(options, "loading image in PNG format ...\n");
        return LoadPngImage(p_path, &failure);
    case ImageFormat::kUnknown:
        break;
    }
    PrintProgress(options, "attempting to load image in TGA format ...\n");
    if(Image *p_image = LoadTgaImage(p_path, &failure))
        return p_image;
    const LoadFailure tga_failure = failure;
    PrintProgress(options, "attempting to load image in JPEG format ...\n");
    if(Image *p_image = LoadJpegImage(p_path, &failure))
        return p_image;
    const LoadFailure jpeg_failure = failure;
    PrintProgress(options, "attempting to load image in PNG format ...\n");
    if(Image *p_image = LoadPngImage(p_path, &failure))
        return p_image;
    if(b_FoundSignature(jpeg_failure))
        failure = jpeg_failure;
    else if(!b_FoundSignature(failure))
        failure = tga_failure;
    return nullptr;
}

// A step of the fitting failed: the switch as typed and the cause; a crop
// outside the picture also gives the picture's size.
void PrintFitError(const FitError &error)
{
    if(error.failure == TransformFailure::kCropOutside)
        std::fprintf(stderr, "error: '%s': %s, which is %d x %d pixels\n", error.p_switch,
                     DescribeTransformFailure(error.failure), error.n_width, error.n_height);
    else
        std::fprintf(stderr, "error: '%s': %s\n", error.p_switch, DescribeTransformFailure(error.failure));
}

} // namespace

int RunTarnwick(int n_argc, const char *const *p_argv)
{
    if(n_argc < 3) {
        std::fputs(kUsageText, stderr);
        return 0;
    }
    const char *p_image_path = p_argv[1];
    const char *p_header_path = p_argv[2];
    ConversionOptions options;
    if(!ParseSwitches(n_argc, p_argv, options))
        return -1;

    LoadFailure failure = LoadFailure::kNone;
    Image *p_image = LoadImage(p_image_path, options, failure);
    if(!p_image) {
        std::fprintf(stderr, "error: error loading image file '%s'\n", p_image_path);
        if(options.b_verbose)
            std::fprintf(stderr, "error: %s\n", DescribeLoadFailure(failure));
        return -1;
    }
    FitError fit_error = {nullptr, TransformFailure::kNone, 0, 0};
    p_image = FitPicture(p_image, options.fit, fit_error);
    if(!p_image) {
        PrintFitError(fit_error);
        return -1;
    }
    if(!ConvertToOutputFormat(*p_image, options.format, options.dither, options.n_threshold)) {
        FreeImage(p_image);
        std::fprintf(stderr, "error: '%s': %s\n", options.p_dither_switch,
                     DescribeTransformFailure(TransformFailure::kOutOfMemory));
        return -1;
    }

    PrintProgress(options, "writing image data ...");
    const bool b_written = WriteImageHeader(*p_image, options.format, options.b_rle, options.b_rle_decoder,
                                            p_image_path, p_header_path);
    FreeImage(p_image);
    if(!b_written) {
        std::fprintf(stderr, "\nerror: error writing header file '%s'\n", p_header_path);
        return -1;
    }
    PrintProgress(options, " ok\n");
    return 0;
}

} // namespace tarnwick
