// Writing the header while the picture is still being loaded.
//
// A loader hands over rows as they become final (row_sink.h); a second
// thread converts them into the output format's items and writes them into
// the header's new file (header_writer.h: BeginImageHeader with b_by_rows),
// so that decoding and writing run on two processors at once. The header
// takes its place only when the picture has loaded completely and every
// byte is written; a load that fails removes the new file, and nothing at
// the header path changes. The header's bytes are those of writing it after
// the load.
//
// Overlapping is only tried where it can pay and cannot change a byte: two
// or more usable processors, no fitting step (crop, rotate, flip, resize,
// background, invert: they need the whole picture), and a format that
// converts each pixel by itself (b_ConvertsPixelByPixel). Loaders that never
// hand rows over (progressive JPEG, interlaced PNG, GIF, ...) simply load as
// before. Whatever stops the overlap (rows withdrawn, the new file not
// allowed in the header's folder, a write failing), the driver writes the
// header after the load as it always did, from the rows the writer did not
// convert.
#ifndef TARNWICK_DRIVER_OVERLAPPED_WRITING_H
#define TARNWICK_DRIVER_OVERLAPPED_WRITING_H

#include <cstdint>

#include "image.h"
#include "row_sink.h"
#include "switches.h"

namespace tarnwick {

struct OverlappedWriting;

// A writer ready to start with the first rows handed over, or nullptr when
// overlapping is not for this run (see above).
OverlappedWriting *PrepareOverlappedWriting(const ConversionOptions &options, const char *p_image_path,
                                            const char *p_header_path);

// The sink to give the loaders.
const RowSink *p_RowSinkOf(OverlappedWriting &writing);

// After the load: with the loaded image (nullptr when it failed), lets the
// writer finish (or drop its file) and waits for it; releases the writer.
// True when the header is written and in place. Otherwise the rows before
// n_converted_rows of the image hold their items already, and the header
// still has to be written (false with a failed load: nothing to write).
bool FinishOverlappedWriting(OverlappedWriting *p_writing, Image *p_image, int32_t &n_converted_rows);

} // namespace tarnwick

#endif // TARNWICK_DRIVER_OVERLAPPED_WRITING_H
