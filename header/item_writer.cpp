#include "item_writer.h"

#include <cstring>

#include "platform.h"
#include "simd.h"

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

// An item wider than its kind (an 8-bit item above 0xff, say a pixel that was
// never reduced to gray): "%02x" and "%04x" widen to as many digits as the
// value needs, and so does this. Kept out of
// line: it is rare, and inlined into the item loop it slows the common case.
TARNWICK_NOINLINE char *FormatWideHex(char *p_out, uint32_t n_item)
{
    int n_shift = 28;
    while(n_shift > 0 && !(n_item >> n_shift))
        n_shift -= 4;
    for(; n_shift >= 0; n_shift -= 4)
        *p_out++ = "0123456789abcdef"[(n_item >> n_shift) & 15];
    return p_out;
}

// --- Whole lines -------------------------------------------------------------
//
// A full line is copied from a template, "0x" and zero digits for every item
// with the separators between them and ",\n\t" at its end, and the digits of
// each item are then written over their zeros: the separators cost one copy
// a line rather than a few stores an item.

template <ItemKind kKind>
struct LineShape {
    static constexpr int kDigits = kKind == ItemKind::k32 ? 8 : kKind == ItemKind::k16 ? 4 : 2;
    static constexpr int kPerLine = n_ItemsPerLine(kKind);
    static constexpr int kItemBytes = 2 + kDigits + 2; // "0x", digits, ", "
    static constexpr int kLineBytes = kPerLine * kItemBytes + 1; // the last separator is ",\n\t"
    static constexpr uint32_t kLargest = kKind == ItemKind::k32 ? 0xFFFFFFFFu : kKind == ItemKind::k16 ? 0xFFFFu : 0xFFu;
};

template <ItemKind kKind>
struct LineTemplate {
    char a_text[LineShape<kKind>::kLineBytes];
};

template <ItemKind kKind>
constexpr LineTemplate<kKind> MakeLineTemplate()
{
    using Shape = LineShape<kKind>;
    LineTemplate<kKind> line{};
    int n_at = 0;
    for(int i = 0; i < Shape::kPerLine; ++i) {
        line.a_text[n_at++] = '0';
        line.a_text[n_at++] = 'x';
        for(int d = 0; d < Shape::kDigits; ++d)
            line.a_text[n_at++] = '0';
        line.a_text[n_at++] = ',';
        if(i + 1 < Shape::kPerLine) {
            line.a_text[n_at++] = ' ';
        } else {
            line.a_text[n_at++] = '\n';
            line.a_text[n_at++] = '\t';
        }
    }
    return line;
}

template <ItemKind kKind>
constexpr LineTemplate<kKind> kLineTemplate = MakeLineTemplate<kKind>();

// The digits of one byte, from the table of pairs, as a 16-bit word in
// memory order: stored at an address, it puts the first digit there.
inline uint32_t n_DigitPair(uint32_t n_byte)
{
    uint16_t n_pair;
    std::memcpy(&n_pair, kHexDigitPairs.a_digits + 2 * n_byte, 2);
    return n_pair;
}

// Two 16-bit pairs joined into one word whose store puts `first` first,
// whatever the host's byte order.
inline uint32_t n_JoinPairs(uint32_t n_first, uint32_t n_second)
{
    return kBigEndianHost ? n_first << 16 | n_second : n_first | n_second << 16;
}

// Writes the digits of one item (within its kind) over the template's zeros
// at p_digits.
template <ItemKind kKind>
inline void WriteDigits(char *p_digits, uint32_t n_item)
{
    if constexpr(kKind == ItemKind::k32) {
        const uint64_t n_high = n_JoinPairs(n_DigitPair(n_item >> 24), n_DigitPair((n_item >> 16) & 0xFF));
        const uint64_t n_low = n_JoinPairs(n_DigitPair((n_item >> 8) & 0xFF), n_DigitPair(n_item & 0xFF));
        const uint64_t n_digits = kBigEndianHost ? n_high << 32 | n_low : n_high | n_low << 32;
        std::memcpy(p_digits, &n_digits, 8);
    } else if constexpr(kKind == ItemKind::k16) {
        const uint32_t n_digits = n_JoinPairs(n_DigitPair(n_item >> 8), n_DigitPair(n_item & 0xFF));
        std::memcpy(p_digits, &n_digits, 4);
    } else {
        std::memcpy(p_digits, kHexDigitPairs.a_digits + 2 * n_item, 2);
    }
}

