// The three item kinds side by side: printf's layout for every kind, the
// packet count limit of each kind, and random arrays of every kind packed
// and unpacked again.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
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

// Every kind prints as printf does, across many output chunks: every value of
// the 8-bit kind, the largest value and its neighbours of each kind; an item
// too wide for its kind widens as "%04x" and "%02x" do, up to eight digits.
TEST(ItemKinds, EveryKindIsWrittenAsPrintfWouldWriteIt)
{
    for(const KindCase &c : kKinds) {
        Pixels items = {0, 1, 0xff, 0x100, 0x7fff, 0x8000, 0xffff, 0x7fffffff, 0x80000000};
        for(uint32_t n_value = 0; n_value < 70000; ++n_value)
            items.push_back(n_value * 2654435761u % (uint64_t(c.n_largest) + 1)); // every residue mod 256
        items.push_back(c.n_largest);
        for(uint32_t &n_item : items)
            n_item &= c.n_largest;
        for(size_t n_count : {size_t(0), size_t(1), size_t(9), size_t(10), size_t(11), items.size()}) {
            const Pixels part(items.begin(), items.begin() + n_count);
            EXPECT_EQ(test::PlainItemText(part, c.kind), test::ReferenceItemText(part, c.kind))
                << int(c.kind) << " " << n_count;
        }
        // Now and then an item wider than its kind, in lines of every
        // position, and items of every width up to eight digits.
        Pixels wide = items;
        for(size_t i = 0; i < wide.size(); i += 131)
            wide[i] = wide[i] * 16 + 0xF0;
        wide.insert(wide.end(), {0x100, 0xabc, 0x1234, 0xfffff, 0x1000000, 0xffffffff, 0x5, 0x12345678});
        EXPECT_EQ(test::PlainItemText(wide, c.kind), test::ReferenceItemText(wide, c.kind)) << int(c.kind);
    }
    EXPECT_EQ(test::PlainItemText({0x12345, 0xffff, 7}, ItemKind::k16), "0x12345, 0xffff, 0x0007\n");
    EXPECT_EQ(test::PlainItemText({0x1f, 0xf800, 0, 1, 2, 3, 4, 5, 6, 7, 8}, ItemKind::k16),
              "0x001f, 0xf800, 0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007,\n\t0x0008\n");
}

// ---- Count limits ------------------------------------------------------------

// The packet headers of a kind's items, in order: the count with the run
// flag (the top bit of the kind) of each packet.
Pixels PacketHeaders(const Pixels &items, uint32_t n_flag)
{
    Pixels headers;
    for(size_t n_item = 0; n_item < items.size();) {
        headers.push_back(items[n_item]);
        n_item += 1 + ((items[n_item] & n_flag) ? 1 : (items[n_item] & (n_flag - 1)));
    }
    return headers;
}

struct LimitCase {
    ItemKind kind;
    uint32_t n_flag;
    // Worked by hand: the packet headers of a run of 2 x 32767 + 5 = 65539
    // equal items, and of 32769 items without three equal neighbours
    // followed by three equal ones.
    Pixels run_headers;
    Pixels literal_headers;
};

const char *KindName(ItemKind kind)
{
    return kind == ItemKind::k8 ? "k8" : kind == ItemKind::k16 ? "k16" : "k32";
}

void PrintTo(const LimitCase &c, std::ostream *p_out)
{
    *p_out << KindName(c.kind);
}

class CountLimit : public ::testing::TestWithParam<LimitCase> {};

// A count stops at the largest the kind's header holds: 127 for 8-bit items
// (65539 = 516 x 127 + 7, 32769 = 258 x 127 + 3), 32767 for 16-bit ones,
// and 32-bit items are not cut in these arrays. The items are laid out as
// printf would, and unpack to the pixels.
TEST_P(CountLimit, RunsAndLiteralsStopAtTheLargestCountOfTheKind)
{
    const LimitCase &c = GetParam();
    const Pixels run(65539, 0xf8);
    Pixels literal;
    for(uint32_t i = 0; i < 32769; ++i)
        literal.push_back(i / 2 % 256); // pairs, never three alike
    literal.insert(literal.end(), {9, 9, 9});
    for(const auto &[pixels, expected] : {std::make_pair(run, c.run_headers), std::make_pair(literal, c.literal_headers)}) {
        const std::string text = test::PackedItemText(pixels, c.kind);
        Pixels items, unpacked;
        ASSERT_TRUE(test::ParseItemText(text, items));
        EXPECT_EQ(text, test::ReferenceItemText(items, c.kind));
        EXPECT_EQ(PacketHeaders(items, c.n_flag), expected);
        ASSERT_TRUE(test::UnpackPackets(items, c.kind, pixels.size(), unpacked));
        EXPECT_EQ(unpacked, pixels);
    }
}

