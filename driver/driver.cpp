// The conversion driver. It reads the command line (switches.h), picks a
// loader by the image path's extension (".tga" the TGA reader, ".jpg"/".jpeg"
// the JPEG decoder, ".png" the PNG loader, ".bmp"/".dib" the BMP reader, ".gif"
// the GIF loader, ".webp" the WebP loader, anything else TGA, then JPEG, PNG,
// BMP, GIF and WebP; the table
// kLoaders), describes the picture once
// (image/image_input.h: a pipe is read whole, so that every loader tried sees
// the same bytes), fits the picture to the display (picture_fit.h: crop,
// rotate, flip, resize, background, invert), converts the pixels into the
// items of the chosen output format (image/output_format.h: gray, RGB565,
// 1-bit, 24-bit, alpha, indexed; the palette of --indexed from
// image/indexed_format.h), calls the header writer
// (header/header_writer.h: all of the header's text, shaped by --stdint,
// --static, --attribute, --name and --lvgl), and is the only layer
// that prints: progress lines on standard output (with --verbose), the usage
// text, the warning and the errors on standard error. With --verbose a failed
// load also names its cause. Where it can, the header is written while the
// picture is still loading, on a second thread (overlapped_writing.h).
#include "driver.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "bmp_reader.h"
#include "gif_loader.h"
#include "header_writer.h"
#include "image.h"
#include "image_input.h"
#include "jpeg_decoder.h"
#include "output_format.h"
#include "overlapped_writing.h"
#include "picture_fit.h"
#include "png_loader.h"
#include "tga_reader.h"
#include "webp_loader.h"

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
    "--resize=WxH[!]|Wx|xH fits inside W x H keeping the proportions, stretches (!),\n"
    "\tor fixes one side\n"
    "--filter=lanczos|box|bilinear|nearest chooses the resize filter (lanczos)\n"
    "--background=RRGGBB puts every pixel over this colour; all become opaque\n"
    "--invert turns every colour channel c into 255 - c\n"
    "--threshold=N sets the 1-bit cut of --mono, 0 to 255 (128)\n"
    "--dither=floyd|atkinson|bayer dithers --mono; floyd also dithers RGB565\n"
    "the picture is cropped, rotated, flipped, resized, put over the background\n"
    "\tand inverted in this order, whatever the order of the switches\n"
    "--frame=N reads frame N of an animated GIF (0 is the first)\n"
    "image-file may also be in png, bmp (.bmp, .dib), gif or webp format\n"
    "--stdint declares the items uint32_t, uint16_t or uint8_t from <stdint.h>\n"
    "--static makes every definition static, for headers included more than once\n"
    "--attribute=TEXT writes TEXT after each array's [], e.g. PROGMEM\n"
    "--name=NAME names the array p_NAME and the constants n_NAME_... (a C identifier)\n"
    "--lvgl adds an LVGL 9 image descriptor dsc_NAME; the array becomes LVGL's bytes\n"
    "--rgb888 forces 3 bytes per pixel: red, green, blue\n"
    "--bgr888 forces 3 bytes per pixel: blue, green, red (LVGL's RGB888)\n"
    "--alpha8 forces 1 byte per pixel, its alpha\n"
    "--indexed writes a palette and 1, 2, 4 or 8-bit indices (at most 256 colours)\n"
    "--mono-lsb with --mono, leftmost pixel in bit 0 (XBM order)\n"
    "--mono-pages with --mono, SSD1306 pages: bytes of 8 rows, top row in bit 0\n";

// The loaders, in the order the fallback tries them for a name without a
// known extension, with the extensions that choose each (any letter case).
struct Loader {
    const char *p_format;   // as the progress lines name it
    const char *a_extensions[3];
    ImageLoader p_Load;
};
const Loader kLoaders[] = {
    {"TGA", {".tga"}, LoadTgaImage},
    {"JPEG", {".jpg", ".jpeg"}, LoadJpegImage},
    {"PNG", {".png"}, LoadPngImage},
    {"BMP", {".bmp", ".dib"}, LoadBmpImage},
    {"GIF", {".gif"}, LoadGifImage},
    {"WebP", {".webp"}, LoadWebpImage},
};

