// Where every loader reads its picture from.
//
// The driver describes the picture once as an ImageInput. A regular file is
// kept as its path and size: each loader the driver tries opens it afresh
// and reads it forward. Anything else (a pipe, a FIFO, standard input, a
// process substitution such as <(curl ...)) can be read only once, so the
// driver reads it whole into memory first, up to kMaxPipedBytes, and every
// loader reads those same bytes. Either way a loader reads through an
// InputStream and knows how many bytes the picture holds: a file too short
// for the picture it declares is refused before the pixels are allocated,
// whatever kind of file it came from.
#ifndef TARNWICK_IMAGE_IMAGE_INPUT_H
#define TARNWICK_IMAGE_IMAGE_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image.h"

namespace tarnwick {

// The most bytes read from a picture that is not a regular file. A picture
// of 1 GiB is far beyond any display's; an endless pipe (/dev/zero) stops
// here with kInputTooLarge instead of exhausting memory.
constexpr uint64_t kMaxPipedBytes = uint64_t(1) << 30;

struct ImageInput {
    const char *p_path;     // the picture's path, opened by each reader when p_bytes is nullptr
    const uint8_t *p_bytes; // the whole picture in memory, or nullptr for a regular file
    uint64_t n_size;        // the picture's bytes: the regular file's size, or the bytes in memory
};

// Describes the picture at p_path. A regular file needs nothing more; any
// other kind is read whole into a block that ReleaseImageInput frees. False
// with the cause (kCannotOpen, kInputTooLarge, kOutOfMemory), holding nothing.
bool OpenImageInput(const char *p_path, ImageInput &input, LoadFailure &failure);
void ReleaseImageInput(ImageInput &input);

// Every loader's shape: a new Image from the picture, or nullptr with the
// cause in *p_failure (kNone with an Image).
typedef Image *(*ImageLoader)(const ImageInput &input, LoadFailure *p_failure);

// One loader on the picture at p_path: OpenImageInput, the loader,
// ReleaseImageInput.
Image *LoadImageAtPath(ImageLoader p_Load, const char *p_path, LoadFailure *p_failure);

// Bytes already in memory (a test's, a fuzzer's) as an ImageInput.
inline ImageInput BytesInput(const uint8_t *p_bytes, size_t n_size)
{
    return ImageInput{"", p_bytes, n_size};
}

// One reader's forward pass over an ImageInput.
struct InputStream {
    FILE *p_file;           // the opened regular file, or nullptr
    const uint8_t *p_bytes; // the bytes in memory when p_file is nullptr
    uint64_t n_size;        // bytes of the whole picture
    uint64_t n_position;    // bytes delivered (or skipped) so far
    char *p_file_buffer;    // the file stream's buffer, when one was asked for
    bool b_ended;           // a read or skip found the picture's end (or a read error)
};

// Starts a pass at the picture's first byte; for a regular file,
// n_buffer_bytes (when not 0) sizes the C library's buffer for it. False
// when the file cannot be opened (nothing is held then).
bool OpenInputStream(const ImageInput &input, InputStream &stream, size_t n_buffer_bytes);
void CloseInputStream(InputStream &stream);

// An InputStream over bytes in memory, which needs no closing.
inline InputStream MemoryStream(const uint8_t *p_bytes, size_t n_size)
{
    return InputStream{nullptr, p_bytes, n_size, 0, nullptr, false};
}

// Copies up to n_bytes to p_dest; returns how many were copied: fewer only
// at the end of the picture (or a read error).
size_t n_ReadInput(InputStream &stream, void *p_dest, size_t n_bytes);
// Passes over n_bytes; false when the picture ends first.
bool SkipInputBytes(InputStream &stream, uint64_t n_bytes);

// Bytes of the picture not yet read.
inline uint64_t n_InputBytesLeft(const InputStream &stream)
{
    return stream.n_size > stream.n_position ? stream.n_size - stream.n_position : 0;
}

} // namespace tarnwick

#endif // TARNWICK_IMAGE_IMAGE_INPUT_H
