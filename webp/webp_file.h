// What both WebP loaders share, with libwebp or without: the RIFF header at
// the start of the file.
#ifndef TARNWICK_WEBP_FILE_H
#define TARNWICK_WEBP_FILE_H

#include <cstddef>
#include <cstdint>

#include "image.h"
#include "image_input.h"

namespace tarnwick {

// A WebP file is a RIFF container of form WEBP: "RIFF", the 32-bit
// little-endian size of what follows it, "WEBP".
constexpr size_t kWebpHeaderBytes = 12;

// Reads the stream's first twelve bytes into a_header: true when they are a
// WebP file's RIFF header, the stream then standing just after them.
// Otherwise false with the cause: kNotWebp, or kTruncated when the file ends
// within what starts as such a header.
bool ReadWebpHeader(InputStream &stream, uint8_t (&a_header)[kWebpHeaderBytes], LoadFailure &failure);

// The bytes of the whole file that the header declares: the RIFF size plus
// the 8 bytes before it.
uint64_t n_WebpFileBytes(const uint8_t (&a_header)[kWebpHeaderBytes]);

} // namespace tarnwick

#endif // TARNWICK_WEBP_FILE_H
