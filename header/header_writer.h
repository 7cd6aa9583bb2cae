// Writes an Image as a C header: comment, include guard, the pixel array
// (plain or run-length packed), width and height constants (and the row bytes
// of 1-bit pixels), and optionally the source text of the unpacking function
// p_DecompressRLEImage. Switches shape the text for a toolchain or a display
// library: <stdint.h> types, static definitions, an attribute on the arrays,
// a chosen name, an LVGL 9 image descriptor.
#ifndef TARNWICK_HEADER_WRITER_H
#define TARNWICK_HEADER_WRITER_H

#include "image.h"
#include "lvgl_descriptor.h"
#include "output_format.h"

namespace tarnwick {

// The switches that shape the header's text.
struct HeaderOptions {
    bool b_rle;              // --rle: the array as run-length packets
    bool b_rle_decoder;      // --rle-decoder: append p_DecompressRLEImage
    bool b_stdint;           // --stdint: #include <stdint.h>, items uint32_t, uint16_t, uint8_t
    bool b_static;           // --static: "static" before every definition ("static inline" for the function)
    bool b_lvgl;             // --lvgl: a byte array and an LVGL 9 descriptor; no packets, no function
    const char *p_attribute; // --attribute=TEXT: written between "[]" and " = {"; nullptr or "" for none
    const char *p_name;      // --name=NAME: replaces the name made from the image path; nullptr for that name
};

// None of the switches: today's header.
HeaderOptions PlainHeaderOptions();

// The LVGL colour format that holds the items of an output format; false
// when LVGL has none for it.
bool b_LvglFormatOf(OutputFormat format, LvglFormat &lvgl);

// The image's pixel array must already hold the items of the format
// (ConvertToOutputFormat): n_ItemCount(image, format) of them. The format
// picks the array's type (unsigned __int32, short or char), the digits and
// items per line, the packets' flag bit and the unpacking function's text;
// kMono adds "const unsigned int n_<name>_row_bytes" after the height.
//
// With b_lvgl the array is "uint8_t" and holds the bytes of LVGL's layout of
// the format (b_LvglFormatOf; I1 with its palette of black and white in
// front), followed by the descriptor dsc_<name>; b_rle and b_rle_decoder are
// then not used. A picture whose sizes do not fit LVGL's header
// (b_FitsLvglHeader) is refused.
//
// True when the whole header was written, flushed and closed. Returns false,
// before opening anything, when the header path names the image file itself
// (the same path, a link, another path to it), so that the picture is never
// overwritten, when a chosen name is not a C identifier (b_IsHeaderName) or
// the attribute holds a line break (b_IsAttributeText), or when b_lvgl is set
// and LVGL has no format for the picture or it does not fit. On any other
// failure returns false and removes the partly written file if it is a
// regular file that this call created or truncated. Prints nothing.
bool WriteImageHeader(const Image &image, OutputFormat format, const HeaderOptions &options,
                      const char *p_image_path, const char *p_header_path);

} // namespace tarnwick

#endif // TARNWICK_HEADER_WRITER_H
