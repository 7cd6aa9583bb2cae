// Bits of the entropy-coded data: the reader state that a scan keeps
// between MCUs, the bit window through which every Huffman symbol and value
// of a baseline or progressive scan is read, and the canonical code search.
//
// Entropy-coded data is read most significant bit first; a 0x00 byte stuffed
// after every 0xFF data byte is dropped. Markers are not recognised inside
// the data: a scan ends by count, after its last MCU.
#ifndef TARNWICK_JPEG_BITS_H
#define TARNWICK_JPEG_BITS_H

#include <cstdint>

#include "input_buffer.h"
#include "jpeg_decoder.h"
#include "platform.h"

namespace tarnwick {

// Where the data stands between MCUs: the rest of the last byte read.
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

constexpr int kMaxCodeLength = 16;

// The index of the shortest code length that has codes (16 when none has):
// the code search of a table may start there.
uint8_t n_FirstUsedLength(const HuffmanTable &table);

// The canonical code search, one length at a time: for L = n_start_length,
// ... n_end_length - 1 in turn, the code formed by the first L + 1 bits
// matches when it lies within the n_code_counts[L] codes from
// n_first_codes[L]. code_of_length(L) gives that code. Returns the length in
// bits of the code that matched, 0 when none matched. Lengths below
// n_start_length must have no codes, or no code that the bits can match.
template <typename CodeOfLength>
inline int MatchCode(const HuffmanTable &table, int n_start_length, int n_end_length, CodeOfLength code_of_length,
                     uint8_t &n_symbol)
{
    for(int n_length = n_start_length; n_length < n_end_length; ++n_length) {
        const int32_t n_offset = code_of_length(n_length) - table.n_first_codes[n_length];
        // The table parser refuses more than 256 symbols, so the codes of
        // every length point inside symbols.
        if(uint32_t(n_offset) < table.n_code_counts[n_length]) {
            n_symbol = table.p_first_values[n_length][n_offset];
            return n_length + 1;
        }
    }
    return 0;
}

// The search over bits that come one at a time from next_bit().
template <typename NextBit>
inline bool MatchCodeBitByBit(const HuffmanTable &table, NextBit next_bit, uint8_t &n_symbol)
{
    int32_t n_code = 0;
    return MatchCode(
               table, 0, kMaxCodeLength, [&n_code, &next_bit](int) { return n_code = n_code << 1 | next_bit(); },
               n_symbol) != 0;
}

// Fills the table's lookahead tables from its codes: each entry holds what
// the code search gives for those kLookaheadBits bits, so that a symbol
// found through them is the very one the search would find.
void BuildLookahead(HuffmanTable &table);
// Builds them unless they are built already.
inline void PrepareLookahead(HuffmanTable &table)
{
    if(!table.b_lookahead_built)
        BuildLookahead(table);
}

// The EXTEND rule on n_bits (1..16) bits v whose first bit is the top one: a
// value whose first bit is 0 is v - (2^n - 1), within 16 bits (n = 3:
// 101 -> 5, 010 -> -5).
inline int16_t ExtendSign(uint32_t n_value, int n_bits)
{
    // Without a branch: the sign of a coefficient is a coin toss.
    const uint32_t n_negative_mask = (n_value >> (n_bits - 1)) - 1u; // all ones when the first bit is 0
    n_value += n_negative_mask & (1u - (1u << n_bits));
    return int16_t(uint16_t(n_value));
}

// --- Bit window --------------------------------------------------------------
//
// The scan decoders take their bits through a 64-bit register that holds the
// unread bits at its top. Data bytes are loaded into it several at a time,
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
// becomes the anchor. So every byte handed back lies in the current block, after the
// anchor, whose count of loaded bytes and last-0xFF state are known.
struct BitWindow {
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

BitWindow OpenWindow(const BitReader &reader, const InputBuffer &input);
// Hands back the bytes loaded ahead and stores the state into the reader.
void CloseWindow(const BitWindow &window, BitReader &reader, InputBuffer &input);
// The window is empty and a bit is needed: loads one data byte, dropping a
// stuffed zero, reading a new block if need be. False once the input has
// ended.
bool LoadByteOnDemand(BitWindow &window, InputBuffer &input);

inline void AppendByte(BitWindow &window, uint8_t n_byte)
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
inline void FillWindow(BitWindow &window)
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
inline int TakeBit(BitWindow &window, InputBuffer &input)
{
    if(window.n_count == 0 && !LoadByteOnDemand(window, input))
        return 0;
    const int n_bit = int(window.n_bits >> 63);
    window.n_bits <<= 1;
    --window.n_count;
    return n_bit;
}

inline void DropBits(BitWindow &window, int n_bits)
{
    window.n_bits <<= n_bits;
    window.n_count -= n_bits;
}

// With at least kMaxCodeLength bits in the window: the symbol of the code at
// its top, through the lookahead table, or for a longer code the search from
// the table's n_long_code_start; false when no code of up to 16 bits matches
// (all sixteen bits are dropped then, as a bit-at-a-time search would have
// read them).
inline bool TakeSymbolFromFullWindow(BitWindow &window, const HuffmanTable &table, uint8_t &n_symbol)
{
    const uint32_t n_entry = table.lookahead[window.n_bits >> (64 - kLookaheadBits)];
    if(n_entry) {
        n_symbol = uint8_t(n_entry);
        DropBits(window, int(n_entry >> 8));
        return true;
    }
    const uint64_t n_bits = window.n_bits;
    const int n_length = MatchCode(
        table, table.n_long_code_start, kMaxCodeLength, [n_bits](int n_index) { return int32_t(n_bits >> (63 - n_index)); },
        n_symbol);
    DropBits(window, n_length ? n_length : kMaxCodeLength);
    return n_length != 0;
}

// The next symbol of the table's code (whose lookahead tables are built);
// false when no code of up to 16 bits matches or the input ended.
inline bool TakeSymbol(BitWindow &window, InputBuffer &input, const HuffmanTable &table, uint8_t &n_symbol)
{
    if(window.n_count < kMaxCodeLength)
        FillWindow(window);
    if(window.n_count >= kMaxCodeLength)
        return TakeSymbolFromFullWindow(window, table, n_symbol);
    return MatchCodeBitByBit(table, [&window, &input] { return TakeBit(window, input); }, n_symbol) &&
           !window.b_input_ended;
}

// n_bits (0..16) bits as they stand, first bit highest.
inline uint32_t TakeBits(BitWindow &window, InputBuffer &input, int n_bits)
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
inline int16_t TakeValue(BitWindow &window, InputBuffer &input, int n_bits)
{
    return ExtendSign(TakeBits(window, input, n_bits), n_bits);
}

// --- Bit register ------------------------------------------------------------
//
// The window's bits and count, held in local variables while a block is
// read, so that the compiler keeps them in registers: the window itself lives
// in memory, since its slow paths take it by reference. Every call that
// works on the window is preceded by StoreRegister and followed by
// RegisterOf.
struct BitRegister {
    uint64_t n_bits;
    int n_count;
};

inline BitRegister RegisterOf(const BitWindow &window)
{
    return BitRegister{window.n_bits, window.n_count};
}

inline void StoreRegister(const BitRegister &bits, BitWindow &window)
{
    window.n_bits = bits.n_bits;
    window.n_count = bits.n_count;
}

inline void DropRegisterBits(BitRegister &bits, int n_bits)
{
    bits.n_bits <<= n_bits;
    bits.n_count -= n_bits;
}

// TakeBit through the register.
inline int TakeRegisterBit(BitRegister &bits, BitWindow &window, InputBuffer &input)
{
    if(bits.n_count == 0) {
        StoreRegister(bits, window);
        const int n_bit = TakeBit(window, input);
        bits = RegisterOf(window);
        return n_bit;
    }
    const int n_bit = int(bits.n_bits >> 63);
    DropRegisterBits(bits, 1);
    return n_bit;
}

// TakeBits through the register.
inline uint32_t TakeRegisterBits(BitRegister &bits, BitWindow &window, InputBuffer &input, int n_bits)
{
    if(bits.n_count >= n_bits) {
        const uint32_t n_value = n_bits ? uint32_t(bits.n_bits >> (64 - n_bits)) : 0;
        if(n_bits)
            DropRegisterBits(bits, n_bits);
        return n_value;
    }
    StoreRegister(bits, window);
    const uint32_t n_value = TakeBits(window, input, n_bits);
    bits = RegisterOf(window);
    return n_value;
}

// TakeSymbol through the register: a code of up to kLookaheadBits found in
// the register itself, anything else through the window.
inline bool TakeRegisterSymbol(BitRegister &bits, BitWindow &window, InputBuffer &input, const HuffmanTable &table,
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
    bits = RegisterOf(window);
    return b_matched;
}

// Fills the window through the register when it holds fewer than n_bits.
inline void FillRegister(BitRegister &bits, BitWindow &window, int n_bits)
{
    if(bits.n_count < n_bits) {
        StoreRegister(bits, window);
        FillWindow(window);
        bits = RegisterOf(window);
    }
}

} // namespace tarnwick

#endif // TARNWICK_JPEG_BITS_H
