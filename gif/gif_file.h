// What both GIF loaders share, with giflib or without: the signature at the
// start of the file.
#ifndef TARNWICK_GIF_FILE_H
#define TARNWICK_GIF_FILE_H

#include <cstddef>
#include <cstdint>

#include "image.h"
#include "image_input.h"

namespace tarnwick {

// Every GIF file starts with "GIF87a" or "GIF89a".
constexpr size_t kGifSignatureBytes = 6;

// Reads the stream's first six bytes into a_signature: true when they are a
// GIF signature, the stream then standing just after them. Otherwise false
// with the cause: kNotGif, or kTruncated when the file ends within what
// starts as a signature.
bool ReadGifSignature(InputStream &stream, uint8_t (&a_signature)[kGifSignatureBytes], LoadFailure &failure);

} // namespace tarnwick

#endif // TARNWICK_GIF_FILE_H
