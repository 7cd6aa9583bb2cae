// The layouts that the new formats build in the pixel array in place, each
// against a computation of its own here, at odd sizes so that rows, bytes and
// pages end part-way: the palette and packed indices of --indexed, and the
// three 1-bit layouts. (Items spread into bytes, which does not depend on the
// sizes, is checked through the formats that use it by the compile tests.)
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "indexed_format.h"
#include "mono_layout.h"

namespace {

using namespace tarnwick;
using Items = std::vector<uint32_t>;

const struct {
    int n_width;
    int n_height;
} kSizes[] = {{1, 1}, {1, 9}, {7, 1}, {8, 8}, {9, 3}, {13, 7}, {16, 17}, {33, 2}, {3, 25}};

Image ImageOf(Items &pixels, int n_width, int n_height)
{
    return Image{32, 0, 1, n_width, n_height, pixels.data()};
}

TEST(ItemLayouts, PaletteListsColoursInOrderOfFirstAppearanceUpTo256)
{
    Items pixels = {0xff0000ff, 0x00000000, 0xff0000ff, 0x80ffffff, 0x00000000, 0x7f0000ff};
    Image image = ImageOf(pixels, 3, 2);
    Palette palette;
    ASSERT_TRUE(BuildPalette(image, palette));
    EXPECT_EQ(Items(palette.a_colours, palette.a_colours + palette.n_colours),
              (Items{0xff0000ff, 0x00000000, 0x80ffffff, 0x7f0000ff})); // alpha tells colours apart
    EXPECT_EQ(n_IndexBits(palette), 2u);

    // Exactly 256 colours (each twice), and one more.
    Items many;
    for(uint32_t n_colour = 0; n_colour < 256; ++n_colour)
        many.insert(many.end(), {n_colour * 0x010203u, n_colour * 0x010203u});
    Image image256 = ImageOf(many, 32, 16);
    ASSERT_TRUE(BuildPalette(image256, palette));
    EXPECT_EQ(palette.n_colours, 256u);
    EXPECT_EQ(n_IndexBits(palette), 8u);
    many.back() = 0xff123456;
    Image image257 = ImageOf(many, 32, 16);
    EXPECT_FALSE(BuildPalette(image257, palette));
    EXPECT_EQ(palette.n_colours, 257u);

    // The bits for each palette size.
    const struct {
        uint32_t n_colours, n_bits;
    } kBits[] = {{0, 1}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 4}, {16, 4}, {17, 8}, {256, 8}};
    for(const auto &c : kBits) {
        palette.n_colours = c.n_colours;
        EXPECT_EQ(n_IndexBits(palette), c.n_bits) << c.n_colours;
    }
}

// Pictures of 2, 3, 16, 17 and 256 colours at every size: indices packed
// from the top bits down, rows starting on a new byte.
TEST(ItemLayouts, IndicesArePackedInRowsFromTheTopBits)
{
    std::mt19937 random(21);
    for(uint32_t n_colours : {2u, 3u, 16u, 17u, 256u}) {
        for(const auto &size : kSizes) {
            const int w = size.n_width, h = size.n_height;
            Items pixels;
            for(int i = 0; i < w * h; ++i)
                pixels.push_back(0x01000000u * (random() % n_colours) + 0x10203u);
            const Items original = pixels;
            Image image = ImageOf(pixels, w, h);
            Palette palette;
            ASSERT_TRUE(BuildPalette(image, palette));
            const uint32_t n_bits = n_IndexBits(palette);
            ConvertToIndices(image, palette);

            const size_t n_row_bytes = (size_t(w) * n_bits + 7) / 8;
            ASSERT_EQ(n_IndexRowBytes(w, n_bits), n_row_bytes);
            Items expected(n_row_bytes * size_t(h), 0);
            for(int y = 0; y < h; ++y) {
                for(int x = 0; x < w; ++x) {
                    uint32_t n_index = 0;
                    while(palette.a_colours[n_index] != original[size_t(y * w + x)])
                        ++n_index;
                    const size_t n_bit = size_t(x) * n_bits; // from the row's first byte's top bit
                    expected[size_t(y) * n_row_bytes + n_bit / 8] |= n_index << (8 - n_bits - n_bit % 8);
                }
            }
            EXPECT_EQ(Items(pixels.begin(), pixels.begin() + long(expected.size())), expected)
                << n_colours << " colours, " << w << " x " << h;
        }
    }
}

// Random bits in every layout: bit (x, y) found where the layout puts it,
// and every padding bit zero.
TEST(ItemLayouts, MonoBitsInRowsOfEitherOrderAndInPages)
{
    std::mt19937 random(22);
    for(const auto &size : kSizes) {
        const int w = size.n_width, h = size.n_height;
        Items bits;
        for(int i = 0; i < w * h; ++i)
            bits.push_back(random() % 2);
        for(MonoLayout layout : {MonoLayout::kRowsMsbFirst, MonoLayout::kRowsLsbFirst, MonoLayout::kPages}) {
            Items expected;
            if(layout == MonoLayout::kPages) {
                const int n_pages = (h + 7) / 8;
                expected.assign(size_t(n_pages * w), 0);
                for(int y = 0; y < h; ++y)
                    for(int x = 0; x < w; ++x)
                        expected[size_t(y / 8 * w + x)] |= bits[size_t(y * w + x)] << (y % 8);
            } else {
                const int n_row_bytes = (w + 7) / 8;
                expected.assign(size_t(n_row_bytes * h), 0);
                for(int y = 0; y < h; ++y)
                    for(int x = 0; x < w; ++x)
                        expected[size_t(y * n_row_bytes + x / 8)] |=
                            bits[size_t(y * w + x)] << (layout == MonoLayout::kRowsLsbFirst ? x % 8 : 7 - x % 8);
            }
            Items pixels = bits;
            Image image = ImageOf(pixels, w, h);
            PackMonoBits(image, layout);
            ASSERT_EQ(n_MonoByteCount(w, h, layout), expected.size());
            EXPECT_EQ(Items(pixels.begin(), pixels.begin() + long(expected.size())), expected)
                << int(layout) << ": " << w << " x " << h;
        }
    }
    EXPECT_EQ(n_MonoPages(1), 1u);
    EXPECT_EQ(n_MonoPages(8), 1u);
    EXPECT_EQ(n_MonoPages(9), 2u);
}

} // namespace
