#include "item_writer.h"

#include <cstring>

namespace tarnwick {
namespace {

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

constexpr HexDigitPairs kHexDigitPairs = MakeHexDigitPairs();

char *FormatHexByte(char *p_out, uint32_t n_byte)
{
    std::memcpy(p_out, kHexDigitPairs.a_digits + 2 * n_byte, 2);
    return p_out + 2;
}

// An item wider than its kind (an 8-bit item above 0xff, say a pixel that was
// never reduced to gray): "%02x" and "%04x" widen to as many digits as the
// value needs, and so does this. Kept out of
// line: it is rare, and inlined into the item loop it slows the common case.
[[gnu::noinline]] char *FormatWideHex(char *p_out, uint32_t n_item)
{
    int n_shift = 28;
    while(n_shift > 0 && !(n_item >> n_shift))
        n_shift -= 4;
    for(; n_shift >= 0; n_shift -= 4)
        *p_out++ = "0123456789abcdef"[(n_item >> n_shift) & 15];
    return p_out;
}

// "0x" and the digits of one item, as "0x%08x", "0x%04x" or "0x%02x" print it.
template <ItemKind kKind>
char *FormatItem(char *p_out, uint32_t n_item)
{
    std::memcpy(p_out, "0x", 2);
    p_out += 2;
    if constexpr(kKind == ItemKind::k32) {
        p_out = FormatHexByte(p_out, n_item >> 24);
        p_out = FormatHexByte(p_out, (n_item >> 16) & 0xff);
        p_out = FormatHexByte(p_out, (n_item >> 8) & 0xff);
        return FormatHexByte(p_out, n_item & 0xff);
    } else if constexpr(kKind == ItemKind::k16) {
        if(n_item > 0xffff)
            return FormatWideHex(p_out, n_item);
        p_out = FormatHexByte(p_out, n_item >> 8);
        return FormatHexByte(p_out, n_item & 0xff);
    } else {
        return n_item <= 0xff ? FormatHexByte(p_out, n_item) : FormatWideHex(p_out, n_item);
    }
}

// Where the first hand-over ends: at the next multiple of kItemChunkBytes
// after the text already in the stream (anywhere when the stream cannot tell
// its position).
size_t n_FirstHandOver(FILE *p_file)
{
    const long n_position = std::ftell(p_file);
    return kItemChunkBytes - (n_position > 0 ? size_t(n_position) % kItemChunkBytes : 0);
}

// Hands the first n_hand_over_at bytes of the chunk to the stream once the
// items have reached that point, and moves the few bytes past it to the
// start; returns where the next item goes, somewhere before the hand-over
// point.
char *MakeRoomForItems(ItemWriter &writer, char *p_out)
{
    if(writer.n_hand_over_at == 0)
        writer.n_hand_over_at = n_FirstHandOver(writer.p_file);
    const size_t n_used = size_t(p_out - writer.a_chunk);
    if(n_used < writer.n_hand_over_at)
        return p_out;
    std::fwrite(writer.a_chunk, 1, writer.n_hand_over_at, writer.p_file);
    const size_t n_rest = n_used - writer.n_hand_over_at;
    std::memmove(writer.a_chunk, writer.a_chunk + writer.n_hand_over_at, n_rest);
    writer.n_hand_over_at = kItemChunkBytes;
    return writer.a_chunk + n_rest;
}

template <ItemKind kKind>
char *WriteItemAndComma(char *p_out, uint32_t n_item)
{
    p_out = FormatItem<kKind>(p_out, n_item);
    std::memcpy(p_out, ", ", 2);
    return p_out + 2;
}

template <ItemKind kKind>
char *WriteItemEndingLine(char *p_out, uint32_t n_item)
{
    p_out = FormatItem<kKind>(p_out, n_item);
    std::memcpy(p_out, ",\n\t", 3);
    return p_out + 3;
}

// The items are taken in stretches that start before the hand-over point and
// surely end within the chunk (at most kLongestItemBytes each, and the chunk
// reaches that far past the point), so that only a stretch, not every item,
// checks for room; within a stretch whole lines are written with the count of
// items known at compile time, and only partial lines count down.
template <ItemKind kKind>
void WriteItemsOfKind(ItemWriter &writer, const uint32_t *p_items, size_t n_items, bool b_ends_array)
{
    constexpr int kPerLine = n_ItemsPerLine(kKind);
    char *p_out = writer.a_chunk + writer.n_chunk_used;
    int n_countdown = writer.n_line_countdown;
    const size_t n_separated = b_ends_array && n_items ? n_items - 1 : n_items;

    size_t i = 0;
    while(i < n_separated) {
        p_out = MakeRoomForItems(writer, p_out);
        const size_t n_fitting = (writer.n_hand_over_at - size_t(p_out - writer.a_chunk)) / kLongestItemBytes + 1;
        const size_t n_stretch_end = i + (n_separated - i < n_fitting ? n_separated - i : n_fitting);
        while(i < n_stretch_end) {
            if(n_countdown == kPerLine && n_stretch_end - i >= size_t(kPerLine)) {
                for(int j = 0; j < kPerLine - 1; ++j)
                    p_out = WriteItemAndComma<kKind>(p_out, p_items[i + j]);
                p_out = WriteItemEndingLine<kKind>(p_out, p_items[i + kPerLine - 1]);
                i += kPerLine;
                continue;
            }
            if(--n_countdown == 0) {
                n_countdown = kPerLine;
                p_out = WriteItemEndingLine<kKind>(p_out, p_items[i]);
            } else {
                p_out = WriteItemAndComma<kKind>(p_out, p_items[i]);
            }
            ++i;
        }
    }
    if(n_separated < n_items) {
        p_out = FormatItem<kKind>(MakeRoomForItems(writer, p_out), p_items[n_separated]);
        *p_out++ = '\n';
    }
    writer.n_chunk_used = size_t(p_out - writer.a_chunk);
    writer.n_line_countdown = n_countdown;
}

} // namespace

void StartItemWriter(ItemWriter &writer, FILE *p_file, ItemKind kind)
{
    writer.p_file = p_file;
    writer.kind = kind;
    writer.n_line_countdown = n_ItemsPerLine(kind);
    writer.n_chunk_used = 0;
    writer.n_hand_over_at = 0;
}

void FlushItemChunk(ItemWriter &writer)
{
    if(writer.n_chunk_used)
        std::fwrite(writer.a_chunk, 1, writer.n_chunk_used, writer.p_file);
    writer.n_chunk_used = 0;
}

void WriteItems(ItemWriter &writer, const uint32_t *p_items, size_t n_items, bool b_ends_array)
{
    switch(writer.kind) {
    case ItemKind::k32: WriteItemsOfKind<ItemKind::k32>(writer, p_items, n_items, b_ends_array); return;
    case ItemKind::k16: WriteItemsOfKind<ItemKind::k16>(writer, p_items, n_items, b_ends_array); return;
    case ItemKind::k8: WriteItemsOfKind<ItemKind::k8>(writer, p_items, n_items, b_ends_array); return;
    }
}

} // namespace tarnwick
