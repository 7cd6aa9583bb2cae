// Huffman tables of the JPEG decoder: the canonical code of a table segment,
// the search for a code one length at a time, and the lookahead tables that
// find a short code, or a short code and its value bits, with one look.
//
// A DHT segment gives, for each code length 1..16, the number of codes of
// that length, and then the symbols in code order. The codes are canonical:
// those of one length are consecutive, starting where the codes of the
// length before ended, doubled. A code c of length L + 1 (L the length's
// index, 0..15) is the table's when n_first_codes[L] <= c < n_first_codes[L]
// + n_code_counts[L]; its symbol is c - n_first_codes[L] places after
// p_first_values[L].
#ifndef TARNWICK_JPEG_HUFFMAN_H
#define TARNWICK_JPEG_HUFFMAN_H

#include <cstdint>

namespace tarnwick {

constexpr int kMaxCodeLength = 16;
constexpr int kMaxHuffmanSymbols = 256;
// Codes of up to this many bits are found with one look at a table.
constexpr int kLookaheadBits = 9;

struct HuffmanTable {
    uint8_t b_defined;                    // a segment of this decode filled it
    uint8_t n_code_counts[16];            // [L]: codes of length L + 1
    const uint8_t *p_first_values[16];    // [L]: first symbol of length L + 1
    uint16_t n_first_codes[16];           // [L]: first canonical code of length L + 1
    uint8_t symbols[256];                 // by increasing code length

    // The lookahead tables, built by BuildLookahead at the first scan that
    // decodes with the table, so that a file of nothing but table segments
    // costs no more than their parsing; b_lookahead_built drops whenever a
    // segment defines the table anew.
    uint8_t b_lookahead_built;
    // The length index where the search for a code longer than
    // kLookaheadBits starts: kLookaheadBits, or the index of the shortest
    // length that has codes if that is larger.
    uint8_t n_long_code_start_index;
    // [p], p the next kLookaheadBits bits: the code they begin with, as its
    // length in bits << 8 | its symbol; 0 when no code of up to
    // kLookaheadBits bits matches.
    uint16_t lookahead[1 << kLookaheadBits];
    // [p]: for a symbol of run r and size s != 0 whose code and s value bits
    // all lie within p, the value (ExtendSign applied) << 16 | r << 8 | code
    // length + s; 0 otherwise. (Used by the tables of AC coefficients.)
    uint32_t coefficient_lookahead[1 << kLookaheadBits];
};

// Sets n_first_codes and p_first_values from n_code_counts; false when the
// counts ask for more than 256 symbols, or for more codes of some length than
// its bits can hold (three 1-bit codes, say: some bit strings would have two
// meanings).
bool SetCanonicalCodes(HuffmanTable &table);

// The index of the shortest code length that has codes (16 when none has):
// the code search of a table may start there.
uint8_t n_ShortestCodeIndex(const HuffmanTable &table);

// The canonical code search, one length at a time: for the length indices
// L = n_first_index, ... n_end_index - 1 in turn, the code formed by the first
// L + 1 bits matches when it lies within the n_code_counts[L] codes from
// n_first_codes[L]. code_of_index(L) gives that code. Returns the length in
// bits of the code that matched, 0 when none matched. Lengths below
// n_first_index must have no codes, or none that the bits can match.
template <typename CodeOfIndex>
inline int n_MatchedCodeLength(const HuffmanTable &table, int n_first_index, int n_end_index, CodeOfIndex code_of_index,
                               uint8_t &n_symbol)
{
    for(int n_index = n_first_index; n_index < n_end_index; ++n_index) {
        const int32_t n_offset = code_of_index(n_index) - table.n_first_codes[n_index];
        // SetCanonicalCodes refuses more than 256 symbols, so the codes of
        // every length point inside symbols.
        if(uint32_t(n_offset) < table.n_code_counts[n_index]) {
            n_symbol = table.p_first_values[n_index][n_offset];
            return n_index + 1;
        }
    }
    return 0;
}

// The search over bits that come one at a time from next_bit(); false when
// no code of up to 16 bits matches.
template <typename NextBit>
inline bool MatchCodeBitByBit(const HuffmanTable &table, NextBit next_bit, uint8_t &n_symbol)
{
    int32_t n_code = 0;
    return n_MatchedCodeLength(
               table, 0, kMaxCodeLength, [&n_code, &next_bit](int) { return n_code = n_code << 1 | next_bit(); },
               n_symbol) != 0;
}

// The EXTEND rule on n_bits (1..16) value bits v whose first bit is the top
// one: a value whose first bit is 0 is v - (2^n - 1), within 16 bits (n = 3:
// 101 -> 5, 010 -> -5).
inline int16_t ExtendSign(uint32_t n_value, int n_bits)
{
    // Without a branch: the sign of a coefficient is a coin toss.
    const uint32_t n_negative_mask = (n_value >> (n_bits - 1)) - 1u; // all ones when the first bit is 0
    n_value += n_negative_mask & (1u - (1u << n_bits));
    return int16_t(uint16_t(n_value));
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

} // namespace tarnwick

#endif // TARNWICK_JPEG_HUFFMAN_H
