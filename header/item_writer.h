// The item writer: prints the items of the header's pixel array.
//
// Every item is an unsigned 32-bit number (a pixel, or a packet header or
// value of the run-length packer; or a byte, for arrays of byte items) written as a lower-case hexadecimal literal
// exactly as printf would with "0x%08x" (32-bit kind), "0x%04x" (16-bit kind)
// or "0x%02x" (8-bit kind), followed by its separator:
//   "\n"     after the last item of the array,
//   ",\n\t"  after the item that completes a line (7, 10 or 14 items a line),
//   ", "     after any other item.
// The line counter counts down from the items per line and starts again when
// it reaches zero, so every line of values holds 7 (10, 14) items whatever
// the items stand for.
//
// Formatting goes through a table of hexadecimal digit pairs into a fixed
// chunk inside the writer, which is handed to the buffered stream whenever it
// fills up: there is no per-item call into stdio and no allocation. Each
// hand-over but the last ends at a multiple of kItemChunkBytes in the file
// (the bytes formatted past that point wait in the chunk for the next one), so
// the stream passes whole aligned 64 KiB blocks to the system, which stores
// them in fewer, larger pieces of its page cache than unaligned ones. Items are
// taken in batches (all pixels, or the values of one packet) so that the
// formatting loop keeps its position and line counter in registers. Write
// errors are not reported here; the caller checks the stream's error state
// after FlushItemChunk.
#ifndef TARNWICK_HEADER_ITEM_WRITER_H
#define TARNWICK_HEADER_ITEM_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace tarnwick {

// The width of an item, and so the type of the array's elements.
enum class ItemKind : uint8_t { k32, k16, k8 };

// 80 columns divided by the printed width of one item with ", " (12 or 6),
// plus one; 16-bit items (8 columns each) fill 80 columns with ten.
constexpr int kItemsPerLine32 = 80 / 12 + 1; // 7
constexpr int kItemsPerLine16 = 80 / 8;      // 10
constexpr int kItemsPerLine8 = 80 / 6 + 1;   // 14

constexpr int n_ItemsPerLine(ItemKind kind)
{
    return kind == ItemKind::k32 ? kItemsPerLine32 : kind == ItemKind::k16 ? kItemsPerLine16 : kItemsPerLine8;
}

constexpr size_t kItemChunkBytes = 65536;
// "0x", at most 8 digits, ",\n\t".
constexpr size_t kLongestItemBytes = 2 + 8 + 3;

struct ItemWriter {
    FILE *p_file;
    ItemKind kind;
    int n_line_countdown;   // items still to come on the current line
    size_t n_chunk_used;    // bytes of a_chunk not yet handed to p_file
    size_t n_hand_over_at;  // bytes of a_chunk the next hand-over passes on (0: not yet known)
    alignas(64) char a_chunk[kItemChunkBytes + kLongestItemBytes];
};

void StartItemWriter(ItemWriter &writer, FILE *p_file, ItemKind kind);

// Hands the formatted items collected so far to the stream.
void FlushItemChunk(ItemWriter &writer);

// Writes n_items items. When b_ends_array is set the last of them is the
// last item of the array and is followed by "\n".
void WriteItems(ItemWriter &writer, const uint32_t *p_items, size_t n_items, bool b_ends_array);

// The same for 8-bit items taken from bytes, one item a byte (the writer's
// kind must be k8): the arrays whose items outnumber the pixels, such as
// three bytes a pixel, lie in the pixel array's memory as bytes.
void WriteByteItems(ItemWriter &writer, const uint8_t *p_bytes, size_t n_items, bool b_ends_array);

} // namespace tarnwick

#endif // TARNWICK_HEADER_ITEM_WRITER_H
