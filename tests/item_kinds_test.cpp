// The 16-bit item kind next to the other two: printf's layout for every kind,
// and packets of 16-bit items with their flag and count limit.
#include <gtest/gtest.h>

#include <random>

#include "header_text.h"

namespace {

using namespace tarnwick;
using test::Pixels;

struct KindCase {
    ItemKind kind;
    uint32_t n_largest; // the largest item value of the kind
};
const KindCase kKinds[] = {{ItemKind::k32, 0xFFFFFFFF}, {ItemKind::k16, 0xFFFF}, {ItemKind::k8, 0xFF}};

// Every kind prints as printf does, across many output chunks; an item too
// wide for its kind widens as "%04x" and "%02x" do.
TEST(ItemKinds, EveryKindIsWrittenAsPrintfWouldWriteIt)
{
    std::mt19937 random(15);
    for(const KindCase &c : kKinds) {
        Pixels items;
        for(uint32_t n_value = 0; n_value < 70000; ++n_value)
            items.push_back(n_value * 2654435761u % (uint64_t(c.n_largest) + 1));
        items.push_back(c.n_largest);
        for(size_t n_count : {size_t(0), size_t(1), size_t(9), size_t(10), size_t(11), items.size()}) {
            const Pixels part(items.begin(), items.begin() + n_count);
            EXPECT_EQ(test::PlainItemText(part, c.kind), test::ReferenceItemText(part, c.kind))
                << int(c.kind) << " " << n_count;
        }
        // Now and then an item wider than its kind, in lines of every
        // position.
        Pixels wide = items;
        for(size_t i = 0; i < wide.size(); i += 131)
            wide[i] = wide[i] * 16 + 0xF0;
        EXPECT_EQ(test::PlainItemText(wide, c.kind), test::ReferenceItemText(wide, c.kind)) << int(c.kind);
    }
    EXPECT_EQ(test::PlainItemText({0x12345, 0xffff, 7}, ItemKind::k16), "0x12345, 0xffff, 0x0007\n");
    EXPECT_EQ(test::PlainItemText({0x1f, 0xf800, 0, 1, 2, 3, 4, 5, 6, 7, 8}, ItemKind::k16),
              "0x001f, 0xf800, 0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007,\n\t0x0008\n");
}

TEST(ItemKinds, SixteenBitPacketsFlagRunsWith0x8000AndCountTo0x7fff)
{
    // 0x7FFF * 2 + 5 equal items: two full runs and a run of 5.
    EXPECT_EQ(test::PackedItemText(Pixels(0x7FFF * 2 + 5, 0xf800), ItemKind::k16),
              "0xffff, 0xf800, 0xffff, 0xf800, 0x8005, 0xf800\n");
    // A literal stretch stops at 0x7FFF even before three equal items.
    Pixels no_triples;
    for(uint32_t i = 0; i < 0x7FFF + 2; ++i)
        no_triples.push_back(i / 2);
    no_triples.insert(no_triples.end(), {9, 9, 9});
    Pixels items;
    ASSERT_TRUE(test::ParseItemText(test::PackedItemText(no_triples, ItemKind::k16), items));
    ASSERT_EQ(items.size(), 1 + 0x7FFFu + 1 + 2 + 2);
    EXPECT_EQ(items[0], 0x7FFFu);
    EXPECT_EQ(items[0x8000], 2u);
    EXPECT_EQ(Pixels(items.end() - 2, items.end()), (Pixels{0x8003, 9}));
}

// Random arrays with runs of every length pack and unpack to themselves in
// every kind, laid out as printf would.
TEST(ItemKinds, PackedArraysOfEveryKindUnpackToThemselves)
{
    std::mt19937 random(16);
    for(int n_round = 0; n_round < 60; ++n_round) {
        const KindCase &c = kKinds[n_round % 3];
        Pixels pixels;
        while(pixels.size() < 3000) {
            const uint32_t n_value = uint32_t(random()) % (uint64_t(c.n_largest) + 1) % (n_round % 2 ? 4 : 70000);
            pixels.insert(pixels.end(), random() % 300 < 290 ? 1 + random() % 3 : random() % 40000, n_value);
        }
        const std::string text = test::PackedItemText(pixels, c.kind);
        Pixels items, unpacked;
        ASSERT_TRUE(test::ParseItemText(text, items));
        EXPECT_EQ(text, test::ReferenceItemText(items, c.kind));
        ASSERT_TRUE(test::UnpackPackets(items, c.kind, pixels.size(), unpacked)) << n_round;
        EXPECT_EQ(unpacked, pixels) << n_round;
    }
}

// Items taken from bytes (three or four of them a pixel in some layouts)
// give exactly the text of the same values taken from 32-bit elements, plain
// and packed, at every length around the line and chunk boundaries.
TEST(ItemKinds, ByteItemsAreWrittenAndPackedAsTheSameValuesInElements)
{
    std::mt19937 random(17);
    std::vector<uint8_t> bytes;
    while(bytes.size() < 200000) {
        const uint8_t n_value = uint8_t(random() % (bytes.size() % 3 ? 4 : 256));
        bytes.insert(bytes.end(), random() % 10 < 8 ? 1 + random() % 3 : random() % 400, n_value);
    }
    for(size_t n_count : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(13), size_t(14), size_t(15), size_t(127),
                          size_t(128), size_t(130), size_t(65536 / 6 + 5), bytes.size()}) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + n_count);
        const Pixels elements(part.begin(), part.end());
        EXPECT_EQ(test::PlainByteItemText(part), test::PlainItemText(elements, ItemKind::k8)) << n_count;
        EXPECT_EQ(test::PackedByteItemText(part), test::PackedItemText(elements, ItemKind::k8)) << n_count;
    }
}

} // namespace
