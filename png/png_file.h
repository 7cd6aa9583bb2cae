// What both PNG loaders share, with libpng or without: the signature check
// at the start of the file.
#ifndef TARNWICK_PNG_FILE_H
#define TARNWICK_PNG_FILE_H

#include <cstdint>

#include "image.h"
#include "image_input.h"

namespace tarnwick {

// Every PNG file starts with these eight bytes.
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Reads the stream's first eight bytes: true when they are the PNG
// signature, the stream then standing just after them. Otherwise false with
// the cause: kNotPng, or kTruncated when the file ends within a correct
// signature.
bool ReadPngSignature(InputStream &stream, LoadFailure &failure);

} // namespace tarnwick

#endif // TARNWICK_PNG_FILE_H
