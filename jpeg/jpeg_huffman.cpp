// Huffman tables: the canonical codes from a segment's counts, and the
// lookahead tables built from them.
#include "jpeg_huffman.h"

namespace tarnwick {

bool SetCanonicalCodes(HuffmanTable &table)
{
    // The n codes of length L + 1 follow the last code of the length before,
    // doubled, and must end within the 2^(L + 1) codes of that many bits.
    uint32_t n_code = 0;
    int n_total = 0;
    for(int n_index = 0; n_index < kMaxCodeLength; ++n_index) {
        table.p_first_values[n_index] = table.symbols + (n_total < kMaxHuffmanSymbols ? n_total : kMaxHuffmanSymbols);
        table.n_first_codes[n_index] = uint16_t(n_code);
        n_code += table.n_code_counts[n_index];
        n_total += table.n_code_counts[n_index];
        if(n_code > (uint32_t(1) << (n_index + 1)))
            return false;
        n_code <<= 1;
    }
    return n_total <= kMaxHuffmanSymbols;
}

uint8_t n_ShortestCodeIndex(const HuffmanTable &table)
{
    uint8_t n_index = 0;
    while(n_index < kMaxCodeLength && table.n_code_counts[n_index] == 0)
        ++n_index;
    return n_index;
}

void BuildLookahead(HuffmanTable &table)
{
    const uint8_t n_shortest = n_ShortestCodeIndex(table);
    table.n_long_code_start_index = n_shortest > kLookaheadBits ? n_shortest : uint8_t(kLookaheadBits);
    for(uint32_t n_prefix = 0; n_prefix < (1u << kLookaheadBits); ++n_prefix) {
        uint8_t n_symbol = 0;
        const int n_length = n_MatchedCodeLength(
            table, 0, kLookaheadBits,
            [n_prefix](int n_index) { return int32_t(n_prefix >> (kLookaheadBits - 1 - n_index)); }, n_symbol);
        table.lookahead[n_prefix] = uint16_t(n_length ? n_length << 8 | n_symbol : 0);
        // A coefficient whose value bits follow within the prefix.
        const int n_size = n_symbol & 0x0F;
        uint32_t n_coefficient = 0;
        if(n_length && n_size && n_length + n_size <= kLookaheadBits) {
            const uint32_t n_value_bits = (n_prefix >> (kLookaheadBits - n_length - n_size)) & ((1u << n_size) - 1);
            n_coefficient = uint32_t(uint16_t(ExtendSign(n_value_bits, n_size))) << 16 | uint32_t(n_symbol >> 4) << 8 |
                            uint32_t(n_length + n_size);
        }
        table.coefficient_lookahead[n_prefix] = n_coefficient;
    }
    table.b_lookahead_built = 1;
}

} // namespace tarnwick
