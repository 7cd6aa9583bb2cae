#include "rle_packer.h"

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

bool b_StartsTriple(const uint32_t *p_pixel)
{
    return p_pixel[0] == p_pixel[1] && p_pixel[0] == p_pixel[2];
}

// Pixels from p_start on that equal the first, at most n_limit.
size_t n_RunLength(const uint32_t *p_start, size_t n_limit)
{
    size_t n_length = 1;
    while(n_length < n_limit && p_start[n_length] == p_start[0])
        ++n_length;
    return n_length;
}

// The smallest j >= 1 with j + 2 < n_limit where three equal pixels begin;
// n_limit when there is none.
size_t n_LiteralLength(const uint32_t *p_start, size_t n_limit)
{
    for(size_t j = 1; j + 2 < n_limit; ++j) {
        if(b_StartsTriple(p_start + j))
            return j;
    }
    return n_limit;
}

} // namespace

void WriteRunLengthPackets(ItemWriter &writer, const uint32_t *p_pixels, size_t n_pixel_count)
{
    const PacketKind &kind = PacketsOf(writer.kind);
    size_t n_position = 0;
    while(n_position < n_pixel_count) {
        const uint32_t *p_start = p_pixels + n_position;
        size_t n_remaining = n_pixel_count - n_position;
        size_t n_limit = n_remaining < kind.n_largest_count ? n_remaining : kind.n_largest_count;
        bool b_run = n_limit >= 3 && b_StartsTriple(p_start);
        size_t n_length = b_run ? n_RunLength(p_start, n_limit) : n_LiteralLength(p_start, n_limit);
        bool b_final_packet = n_length == n_remaining;

        if(b_run) {
            const uint32_t a_packet[2] = {uint32_t(n_length) | kind.n_run_flag, p_start[0]};
            WriteItems(writer, a_packet, 2, b_final_packet);
        } else {
            const uint32_t n_header = uint32_t(n_length);
            WriteItems(writer, &n_header, 1, false);
            WriteItems(writer, p_start, n_length, b_final_packet);
        }
        n_position += n_length;
    }
}

} // namespace tarnwick
