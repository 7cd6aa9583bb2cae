// The layouts that the new formats build in the pixel array in place, each
// against the tests' own computation (reference_items.h), at odd sizes so
// that rows, bytes and pages end part-way: the palette and packed indices of
// --indexed, and the three 1-bit layouts. (Items spread into bytes, which
// does not depend on the sizes, is checked through the formats that use it
// by the compile tests; more than 256 colours by the driver's tests.)
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "indexed_format.h"
#include "mono_layout.h"
#include "reference_items.h"

namespace {

using namespace tarnwick;
using reference::Items;

const struct {
    int n_width;
    int n_height;
} kSizes[] = {{1, 1}, {1, 9}, {7, 1}, {8, 8}, {9, 3}, {13, 7}, {16, 17}, {33, 2}, {3, 25}};

// Pictures of up to 2, 3, 5, 16, 17 and 256 colours that differ only in
// alpha, at every size: the palette lists them in order of first
// appearance, with the bits an index its size needs, and the indices are
// packed from the top bits down, each row starting on a new byte.
TEST(ItemLayouts, PaletteAndIndicesInRowsFromTheTopBits)
{
    std::mt19937 random(21);
    for(uint32_t n_colours : {2u, 3u, 5u, 16u, 17u, 256u}) {
        for(const auto &size : kSizes) {
            reference::Picture picture{"", "", size.n_width, size.n_height, {}};
            for(int i = 0; i < size.n_width * size.n_height; ++i)
                picture.pixels.push_back(0x01000000u * (random() % n_colours) + 0x10203u);
            Items pixels = picture.pixels;
            Image image{32, 0, 1, size.n_width, size.n_height, pixels.data()};
            Palette palette;
            ASSERT_TRUE(BuildPalette(image, palette));
            const Items colours = reference::PaletteOf(picture);
            EXPECT_EQ(Items(palette.a_colours, palette.a_colours + palette.n_colours), colours);
            EXPECT_EQ(n_IndexBits(palette), uint32_t(reference::IndexBits(colours.size())));
            ConvertToIndices(image, palette);
            const Items expected = reference::PackedIndices(picture, colours, int(n_IndexBits(palette)));
            EXPECT_EQ(Items(pixels.begin(), pixels.begin() + long(expected.size())), expected)
                << n_colours << " colours, " << size.n_width << " x " << size.n_height;
        }
    }
}

// Random bits in every layout at every size, and the layout's byte count.
TEST(ItemLayouts, MonoBitsInRowsOfEitherOrderAndInPages)
{
    std::mt19937 random(22);
    for(const auto &size : kSizes) {
        const int w = size.n_width, h = size.n_height;
        std::vector<int> bits;
        for(int i = 0; i < w * h; ++i)
            bits.push_back(int(random() % 2));
        for(MonoLayout layout : {MonoLayout::kRowsMsbFirst, MonoLayout::kRowsLsbFirst, MonoLayout::kPages}) {
            const Items expected = layout == MonoLayout::kPages
                                       ? reference::Pages(bits, w, h)
                                       : reference::Rows(bits, w, h, layout == MonoLayout::kRowsLsbFirst);
            Items pixels(bits.begin(), bits.end());
            Image image{32, 0, 1, w, h, pixels.data()};
            PackMonoBits(image, layout);
            ASSERT_EQ(n_MonoByteCount(w, h, layout), expected.size());
            EXPECT_EQ(Items(pixels.begin(), pixels.begin() + long(expected.size())), expected)
                << int(layout) << ": " << w << " x " << h;
        }
    }
}

} // namespace
