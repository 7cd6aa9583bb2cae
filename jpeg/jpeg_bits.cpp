// The BitReader, and the slow paths of its window: opening, closing, and
// loading a byte from a new block.
#include "jpeg_bits.h"

namespace tarnwick {
namespace {

void SetAnchor(BitReaderWindow &window)
{
    window.p_anchor = window.p_next;
    window.n_anchor_loaded = window.n_loaded;
    window.b_anchor_last_ff = window.b_last_ff;
    window.b_stuffed_since_anchor = false;
}

} // namespace

void ClearBitReader(BitReader &reader)
{
    reader.n_byte = 0;
    reader.b_last_ff = 0;
    reader.n_bits_left = 0;
    reader.b_input_ended = 0;
}

void ResetBitReader(BitReader &reader)
{
    reader.n_bits_left = 0;
    reader.b_last_ff = 0;
}

BitReaderWindow OpenWindow(const BitReader &reader, const InputBuffer &input)
{
    BitReaderWindow window;
    window.n_count = reader.n_bits_left;
    // The unread bits of the reader's byte, and zeros below them.
    window.n_bits = window.n_count ? (uint64_t(reader.n_byte) << 56) & ~(~uint64_t(0) >> window.n_count) : 0;
    window.n_loaded = 0;
    window.p_next = input.p_cursor;
    window.p_end = input.data + input.n_count;
    window.b_last_ff = reader.b_last_ff;
    window.b_input_ended = reader.b_input_ended;
    SetAnchor(window);
    return window;
}

bool LoadByteOnDemand(BitReaderWindow &window, InputBuffer &input)
{
    if(window.b_input_ended)
        return false;
    input.p_cursor = window.p_next;
    uint8_t n_byte = 0;
    const bool b_loaded = ReadByte(input, n_byte) && !(n_byte == 0x00 && window.b_last_ff && !ReadByte(input, n_byte));
    if(b_loaded)
        AppendByte(window, n_byte);
    else
        window.b_input_ended = true;
    window.p_next = input.p_cursor;
    window.p_end = input.data + input.n_count;
    SetAnchor(window);
    return b_loaded;
}

void CloseWindow(const BitReaderWindow &window, BitReader &reader, InputBuffer &input)
{
    // Bytes from which a bit was taken: all but the whole unread bytes at the
    // end. The unread bits of the last of them make the reader's byte.
    const uint32_t n_kept = window.n_loaded - uint32_t(window.n_count / 8);
    const int n_bits_left = window.n_count % 8;
    const uint8_t *p_cursor = window.p_anchor;
    bool b_last_ff = window.b_anchor_last_ff;
    if(!window.b_stuffed_since_anchor) {
        p_cursor += n_kept - window.n_anchor_loaded;
        if(n_kept > window.n_anchor_loaded)
            b_last_ff = p_cursor[-1] == 0xFF;
    } else {
        // Walk the bytes again, with the stuffing rule, from the anchor.
        for(uint32_t i = window.n_anchor_loaded; i < n_kept; ++i) {
            uint8_t n_byte = *p_cursor++;
            if(n_byte == 0x00 && b_last_ff)
                n_byte = *p_cursor++;
            b_last_ff = n_byte == 0xFF;
        }
    }
    input.p_cursor = p_cursor;
    reader.n_byte = uint8_t(uint8_t(window.n_bits >> 56) & (0xFF00u >> n_bits_left));
    reader.n_bits_left = uint8_t(n_bits_left);
    reader.b_last_ff = b_last_ff;
    reader.b_input_ended = window.b_input_ended;
}

} // namespace tarnwick
