// Bits of the entropy-coded data, in three layers: the BitReader, the state
// a scan keeps between restart intervals; its window, opened from it for one
// interval, through which every Huffman symbol and value of a sequential or
// progressive scan is read; and the window's register, the window's bits held
// in local variables while one block is read.
//
// Entropy-coded data is read most significant bit first; a 0x00 byte stuffed
// after every 0xFF data byte is dropped. Markers are not recognised inside
// the data: a scan ends by count, after its last MCU.
#ifndef TARNWICK_JPEG_BITS_H
#define TARNWICK_JPEG_BITS_H

#include <cstdint>

#include "input_buffer.h"
#include "jpeg_huffman.h"
#include "platform.h"

namespace tarnwick {

// Where the data stands while no window is open (between restart
// intervals): the rest of the last byte read.
struct BitReader {
    uint8_t n_byte;        // unread bits at the top
    uint8_t b_last_ff;     // the last byte loaded into n_byte was 0xFF
    uint8_t n_bits_left;   // unread bits in n_byte, 0..7
    uint8_t b_input_ended; // a bit was asked for after the input ended
};

// All fields 0: the state at the start of a scan.
void ClearBitReader(BitReader &reader);
// After a restart marker: the rest of the current byte and the memory of a
// preceding 0xFF are dropped.
void ResetBitReader(BitReader &reader);

// --- The BitReader's window -------------------------------------------------
//
// The scan decoders take their bits through a window of 64 bits that holds
// the unread bits at its top. Data bytes are loaded into it several at a time,
// with the stuffing rule (a 0x00 after a 0xFF data byte is dropped), and
// symbols and values are then taken from it without a check per bit: a code
// is still matched length by length, shortest first, against the first codes
// and counts.
//
// The window is opened from the BitReader and closed into it. Closing hands
// back every byte that was loaded ahead and from which no bit was taken, so
// that the BitReader and the InputBuffer then stand exactly where reading the
// same bits one at a time would have left them: a restart marker search, or
// the decode's marker search after the scan, goes on from the same byte.
// While a window is open, nothing else may read the InputBuffer.
//
// Bytes are loaded ahead only from the InputBuffer's current block. A new
// block is read only when the window is empty and a bit is needed, and then
// one byte through ReadByte, as a bit-at-a-time reading would; that position
// becomes the anchor. So every byte handed back lies in the current block,
// after the anchor, whose count of loaded bytes and last-0xFF state are known.
struct BitReaderWindow {
    uint64_t n_bits;          // unread bits at the top, zeros below them
    int n_count;              // unread bits, 0..64
    uint32_t n_loaded;        // data bytes loaded since opening
    const uint8_t *p_next;    // next byte of the block
    const uint8_t *p_end;     // end of the block's valid bytes
    bool b_last_ff;           // the last loaded data byte was 0xFF
    bool b_input_ended;       // a bit was asked for after the input ended
    bool b_stuffed_since_anchor;
    const uint8_t *p_anchor;  // a block position after n_anchor_loaded data bytes
    uint32_t n_anchor_loaded;
    bool b_anchor_last_ff;
};

BitReaderWindow OpenWindow(const BitReader &reader, const InputBuffer &input);
// Hands back the bytes loaded ahead and stores the state into the reader.
void CloseWindow(const BitReaderWindow &window, BitReader &reader, InputBuffer &input);
// The window is empty and a bit is needed: loads one data byte, dropping a
// stuffed zero, reading a new block if need be. False once the input has
// ended.
bool LoadByteOnDemand(BitReaderWindow &window, InputBuffer &input);

inline void AppendByte(BitReaderWindow &window, uint8_t n_byte)
{
    window.n_bits |= uint64_t(n_byte) << (56 - window.n_count);
    window.n_count += 8;
    window.b_last_ff = n_byte == 0xFF;
    ++window.n_loaded;
}

// Loads data bytes from the current block while whole bytes fit. When the
// next eight bytes hold no 0xFF (and the last byte loaded was none, so that
// no stuffed zero can be among them), as many of them as fit are loaded in
// one step. A stuffed zero at the very end of the block is left there: its
// data byte is in the next block, which only an empty window may read.
inline void FillWindow(BitReaderWindow &window)
{
    if(window.n_count <= 56 && window.p_end - window.p_next >= 8 && !window.b_last_ff) {
        const uint64_t n_next = n_LoadBigEndian64(window.p_next); // the first byte at the top
        // A byte 0xFF is a zero byte of ~n_next.
        const uint64_t n_inverse = ~n_next;
        if(((n_inverse - 0x0101010101010101u) & n_next & 0x8080808080808080u) == 0) {
            const int n_bytes = (64 - window.n_count) >> 3;
            const int n_new_bits = 8 * n_bytes;
            window.n_bits |= (n_next >> (64 - n_new_bits)) << (64 - window.n_count - n_new_bits);
            window.n_count += n_new_bits;
            window.n_loaded += uint32_t(n_bytes);
            window.p_next += n_bytes;
            return;
        }
    }
    while(window.n_count <= 56 && window.p_next != window.p_end) {
        const uint8_t *p_next = window.p_next;
        uint8_t n_byte = *p_next++;
        if(n_byte == 0x00 && window.b_last_ff) {
            if(p_next == window.p_end)
                return;
            n_byte = *p_next++;
            window.b_stuffed_since_anchor = true;
        }
        window.p_next = p_next;
        AppendByte(window, n_byte);
    }
}

// One bit, loading on demand: the path near block ends and at the end of
// the input. Once the input has ended every bit reads 0.
inline int TakeBit(BitReaderWindow &window, InputBuffer &input)
{
    if(window.n_count == 0 && !LoadByteOnDemand(window, input))
        return 0;
    const int n_bit = int(window.n_bits >> 63);
    window.n_bits <<= 1;
    --window.n_count;
    return n_bit;
}

inline void DropBits(BitReaderWindow &window, int n_bits)
{
    window.n_bits <<= n_bits;
    window.n_count -= n_bits;
}

// With at least kMaxCodeLength bits in the window: the symbol of the code at
// its top, through the lookahead table, or for a longer code the search from
// the table's n_long_code_start_index; false when no code of up to 16 bits matches
// (all sixteen bits are dropped then, as a bit-at-a-time search would have
// read them).
inline bool TakeSymbolFromFullWindow(BitReaderWindow &window, const HuffmanTable &table, uint8_t &n_symbol)
{
    const uint32_t n_entry = table.lookahead[window.n_bits >> (64 - kLookaheadBits)];
    if(n_entry) {
        n_symbol = uint8_t(n_entry);
        DropBits(window, int(n_entry >> 8));
        return true;
    }
    const uint64_t n_bits = window.n_bits;
    const int n_length = n_MatchedCodeLength(
        table, table.n_long_code_start_index, kMaxCodeLength,
        [n_bits](int n_index) { return int32_t(n_bits >> (63 - n_index)); }, n_symbol);
    DropBits(window, n_length ? n_length : kMaxCodeLength);
    return n_length != 0;
}

// The next symbol of the table's code (whose lookahead tables are built);
// false when no code of up to 16 bits matches or the input ended.
inline bool TakeSymbol(BitReaderWindow &window, InputBuffer &input, const HuffmanTable &table, uint8_t &n_symbol)
{
    if(window.n_count < kMaxCodeLength)
        FillWindow(window);
    if(window.n_count >= kMaxCodeLength)
        return TakeSymbolFromFullWindow(window, table, n_symbol);
    return MatchCodeBitByBit(table, [&window, &input] { return TakeBit(window, input); }, n_symbol) &&
           !window.b_input_ended;
}

// n_bits (0..16) bits as they stand, first bit highest.
inline uint32_t TakeBits(BitReaderWindow &window, InputBuffer &input, int n_bits)
{
    if(window.n_count < n_bits)
        FillWindow(window);
    uint32_t n_value = 0;
    if(window.n_count >= n_bits) {
        if(n_bits) {
            n_value = uint32_t(window.n_bits >> (64 - n_bits));
            DropBits(window, n_bits);
        }
    } else {
        for(int i = 0; i < n_bits; ++i)
            n_value = n_value << 1 | uint32_t(TakeBit(window, input));
    }
    return n_value;
}

// n_bits (1..16) bits, sign-extended by ExtendSign.
inline int16_t TakeValue(BitReaderWindow &window, InputBuffer &input, int n_bits)
{
    return ExtendSign(TakeBits(window, input, n_bits), n_bits);
}

// --- The window's register ---------------------------------------------------
//
// The window's bits and count, held in local variables while a block is
// read, so that the compiler keeps them in registers: the window itself lives
// in memory, since its slow paths take it by reference. Every call that
// works on the window is preceded by StoreRegister and followed by
// LoadRegister.
struct WindowRegister {
    uint64_t n_bits;
    int n_count;
};

inline WindowRegister LoadRegister(const BitReaderWindow &window)
{
    return WindowRegister{window.n_bits, window.n_count};
}

inline void StoreRegister(const WindowRegister &bits, BitReaderWindow &window)
{
    window.n_bits = bits.n_bits;
    window.n_count = bits.n_count;
}

inline void DropRegisterBits(WindowRegister &bits, int n_bits)
{
    bits.n_bits <<= n_bits;
    bits.n_count -= n_bits;
}

// TakeBit through the register.
inline int TakeRegisterBit(WindowRegister &bits, BitReaderWindow &window, InputBuffer &input)
{
    if(bits.n_count == 0) {
        StoreRegister(bits, window);
        const int n_bit = TakeBit(window, input);
        bits = LoadRegister(window);
        return n_bit;
    }
    const int n_bit = int(bits.n_bits >> 63);
    DropRegisterBits(bits, 1);
    return n_bit;
}

// TakeBits through the register.
inline uint32_t TakeRegisterBits(WindowRegister &bits, BitReaderWindow &window, InputBuffer &input, int n_bits)
{
    if(bits.n_count >= n_bits) {
        const uint32_t n_value = n_bits ? uint32_t(bits.n_bits >> (64 - n_bits)) : 0;
        if(n_bits)
            DropRegisterBits(bits, n_bits);
        return n_value;
    }
    StoreRegister(bits, window);
    const uint32_t n_value = TakeBits(window, input, n_bits);
    bits = LoadRegister(window);
    return n_value;
}

// TakeSymbol through the register: a code of up to kLookaheadBits found in
// the register itself, anything else through the window.
inline bool TakeRegisterSymbol(WindowRegister &bits, BitReaderWindow &window, InputBuffer &input, const HuffmanTable &table,
                               uint8_t &n_symbol)
{
    if(bits.n_count >= kMaxCodeLength) {
        const uint32_t n_entry = table.lookahead[bits.n_bits >> (64 - kLookaheadBits)];
        if(n_entry) {
            n_symbol = uint8_t(n_entry);
            DropRegisterBits(bits, int(n_entry >> 8));
            return true;
        }
    }
    StoreRegister(bits, window);
    const bool b_matched = TakeSymbol(window, input, table, n_symbol);
    bits = LoadRegister(window);
    return b_matched;
}

// Fills the window through the register when it holds fewer than n_bits.
inline void FillRegister(WindowRegister &bits, BitReaderWindow &window, int n_bits)
{
    if(bits.n_count < n_bits) {
        StoreRegister(bits, window);
        FillWindow(window);
        bits = LoadRegister(window);
    }
}

} // namespace tarnwick

#endif // TARNWICK_JPEG_BITS_H
