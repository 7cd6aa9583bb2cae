// The Image record's own operations: the gray reduction's arithmetic.
#include <gtest/gtest.h>

#include <vector>

#include "image.h"

namespace {

using namespace tarnwick;

uint32_t Gray(uint32_t n_pixel)
{
    Image image = {32, 0, 1, 1, 1, &n_pixel};
    ReduceToGray(image);
    return n_pixel;
}

TEST(ReduceToGray, WeightsTruncateAndEqualChannelsKeepTheirValue)
{
    EXPECT_EQ(Gray(0xFFFF0000), 76u);
    EXPECT_EQ(Gray(0xFF00FF00), 149u);
    EXPECT_EQ(Gray(0xFF0000FF), 29u);
    EXPECT_EQ(Gray(0xFFFFFFFF), 255u);
    EXPECT_EQ(Gray(0xFF123456), 45u);
    for(uint32_t v = 0; v < 256; ++v) {
        ASSERT_EQ(Gray(0xFF000000u | v * 0x010101u), v);
        ASSERT_EQ(Gray(v * 0x010101u), v) << "alpha must not matter";
        ASSERT_EQ(Gray(0x5A000000u | v * 0x010101u), v);
    }
}

TEST(ReduceToGray, RewritesEveryPixelInPlace)
{
    uint32_t pixels[6] = {0xFFFF0000, 0x00FF0000, 0xFF00FF00, 0xFF0000FF, 0, 0xFFFFFFFF};
    Image image = {24, 0, 0, 3, 2, pixels};
    ReduceToGray(image);
    EXPECT_EQ(std::vector<uint32_t>(pixels, pixels + 6), (std::vector<uint32_t>{76, 76, 149, 29, 0, 255}));
    EXPECT_EQ(image.n_bpp, 24);
}

// The documented formula: the double products and sums in this order, then
// truncation.
uint32_t n_GrayOfDoubles(uint32_t n_pixel)
{
    const double f_gray = (((n_pixel >> 16) & 0xFF) * kGrayWeightRed + ((n_pixel >> 8) & 0xFF) * kGrayWeightGreen) +
                          (n_pixel & 0xFF) * kGrayWeightBlue;
    return f_gray >= 255 ? 255 : uint32_t(f_gray);
}

// Every colour, with alpha set and clear, reduced in arrays of 65536 pixels
// and one of 65537: each pixel as the double formula gives it, however many
// pixels are reduced at a time, and n_GrayValue alone gives the same.
TEST(ReduceToGray, EveryColourAsTheDoubleFormulaGivesIt)
{
    std::vector<uint32_t> pixels(65537);
    for(uint32_t n_blue = 0; n_blue < 256; ++n_blue) {
        const uint32_t n_alpha = n_blue % 2 ? 0xFF000000u : 0x00000000u;
        for(uint32_t i = 0; i < pixels.size(); ++i)
            pixels[i] = n_alpha | (i & 0xFFFF) << 8 | n_blue;
        Image image = {32, 0, 1, int32_t(pixels.size() - n_blue % 2), 1, pixels.data()};
        ReduceToGray(image);
        for(uint32_t i = 0; i < uint32_t(image.n_width); ++i) {
            const uint32_t n_pixel = n_alpha | (i & 0xFFFF) << 8 | n_blue;
            ASSERT_EQ(pixels[i], n_GrayOfDoubles(n_pixel)) << std::hex << n_pixel;
            ASSERT_EQ(n_GrayValue(n_pixel), n_GrayOfDoubles(n_pixel)) << std::hex << n_pixel;
        }
    }
}

} // namespace
