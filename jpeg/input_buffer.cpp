// Block reader and marker search.
//
// The buffer holds one block of at most 16 KiB; the bytes from p_cursor to
// data + n_count are still to be delivered. A refill is one fread of a whole
// block; a short block is used in full and the next refill asks the file
// again, so a read error simply looks like the end of the input. Skipping
// reads and drops whole blocks: the file is never repositioned, which keeps
// pipes and other unseekable inputs working.
//
// A JPEG marker is a 0xFF byte followed by a code byte other than 0x00 (a
// stuffed zero inside entropy-coded data) and 0xFF (a fill byte). The search
// looks at the stream two bytes at a time and falls back to one byte at a time
// only while it holds a 0xFF, so it finds a marker at an even or odd offset
// alike. It knows nothing of segment lengths: it scans through whatever bytes
// no parser consumed.
#include "input_buffer.h"

namespace tarnwick {
namespace {

const uint8_t *p_BlockEnd(const InputBuffer &input)
{
    return input.data + input.n_count;
}

// Reads the next block; false (with no undelivered bytes) when the file gives
// nothing more.
bool Refill(InputBuffer &input)
{
    input.n_count = int32_t(n_ReadInput(*input.p_stream, input.data, sizeof(input.data)));
    input.p_cursor = input.data;
    input.b_ended = input.n_count == 0;
    return !input.b_ended;
}

} // namespace

void AttachInputBuffer(InputBuffer &input, InputStream &stream)
{
    input.n_count = 0;
    input.p_cursor = input.data;
    input.p_stream = &stream;
    input.b_ended = 0;
}

bool ReadByteAfterRefill(InputBuffer &input, uint8_t &n_out)
{
    if(!Refill(input))
        return false;
    n_out = *input.p_cursor;
    ++input.p_cursor;
    return true;
}

bool ReadU16(InputBuffer &input, uint16_t &n_out)
{
    uint8_t n_high, n_low;
    if(!ReadByte(input, n_high) || !ReadByte(input, n_low))
        return false;
    n_out = uint16_t(n_high << 8 | n_low);
    return true;
}

bool SkipInput(InputBuffer &input, uint32_t n_bytes)
{
    uint32_t n_left = uint32_t(p_BlockEnd(input) - input.p_cursor);
    while(n_bytes > n_left) {
        n_bytes -= n_left;
        if(!Refill(input))
            return false;
        n_left = uint32_t(input.n_count);
    }
    input.p_cursor += n_bytes;
    return true;
}

bool FindMarker(InputBuffer &input, uint16_t &n_marker)
{
    uint16_t n_pair;
    if(!ReadU16(input, n_pair))
        return false;
    for(;;) {
        const uint8_t n_high = uint8_t(n_pair >> 8), n_low = uint8_t(n_pair);
        if(n_low == 0xFF) {
            // A 0xFF in either place may start a marker: look at the byte after it.
            uint8_t n_next;
            if(!ReadByte(input, n_next))
                return false;
            n_pair = uint16_t(0xFF00 | n_next);
        } else if(n_high == 0xFF && n_low != 0x00) {
            n_marker = n_pair;
            return true;
        } else if(!ReadU16(input, n_pair)) {
            // Neither byte starts a marker, or 0xFF 0x00 is a stuffed zero.
            return false;
        }
    }
}

} // namespace tarnwick
