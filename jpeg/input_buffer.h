// Block reader over a JPEG file's InputStream (image_input.h), and the
// marker search.
//
// Every byte the decoder takes from its file passes through one InputBuffer:
// a fixed 16 KiB block, refilled with one read when it runs dry. The file is
// consumed strictly forward and never repositioned; the buffer borrows the
// stream and neither opens nor closes it.
#ifndef TARNWICK_JPEG_INPUT_BUFFER_H
#define TARNWICK_JPEG_INPUT_BUFFER_H

#include <cstdint>

#include "image_input.h"

namespace tarnwick {

constexpr int32_t kInputBlockSize = 0x4000;

struct InputBuffer {
    uint8_t data[kInputBlockSize]; // the current block of the file
    int32_t n_count;               // valid bytes in data, from the last refill
    const uint8_t *p_cursor;       // next byte to deliver
    InputStream *p_stream;         // borrowed
    uint8_t b_ended;               // a refill found the file at its end (or unreadable)
};

// Sets the buffer empty over the stream; reads nothing.
void AttachInputBuffer(InputBuffer &input, InputStream &stream);
// The slow path of ReadByte: refills the empty block and delivers its first
// byte; false (out unchanged) when the file gives nothing more.
bool ReadByteAfterRefill(InputBuffer &input, uint8_t &n_out);

// The next byte; false at end of input (out unchanged). Inline: the scan
// takes most of the file through it, and only a refill leaves the fast path.
inline bool ReadByte(InputBuffer &input, uint8_t &n_out)
{
    if(input.p_cursor == input.data + input.n_count)
        return ReadByteAfterRefill(input, n_out);
    n_out = *input.p_cursor++;
    return true;
}

// Big-endian 16-bit value; false if either byte is missing.
bool ReadU16(InputBuffer &input, uint16_t &n_out);
// Passes over n bytes; false when the input ends first.
bool SkipInput(InputBuffer &input, uint32_t n_bytes);
// The next marker 0xFF00 | code, passing over fill bytes and stuffed zeros;
// false when the input ends before one is found.
bool FindMarker(InputBuffer &input, uint16_t &n_marker);

} // namespace tarnwick

#endif // TARNWICK_JPEG_INPUT_BUFFER_H
