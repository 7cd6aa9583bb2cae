// What both PNG loaders share, with libpng or without: the signature check
// on opening the file (this file also defines LoadPngImage and
// NativePixelByteOrder of png_loader.h).
#ifndef TARNWICK_PNG_FILE_H
#define TARNWICK_PNG_FILE_H

#include <cstdint>
#include <cstdio>

#include "image.h"

namespace tarnwick {

// Every PNG file starts with these eight bytes.
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Opens the file for binary reading and reads its first eight bytes. Returns
// the file, positioned just after them, when they are the PNG signature;
// otherwise closes it and returns nullptr with the cause: kCannotOpen,
// kNotPng, or kTruncated when the file ends within the signature.
FILE *OpenPngFile(const char *p_path, LoadFailure *p_failure);

} // namespace tarnwick

#endif // TARNWICK_PNG_FILE_H