Pixels Repeated(size_t n, uint32_t n_value, Pixels tail)
{
    Pixels pixels(n, n_value);
    pixels.insert(pixels.end(), tail.begin(), tail.end());
    return pixels;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CountLimit,
    ::testing::Values(LimitCase{ItemKind::k8, 0x80, Repeated(516, 0xff, {0x87}), Repeated(258, 0x7f, {0x03, 0x83})},
                      LimitCase{ItemKind::k16, 0x8000, {0xffff, 0xffff, 0x8005}, {0x7fff, 0x0002, 0x8003}},
                      LimitCase{ItemKind::k32, 0x80000000u, {0x80010003}, {0x00008001, 0x80000003}}),
    [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(KindName(info.param.kind)); });

// ---- Random arrays -------------------------------------------------------------

// Random arrays made of stretches that stress the packer: long runs, short
// runs, pairs, alternations, runs around the 127 and 32767 limits and noise;
// values of the kind, from few distinct ones (accidental triples) or all.
Pixels RandomPixels(std::mt19937 &random, const KindCase &c)
{
    auto value = [&]() -> uint32_t {
        const uint32_t n_small = random() % 4;
        return random() % 2 ? n_small : uint32_t(uint64_t(random()) % (uint64_t(c.n_largest) + 1));
    };
    Pixels pixels;
    const size_t n_stretches = random() % 12;
    for(size_t s = 0; s < n_stretches; ++s) {
        switch(random() % 7) {
        case 0: pixels.insert(pixels.end(), 128 + random() % 400, value()); break;
        case 1: pixels.insert(pixels.end(), 1 + random() % 4, value()); break;
        case 2: pixels.insert(pixels.end(), 124 + random() % 8, value()); break;
        case 3: {
            const uint32_t n_a = value(), n_b = value();
            for(size_t i = 0, n = 2 + random() % 300; i < n; ++i)
                pixels.push_back(i % 2 ? n_a : n_b);
            break;
        }
        case 4:
            for(size_t i = 0, n = random() % 300; i < n; ++i)
                pixels.push_back(value());
            break;
        case 5:
            if(random() % 8 == 0) // now and then, around the 16-bit limit
                pixels.insert(pixels.end(), 32764 + random() % 8, value());
            break;
        default:
            for(size_t i = 0, n = random() % 200; i < n; ++i)
                pixels.insert(pixels.end(), 1 + random() % 3, value());
            break;
        }
    }
    return pixels;
}

// Every kind: the packets unpack to the pixels, are laid out as printf would
// lay them out, and no literal holds three equal pixels that a run could
// have taken, except where the count limit cut it.
TEST(ItemKinds, RandomArraysOfEveryKindUnpackToThemselves)
{
    std::mt19937 random(20240611);
    for(int n_round = 0; n_round < 450; ++n_round) {
        const KindCase &c = kKinds[n_round % 3];
        const uint32_t n_flag = c.n_largest / 2 + 1;
        const Pixels pixels = RandomPixels(random, c);
        const std::string text = test::PackedItemText(pixels, c.kind);
        Pixels items, unpacked;
        ASSERT_TRUE(test::ParseItemText(text, items));
        ASSERT_EQ(text, test::ReferenceItemText(items, c.kind)) << "round " << n_round;
        ASSERT_TRUE(test::UnpackPackets(items, c.kind, pixels.size(), unpacked))
            << "round " << n_round << ": a count of 0, or packets not covering " << pixels.size() << " pixels";
        ASSERT_EQ(unpacked, pixels) << "round " << n_round;
        // Written piece by piece (each end the last of some known pixels),
        // plain and packed: the same text as in one go.
        std::vector<size_t> piece_ends;
        for(size_t n_end = 0; n_end < pixels.size(); piece_ends.push_back(n_end))
            n_end = std::min(pixels.size(), n_end + 1 + random() % (n_round % 2 ? 40 : 4000));
        ASSERT_EQ(test::PieceByPieceItemText(pixels, c.kind, true, piece_ends), text) << "round " << n_round;
        ASSERT_EQ(test::PieceByPieceItemText(pixels, c.kind, false, piece_ends), test::PlainItemText(pixels, c.kind))
            << "round " << n_round;
        for(size_t n_item = 0, n_covered = 0; n_item < items.size();) {
            const size_t n_count = items[n_item] & (n_flag - 1);
            if(!(items[n_item] & n_flag)) {
                for(size_t j = 1; j + 2 < n_count; ++j)
                    ASSERT_FALSE(pixels[n_covered + j] == pixels[n_covered + j + 1] &&
                                 pixels[n_covered + j] == pixels[n_covered + j + 2])
                        << "round " << n_round << ": literal hides a triple";
            }
            n_item += 1 + ((items[n_item] & n_flag) ? 1 : n_count);
            n_covered += n_count;
        }
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