// "0x" and the digits of one item, as "0x%08x", "0x%04x" or "0x%02x" print it.
template <ItemKind kKind>
char *FormatItem(char *p_out, uint32_t n_item)
{
    std::memcpy(p_out, "0x", 2);
    if(n_item > LineShape<kKind>::kLargest)
        return FormatWideHex(p_out + 2, n_item);
    WriteDigits<kKind>(p_out + 2, n_item);
    return p_out + 2 + LineShape<kKind>::kDigits;
}

#if TARNWICK_SIMD_SSE2
// The lower-case hexadecimal digits of the sixteen bytes, each byte's two
// digits in memory order: 0..9 become '0'..'9' and 10..15 'a'..'f'.
inline void HexDigitsOfBytes(__m128i bytes, __m128i &first_half, __m128i &second_half)
{
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble);
    const __m128i low = _mm_and_si128(bytes, nibble);
    const auto to_ascii = [](__m128i digits) {
        const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(digits, _mm_set1_epi8(9)), _mm_set1_epi8('a' - '0' - 10));
        return _mm_add_epi8(digits, _mm_add_epi8(_mm_set1_epi8('0'), letters));
    };
    first_half = to_ascii(_mm_unpacklo_epi8(high, low));
    second_half = to_ascii(_mm_unpackhi_epi8(high, low));
}

// Writes the eight digits of each of four 32-bit items at p_out + 2 + 12 i
// (the items' places in a line).
inline void WriteDigitsOfFour32(char *p_out, const uint32_t *p_items, int n_count)
{
    __m128i items = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_items));
    // The bytes of each item, most significant first.
    items = _mm_shufflehi_epi16(_mm_shufflelo_epi16(items, 0xB1), 0xB1);
    items = _mm_or_si128(_mm_slli_epi16(items, 8), _mm_srli_epi16(items, 8));
    __m128i first_two, last_two;
    HexDigitsOfBytes(items, first_two, last_two);
    constexpr int kItemBytes = LineShape<ItemKind::k32>::kItemBytes;
    _mm_storel_epi64(reinterpret_cast<__m128i *>(p_out + 2), first_two);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(p_out + 2 + kItemBytes), _mm_unpackhi_epi64(first_two, first_two));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(p_out + 2 + 2 * kItemBytes), last_two);
    if(n_count == 4)
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p_out + 2 + 3 * kItemBytes),
                         _mm_unpackhi_epi64(last_two, last_two));
}
#endif

// A full line of kPerLine items whose values all fit their kind. With SSE2
// the digits of 32-bit items are made four at a time; the line's last item
// is then read as part of a group of four only when b_more_follow says that
// the array goes on past it.
template <ItemKind kKind>
inline char *WriteLine(char *p_out, const uint32_t *p_items, bool b_more_follow)
{
    using Shape = LineShape<kKind>;
    std::memcpy(p_out, kLineTemplate<kKind>.a_text, Shape::kLineBytes);
#if TARNWICK_SIMD_SSE2
    if constexpr(kKind == ItemKind::k32) {
        static_assert(Shape::kPerLine == 7, "a line of 32-bit items is four and three");
        WriteDigitsOfFour32(p_out, p_items, 4);
        if(b_more_follow) {
            WriteDigitsOfFour32(p_out + 4 * Shape::kItemBytes, p_items + 4, 3);
        } else {
            for(int i = 4; i < Shape::kPerLine; ++i)
                WriteDigits<kKind>(p_out + i * Shape::kItemBytes + 2, p_items[i]);
        }
        return p_out + Shape::kLineBytes;
    }
#endif
    (void)b_more_follow;
    for(int i = 0; i < Shape::kPerLine; ++i)
        WriteDigits<kKind>(p_out + i * Shape::kItemBytes + 2, p_items[i]);
    return p_out + Shape::kLineBytes;
}

// The items of a line all fit in the kind's digits (always so for 32-bit
// items).
template <ItemKind kKind>
inline bool b_LineFitsItsKind(const uint32_t *p_items)
{
    if constexpr(kKind == ItemKind::k32) {
        (void)p_items;
        return true;
    } else {
        uint32_t n_any = 0;
        for(int i = 0; i < LineShape<kKind>::kPerLine; ++i)
            n_any |= p_items[i];
        return n_any <= LineShape<kKind>::kLargest;
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
                if(b_LineFitsItsKind<kKind>(p_items + i)) {
                    p_out = WriteLine<kKind>(p_out, p_items + i, n_items - i > size_t(kPerLine));
                } else {
                    for(int j = 0; j < kPerLine - 1; ++j)
                        p_out = WriteItemAndComma<kKind>(p_out, p_items[i + j]);
                    p_out = WriteItemEndingLine<kKind>(p_out, p_items[i + kPerLine - 1]);
                }
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