bool b_EqualsIgnoringAsciiCase(const char *p_text, const char *p_lower)
{
    for(; *p_text && *p_lower; ++p_text, ++p_lower) {
        const char c = (*p_text >= 'A' && *p_text <= 'Z') ? char(*p_text - 'A' + 'a') : *p_text;
        if(c != *p_lower)
            return false;
    }
    return *p_text == *p_lower;
}

// The loader that the path's extension chooses, or nullptr. The extension
// runs from the path's last '.' to its end; the whole path is searched, so a
// dot in a folder name counts when the file name has none.
const Loader *p_LoaderForExtension(const char *p_path)
{
    const char *p_dot = std::strrchr(p_path, '.');
    if(!p_dot)
        return nullptr;
    for(const Loader &loader : kLoaders)
        for(const char *p_extension : loader.a_extensions)
            if(p_extension && b_EqualsIgnoringAsciiCase(p_dot, p_extension))
                return &loader;
    return nullptr;
}

void PrintProgress(const ConversionOptions &options, const char *p_text)
{
    if(!options.b_verbose)
        return;
    std::fputs(p_text, stdout);
    std::fflush(stdout);
}

// "loading image in TGA format ...", "attempting to load image in JPEG
// format ...".
void PrintLoaderProgress(const ConversionOptions &options, const char *p_verb, const Loader &loader)
{
    char a_line[64];
    std::snprintf(a_line, sizeof(a_line), "%s image in %s format ...\n", p_verb, loader.p_format);
    PrintProgress(options, a_line);
}

// A reader that found its format's signature got further than one that did
// not, and its cause is the one worth reporting. The TGA header has no
// signature, so the TGA reader's cause stands when no other reader found one.
bool b_FoundSignature(LoadFailure failure)
{
    return failure != LoadFailure::kNotJpeg && failure != LoadFailure::kNotPng && failure != LoadFailure::kNotBmp &&
           failure != LoadFailure::kNotGif && failure != LoadFailure::kNotWebp && failure != LoadFailure::kCannotOpen;
}

// One loader on the picture that OpenImageInput described; when that could
// not be done, failure keeps the cause it gave.
Image *TryLoader(const Loader &loader, const ImageInput &input, bool b_input_open, LoadFailure &failure)
{
    return b_input_open ? loader.p_Load(input, &failure) : nullptr;
}

// Every loader in turn, the first one's progress line being out already.
// The cause reported is that of the first loader after the TGA reader that
// found its signature, else the TGA reader's.
Image *LoadByFallback(const ImageInput &input, bool b_input_open, const ConversionOptions &options,
                      LoadFailure &failure)
{
    const LoadFailure input_failure = failure;
    bool b_signature_found = false;
    for(const Loader &loader : kLoaders) {
        const bool b_first = &loader == kLoaders;
        if(!b_first)
            PrintLoaderProgress(options, "attempting to load", loader);
        LoadFailure attempt_failure = input_failure;
        if(Image *p_image = TryLoader(loader, input, b_input_open, attempt_failure))
            return p_image;
        if(b_first) {
            failure = attempt_failure;
        } else if(!b_signature_found && b_FoundSignature(attempt_failure)) {
            failure = attempt_failure;
            b_signature_found = true;
        }
    }
    return nullptr;
}

