// Writes an Image as a C header: comment, include guard, the pixel array
// (plain or run-length packed; with --indexed a palette array in front),
// width and height constants (and the row bytes, pages or index bits of the
// layouts that have them), and optionally the source text of the unpacking
// function p_DecompressRLEImage. Switches shape the text for a toolchain or a
// display library (header_options.h): <stdint.h> types, static definitions,
// an attribute on the arrays, a chosen name, an LVGL 9 image descriptor.
#ifndef TARNWICK_HEADER_WRITER_H
#define TARNWICK_HEADER_WRITER_H

#include "array_plan.h"
#include "header_file.h"
#include "header_names.h"
#include "item_writer.h"
#include "header_options.h"
#include "image.h"
#include "lvgl_descriptor.h"
#include "output_format.h"

namespace tarnwick {

// The image's pixel array must already hold the items of the format in the
// layout (ConvertToOutputFormat with the same layout): n_ItemCount of them,
// as elements or, when b_ItemsAreBytes, as bytes. The format picks the
// array's type (unsigned __int32, short or char; with --stdint uint32_t,
// uint16_t or uint8_t), the digits and items per line, the packets' flag bit
// and the unpacking function's text. After the height, kMono declares
// "n_<name>_row_bytes" (rows) or "n_<name>_pages" (pages), and kIndexed
// "n_<name>_bits" and "n_<name>_row_bytes"; kIndexed's palette array
// "p_<name>_palette" and its "n_<name>_palette_size" come before the index
// array.
//
// With options.b_lvgl (which the layout's b_lvgl must match) the array is
// "uint8_t", holds LVGL's palette bytes in front of indexed and 1-bit data
// (and there is no separate palette array), and is followed by the
// descriptor dsc_<name>; b_rle and b_rle_decoder are then not used.
//
// True when the whole header was written, flushed and closed. Returns false,
// before opening anything, when the header path names the image file itself
// (the same path, a link, another path to it), so that the picture is never
// overwritten, when a chosen name is not a C identifier (b_IsHeaderName) or
// the attribute holds a line break (b_IsAttributeText), or when PlanArrays
// refuses the switches for this picture (--lvgl without an LVGL format, or a
// picture too large for LVGL's fields). On any other failure returns false
// and removes what it wrote; the header path keeps the header it had (with
// the exceptions of header_file.h). Prints nothing.
bool WriteImageHeader(const Image &image, OutputFormat format, const ItemLayout &layout,
                      const HeaderOptions &options, const char *p_image_path, const char *p_header_path);

// The same in steps, so that the items of a picture's first rows can be
// written while its later rows are still being loaded. The record holds the
// open file, its stream buffer, the plan, the names, and how far the items
// have got; some 140 KB, for a stack.
struct HeaderStream {
    HeaderFile file;
    ArrayPlan plan;
    HeaderOptions options;
    bool b_by_rows;         // the items follow the rows, one a pixel, a few rows at a time
    bool b_ok;              // every write so far succeeded
    int32_t n_rows_written; // (b_by_rows) rows whose items are written
    size_t n_packed_items;  // (b_by_rows with packets) items the packets written cover
    char a_guard[kHeaderNameBufferSize];
    char a_name[kHeaderNameBufferSize];
    ItemWriter writer;
    // The stream's buffer, one item chunk in size: the stream then hands the
    // system whole aligned 64 KiB blocks.
    alignas(64) char a_stream_buffer[kItemChunkBytes];
};

// Makes the checks of WriteImageHeader, opens the file and writes the text up
// to the array's first item; the image's size and descriptive fields must be
// those of the finished picture, its pixels need not be there yet. With
// b_by_rows the items are then written a few rows at a time
// (WriteHeaderRows), which needs a format of one item a pixel in pixel order
// (b_ConvertsPixelByPixel, without a palette), and the header is written to
// a new file beside the header path only (never in place), so that nothing
// there changes before EndImageHeader. False, with nothing open, when any of
// this cannot be; a write that fails here makes EndImageHeader fail.
bool BeginImageHeader(HeaderStream &stream, const Image &image, OutputFormat format, const ItemLayout &layout,
                      const HeaderOptions &options, const char *p_image_path, const char *p_header_path,
                      bool b_by_rows);

// (b_by_rows) Writes the items of the rows after those written before, up to
// n_end_row; those rows must hold their items already. With packets, a
// packet that the rows so far do not decide waits for the next call. False
// once a write has failed.
bool WriteHeaderRows(HeaderStream &stream, const Image &image, int32_t n_end_row);

// Writes the items not yet written (every one, without b_by_rows) and the
// rest of the text, closes the file and puts it in place. True when the
// header is complete and in place.
bool EndImageHeader(HeaderStream &stream, const Image &image, const char *p_header_path);

// Drops a header begun: closes and removes the new file, leaving the header
// path as it was.
void AbandonImageHeader(HeaderStream &stream, const char *p_header_path);

} // namespace tarnwick

#endif // TARNWICK_HEADER_WRITER_H
