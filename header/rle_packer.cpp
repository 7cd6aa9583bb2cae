#include "rle_packer.h"

#include <cstring>

#include "platform.h"
#include "simd.h"

namespace tarnwick {
namespace {

struct PacketKind {
    uint32_t n_run_flag;
    size_t n_largest_count;
};

// The flag bit is the top bit of the item; the count has the bits below it.
constexpr PacketKind kPackets32 = {0x80000000u, 0x7FFFFFFF};
constexpr PacketKind kPackets16 = {0x8000u, 0x7FFF};
constexpr PacketKind kPackets8 = {0x80u, 0x7F};

const PacketKind &PacketsOf(ItemKind kind)
{
    return kind == ItemKind::k32 ? kPackets32 : kind == ItemKind::k16 ? kPackets16 : kPackets8;
}

template <typename Item>
bool b_StartsTriple(const Item *p_pixel)
{
    return p_pixel[0] == p_pixel[1] && p_pixel[0] == p_pixel[2];
}

// Pixels from p_start on that equal the first, at most n_limit (1 or more).
size_t n_RunLength(const uint32_t *p_start, size_t n_limit)
{
    size_t n_length = 1;
#if TARNWICK_SIMD_SSE2
    // Four pixels at a time while four lie within the limit.
    const __m128i first = _mm_set1_epi32(int32_t(p_start[0]));
    for(; n_length + 4 <= n_limit; n_length += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_start + n_length));
        const int n_equal = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(pixels, first)));
        if(n_equal != 0xF)
            return n_length + size_t(n_CountTrailingZeros32(~n_equal));
    }
#endif
    while(n_length < n_limit && p_start[n_length] == p_start[0])
        ++n_length;
    return n_length;
}

// The smallest j >= 1 with j + 2 < n_limit where three equal pixels begin;
// n_limit when there is none.
size_t n_LiteralLength(const uint32_t *p_start, size_t n_limit)
{
    size_t j = 1;
#if TARNWICK_SIMD_SSE2
    // The starts j .. j + 3 at once, while the last of them, j + 3, has its
    // three pixels within the limit; without a branch per pixel, whose
    // outcome in a photo is a coin toss.
    for(; j + 6 <= n_limit; j += 4) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_start + j));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_start + j + 1));
        const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_start + j + 2));
        const __m128i triples = _mm_and_si128(_mm_cmpeq_epi32(first, second), _mm_cmpeq_epi32(first, third));
        const int n_triples = _mm_movemask_ps(_mm_castsi128_ps(triples));
        if(n_triples)
            return j + size_t(n_CountTrailingZeros32(unsigned(n_triples)));
    }
#endif
    for(; j + 2 < n_limit; ++j) {
        if(b_StartsTriple(p_start + j))
            return j;
    }
    return n_limit;
}

// The same for byte items, whose packets hold at most 127 items: a plain
// scan is short.
size_t n_RunLength(const uint8_t *p_start, size_t n_limit)
{
    size_t n_length = 1;
    while(n_length < n_limit && p_start[n_length] == p_start[0])
        ++n_length;
    return n_length;
}

size_t n_LiteralLength(const uint8_t *p_start, size_t n_limit)
{
    for(size_t j = 1; j + 2 < n_limit; ++j) {
        if(b_StartsTriple(p_start + j))
            return j;
    }
    return n_limit;
}

// The item writer's entry for each kind of source.
void WriteSourceItems(ItemWriter &writer, const uint32_t *p_items, size_t n_items, bool b_ends_array)
{
    WriteItems(writer, p_items, n_items, b_ends_array);
}

void WriteSourceItems(ItemWriter &writer, const uint8_t *p_items, size_t n_items, bool b_ends_array)
{
    WriteByteItems(writer, p_items, n_items, b_ends_array);
}

// The items of short packets, gathered so that the item writer gets them in
// long batches rather than a call or two a packet: headers, run values and
// literals short enough to fit; a long literal goes to the writer straight
// from the pixels.
struct ItemBatch {
    static constexpr size_t kCapacity = 2048;
    uint32_t a_items[kCapacity];
    size_t n_count;
};

void FlushBatch(ItemWriter &writer, ItemBatch &batch, bool b_ends_array)
{
    WriteItems(writer, batch.a_items, batch.n_count, b_ends_array);
    batch.n_count = 0;
}

// Writes the packets that start at n_position and that the first
// n_available of the n_pixel_count pixels decide; returns where the first
// packet not written starts. A packet is decided when it lies within the
// known pixels and does not reach their end (where the next pixels could
// still lengthen it), or when it reaches its count limit or the array's end.
template <typename Item>
size_t WritePackets(ItemWriter &writer, const Item *p_pixels, size_t n_position, size_t n_available,
                    size_t n_pixel_count)
{
    const PacketKind &kind = PacketsOf(writer.kind);
    ItemBatch batch;
    batch.n_count = 0;
    while(n_position < n_available) {
        const Item *p_start = p_pixels + n_position;
        size_t n_remaining = n_pixel_count - n_position;
        size_t n_limit = n_remaining < kind.n_largest_count ? n_remaining : kind.n_largest_count;
        const size_t n_known = n_available - n_position;
        const bool b_known = n_limit <= n_known;
        if(!b_known && n_known < 3)
            break;
        const size_t n_seen = b_known ? n_limit : n_known;
        bool b_run = n_seen >= 3 && b_StartsTriple(p_start);
        size_t n_length = b_run ? n_RunLength(p_start, n_seen) : n_LiteralLength(p_start, n_seen);
        if(!b_known && n_length == n_seen)
            break;
        bool b_final_packet = n_length == n_remaining;

        if(batch.n_count + 2 > ItemBatch::kCapacity)
            FlushBatch(writer, batch, false);
        if(b_run) {
            batch.a_items[batch.n_count++] = uint32_t(n_length) | kind.n_run_flag;
            batch.a_items[batch.n_count++] = p_start[0];
        } else {
            batch.a_items[batch.n_count++] = uint32_t(n_length);
            if(n_length <= ItemBatch::kCapacity - batch.n_count) {
                if constexpr(sizeof(Item) == sizeof(uint32_t)) {
                    std::memcpy(batch.a_items + batch.n_count, p_start, n_length * sizeof(uint32_t));
                } else {
                    for(size_t i = 0; i < n_length; ++i)
                        batch.a_items[batch.n_count + i] = p_start[i];
                }
                batch.n_count += n_length;
            } else {
                FlushBatch(writer, batch, false);
                WriteSourceItems(writer, p_start, n_length, b_final_packet);
            }
        }
        if(b_final_packet && batch.n_count)
            FlushBatch(writer, batch, true);
        n_position += n_length;
    }
    if(batch.n_count)
        FlushBatch(writer, batch, false);
    return n_position;
}

} // namespace

void WriteRunLengthPackets(ItemWriter &writer, const uint32_t *p_pixels, size_t n_pixel_count)
{
    WritePackets(writer, p_pixels, 0, n_pixel_count, n_pixel_count);
}

void WriteRunLengthBytePackets(ItemWriter &writer, const uint8_t *p_bytes, size_t n_item_count)
{
    WritePackets(writer, p_bytes, 0, n_item_count, n_item_count);
}

size_t WriteRunLengthPacketsSoFar(ItemWriter &writer, const uint32_t *p_pixels, size_t n_position,
                                  size_t n_available, size_t n_pixel_count)
{
    return WritePackets(writer, p_pixels, n_position, n_available, n_pixel_count);
}

} // namespace tarnwick
