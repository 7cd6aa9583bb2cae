// Writes an Image as a C header: comment, include guard, the pixel array
// (plain or run-length packed), width and height constants (and the row bytes
// of 1-bit pixels), and optionally the source text of the unpacking function
// p_DecompressRLEImage.
#ifndef TARNWICK_HEADER_WRITER_H
#define TARNWICK_HEADER_WRITER_H

#include "image.h"
#include "output_format.h"

namespace tarnwick {

// The image's pixel array must already hold the items of the format
// (ConvertToOutputFormat): n_ItemCount(image, format) of them. The format
// picks the array's type (unsigned __int32, short or char), the digits and
// items per line, the packets' flag bit and the unpacking function's text;
// kMono adds "const unsigned int n_<name>_row_bytes" after the height.
//
// True when the whole header was written, flushed and closed. Returns false,
// before opening anything, when the header path names the image file itself
// (the same path, a link, another path to it), so that the picture is never
// overwritten. On any other failure returns false and removes the partly
// written file if it is a regular file that this call created or truncated.
// Prints nothing.
bool WriteImageHeader(const Image &image, OutputFormat format, bool b_rle, bool b_rle_decoder,
                      const char *p_image_path, const char *p_header_path);

} // namespace tarnwick

#endif // TARNWICK_HEADER_WRITER_H