// The picture is looked at once: a regular file is opened again by each
// loader tried, anything else (a pipe) is read whole first, and every
// attempt reads the same bytes.
Image *LoadImage(const char *p_path, const ConversionOptions &options, const RowSink *p_sink, LoadFailure &failure)
{
    const Loader *p_chosen = p_LoaderForExtension(p_path);
    PrintLoaderProgress(options, p_chosen ? "loading" : "attempting to load", p_chosen ? *p_chosen : kLoaders[0]);
    ImageInput input;
    failure = LoadFailure::kNone;
    const bool b_input_open = OpenImageInput(p_path, input, failure);
    input.n_frame = options.n_frame;
    input.p_row_sink = p_sink;
    Image *p_image = p_chosen ? TryLoader(*p_chosen, input, b_input_open, failure)
                              : LoadByFallback(input, b_input_open, options, failure);
    if(b_input_open)
        ReleaseImageInput(input);
    return p_image;
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

// With --lvgl, the picture's width, height and row bytes must fit LVGL's
// 16-bit fields; false after printing the error when they do not.
bool b_FitsLvglIfAsked(const Image &image, OutputFormat format, const ItemLayout &layout)
{
    LvglFormat lvgl_format;
    if(!layout.b_lvgl || !b_LvglFormatOf(format, layout, lvgl_format))
        return true;
    const LvglImage lvgl = LvglImageOf(lvgl_format, uint32_t(image.n_width), uint32_t(image.n_height));
    if(b_FitsLvglHeader(lvgl))
        return true;
    std::fprintf(stderr,
                 "error: the picture is too large for LVGL: %d x %d pixels with rows of %llu bytes; LVGL's image "
                 "header holds at most %d for each\n",
                 int(image.n_width), int(image.n_height), static_cast<unsigned long long>(lvgl.n_stride),
                 int(kLvglLargestField));
    return false;
}

// The fitted picture's items: with --indexed its palette first (a picture of
// more than 256 colours is refused), then the format's conversion in the
// layout asked for. Releases the Image and returns nullptr, after printing
// the error, when either fails.
Image *ConvertPicture(Image *p_image, const ConversionOptions &options, Palette &palette, ItemLayout &layout)
{
    layout = {MonoLayoutOf(options), options.header.b_lvgl, nullptr};
    if(options.format == OutputFormat::kIndexed) {
        if(!BuildPalette(*p_image, palette)) {
            std::fputs("error: more than 256 colours for --indexed\n", stderr);
            FreeImage(p_image);
            return nullptr;
        }
        layout.p_palette = &palette;
    }
    if(!b_FitsLvglIfAsked(*p_image, options.format, layout)) {
        FreeImage(p_image);
        return nullptr;
    }
    if(!ConvertToOutputFormat(*p_image, options.format, options.dither, options.n_threshold, layout)) {
        std::fprintf(stderr, "error: '%s': %s\n", options.p_dither_switch,
                     DescribeTransformFailure(TransformFailure::kOutOfMemory));
        FreeImage(p_image);
        return nullptr;
    }
    return p_image;
}

// The loaded picture fitted to the display and converted into the items of
// the output format; rows that the header writer converted while the
// picture loaded are not converted again. nullptr, after printing the
// error, when a step fails.
Image *MakeItems(Image *p_image, const ConversionOptions &options, int32_t n_converted_rows, Palette &palette,
                 ItemLayout &layout)
{
    if(n_converted_rows > 0) {
        // Only a format converted pixel by pixel, without fitting, gets here.
        layout = {MonoLayoutOf(options), options.header.b_lvgl, nullptr};
        ConvertRowsToOutputFormat(*p_image, options.format, n_converted_rows, p_image->n_height);
        return p_image;
    }
    FitError fit_error = {nullptr, TransformFailure::kNone, 0, 0};
    p_image = FitPicture(p_image, options.fit, fit_error);
    if(!p_image) {
        PrintFitError(fit_error);
        return nullptr;
    }
    return ConvertPicture(p_image, options, palette, layout);
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

    // The header may be written while the picture loads (overlapped_writing.h).
    OverlappedWriting *p_writing = PrepareOverlappedWriting(options, p_image_path, p_header_path);
    LoadFailure failure = LoadFailure::kNone;
    Image *p_image = LoadImage(p_image_path, options, p_writing ? p_RowSinkOf(*p_writing) : nullptr, failure);
    int32_t n_converted_rows = 0;
    const bool b_written_while_loading = FinishOverlappedWriting(p_writing, p_image, n_converted_rows);
    if(!p_image) {
        std::fprintf(stderr, "error: error loading image file '%s'\n", p_image_path);
        if(options.b_verbose)
            std::fprintf(stderr, "error: %s\n", DescribeLoadFailure(failure));
        return -1;
    }
    Palette palette;
    ItemLayout layout;
    if(!b_written_while_loading) {
        p_image = MakeItems(p_image, options, n_converted_rows, palette, layout);
        if(!p_image)
            return -1;
    }

    PrintProgress(options, "writing image data ...");
    const bool b_written =
        b_written_while_loading ||
        WriteImageHeader(*p_image, options.format, layout, options.header, p_image_path, p_header_path);
    FreeImage(p_image);
    if(!b_written) {
        std::fprintf(stderr, "\nerror: error writing header file '%s'\n", p_header_path);
        return -1;
    }
    PrintProgress(options, " ok\n");
    return 0;
}

} // namespace tarnwick
