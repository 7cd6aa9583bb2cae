// Spreading items into bytes in place (byte_layout.h).
#include "byte_layout.h"

#include <cstddef>

namespace tarnwick {
namespace {

// One loop per width and order, so that the shifts are constants.
template <uint32_t kItemBytes, bool kHighFirst>
void Spread(uint32_t *p_items, uint8_t *p_bytes, uint64_t n_items)
{
    for(uint64_t i = 0; i < n_items; ++i) {
        const uint32_t n_item = p_items[i]; // read before its own bytes may be overwritten
        uint8_t *p_out = p_bytes + i * kItemBytes;
        for(uint32_t k = 0; k < kItemBytes; ++k) {
            const uint32_t n_shift = kHighFirst ? 8 * (kItemBytes - 1 - k) : 8 * k;
            p_out[k] = uint8_t(n_item >> n_shift);
        }
    }
}

template <uint32_t kItemBytes>
void SpreadInOrder(uint32_t *p_items, uint64_t n_items, ByteOrder order)
{
    uint8_t *p_bytes = reinterpret_cast<uint8_t *>(p_items);
    if(order == ByteOrder::kHighFirst)
        Spread<kItemBytes, true>(p_items, p_bytes, n_items);
    else
        Spread<kItemBytes, false>(p_items, p_bytes, n_items);
}

} // namespace

uint64_t SpreadItemsIntoBytes(Image &image, uint32_t n_item_bytes, ByteOrder order)
{
    const uint64_t n_items = n_PixelCount(image);
    switch(n_item_bytes) {
    case 1: SpreadInOrder<1>(image.p_buffer, n_items, order); break;
    case 2: SpreadInOrder<2>(image.p_buffer, n_items, order); break;
    case 3: SpreadInOrder<3>(image.p_buffer, n_items, order); break;
    case 4: SpreadInOrder<4>(image.p_buffer, n_items, order); break;
    default: return 0;
    }
    return n_items * n_item_bytes;
}

} // namespace tarnwick
