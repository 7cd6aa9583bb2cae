// The item writer: prints the items of the header's pixel array.
//
// Every item is an unsigned 32-bit number (a pixel, or a packet header or
// value of the run-length packer) written as a lower-case hexadecimal literal
// exactly as printf would with "0x%08x" (32-bit kind) or "0x%02x" (8-bit
// kind), followed by its separator:
//   "\n"     after the last item of the array,
//   ",\n\t"  after the item that completes a line (7 or 14 items a line),
//   ", "     after any other item.
// The line counter counts down from the items per line and starts again when
// it reaches zero, so every line of values holds 7 (or 14) items whatever the
// items stand for.
//
// Formatting goes through a table of hexadecimal digit pairs into a fixed
// chunk inside the writer, which is handed to the buffered stream whenever it
// fills up: there is no per-item call into stdio and no allocation. Write
// errors are not reported here; the caller checks the stream's error state
// after FlushItemChunk.
#ifndef TARNWICK_HEADER_ITEM_WRITER_H
#define TARNWICK_HEADER_ITEM_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

// 80 columns divided by the printed width of one item with ", " (12 or 6),
// plus one.
constexpr int kItemsPerLine32 = 80 / 12 + 1; // 7
constexpr int kItemsPerLine8 = 80 / 6 + 1;   // 14

constexpr size_t kItemChunkBytes = 65536;
// "0x", at most 8 digits, ",\n\t".
constexpr size_t kLongestItemBytes = 2 + 8 + 3;

struct ItemWriter {
    FILE *p_file;
    bool b_byte_items;      // 8-bit kind ("0x%02x"); otherwise 32-bit ("0x%08x")
    int n_items_per_line;   // 14 or 7
    int n_line_countdown;   // items still to come on the current line
    size_t n_chunk_used;    // bytes of a_chunk not yet handed to p_file
    char a_chunk[kItemChunkBytes];
};

// "000102...fdfeff": the two digits of byte b start at offset 2 * b.
struct HexDigitPairs {
    char a_digits[512];
};

constexpr HexDigitPairs MakeHexDigitPairs()
{
    HexDigitPairs pairs{};
    const char *p_digits = "0123456789abcdef";
    for(int n_byte = 0; n_byte < 256; ++n_byte) {
        pairs.a_digits[2 * n_byte] = p_digits[n_byte >> 4];
        pairs.a_digits[2 * n_byte + 1] = p_digits[n_byte & 15];
    }
    return pairs;
}

inline constexpr HexDigitPairs kHexDigitPairs = MakeHexDigitPairs();

void StartItemWriter(ItemWriter &writer, FILE *p_file, bool b_byte_items);

// Hands the formatted items collected so far to the stream.
void FlushItemChunk(ItemWriter &writer);

// An 8-bit item above 0xff (a pixel that was never reduced to gray): printf
// widens "%02x" to as many digits as the value needs. Returns the end.
char *p_FormatWideByteItem(char *p_out, uint32_t n_item);

inline char *p_FormatHexByte(char *p_out, uint32_t n_byte)
{
    std::memcpy(p_out, kHexDigitPairs.a_digits + 2 * n_byte, 2);
    return p_out + 2;
}

inline void WriteItem(ItemWriter &writer, uint32_t n_item, bool b_last)
{
    if(writer.n_chunk_used > kItemChunkBytes - kLongestItemBytes)
        FlushItemChunk(writer);
    char *p_out = writer.a_chunk + writer.n_chunk_used;
    *p_out++ = '0';
    *p_out++ = 'x';
    if(!writer.b_byte_items) {
        p_out = p_FormatHexByte(p_out, n_item >> 24);
        p_out = p_FormatHexByte(p_out, (n_item >> 16) & 0xff);
        p_out = p_FormatHexByte(p_out, (n_item >> 8) & 0xff);
        p_out = p_FormatHexByte(p_out, n_item & 0xff);
    } else if(n_item <= 0xff) {
        p_out = p_FormatHexByte(p_out, n_item);
    } else {
        p_out = p_FormatWideByteItem(p_out, n_item);
    }

    if(b_last) {
        *p_out++ = '\n';
    } else if(--writer.n_line_countdown == 0) {
        writer.n_line_countdown = writer.n_items_per_line;
        std::memcpy(p_out, ",\n\t", 3);
        p_out += 3;
    } else {
        std::memcpy(p_out, ", ", 2);
        p_out += 2;
    }
    writer.n_chunk_used = size_t(p_out - writer.a_chunk);
}

#endif // TARNWICK_HEADER_ITEM_WRITER_H
