// The conversion of pixels into the items of each output format: channel
// arithmetic and compositing, the layout of 1-bit rows, and dithering.
#include <gtest/gtest.h>

#include <vector>

#include "output_format.h"

namespace {

using namespace tarnwick;
using Items = std::vector<uint32_t>;

// The items of a width x height picture converted in place.
Items Converted(Items pixels, int n_width, int n_height, OutputFormat format, Dither dither = Dither::kNone,
                uint8_t n_threshold = kDefaultThreshold)
{
    Image image = {32, 0, 1, n_width, n_height, pixels.data()};
    EXPECT_TRUE(ConvertToOutputFormat(image, format, dither, n_threshold));
    pixels.resize(size_t(n_ItemCount(image, format)));
    return pixels;
}

// The bit of pixel (x, y) in 1-bit rows of n_row_bytes bytes.
int n_Bit(const Items &bytes, int n_row_bytes, int x, int y)
{
    return int(bytes[size_t(y * n_row_bytes + x / 8)] >> (7 - x % 8) & 1);
}

TEST(OutputFormat, OnePixelInEveryFormat)
{
    const struct {
        uint32_t n_pixel;
        uint32_t n_rgb565, n_swapped, n_mono, n_gray;
    } cases[] = {
        {0xFFFF0000, 0xF800, 0x00F8, 0x00, 76},
        {0xFF00FF00, 0x07E0, 0xE007, 0x80, 149},
        {0xFF0000FF, 0x001F, 0x1F00, 0x00, 29},
        {0xFFFFFFFF, 0xFFFF, 0xFFFF, 0x80, 255},
        {0xFF808080, 0x8410, 0x1084, 0x80, 128},
        {0xFF7F7F7F, 0x7BEF, 0xEF7B, 0x00, 127},
        // Over black: 255, 128, 0 at alpha 128 give 128, 64, 0 (gray 75), while
        // --gray ignores the alpha (151).
        {0x80FF8000, 0x8200, 0x0082, 0x00, 151},
        // 200 at alpha 163 is 127.84, rounded to 128: green 32 (not 31), a set
        // bit (127 would leave it clear).
        {0xA3C8C8C8, 0x8410, 0x1084, 0x80, 200},
        {0x00FFFFFF, 0x0000, 0x0000, 0x00, 255}, // fully transparent: black
        {0x01FFFFFF, 0x0000, 0x0000, 0x00, 255}, // 255 / 255 = 1 in each channel
    };
    for(const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.n_pixel);
        EXPECT_EQ(Converted({c.n_pixel}, 1, 1, OutputFormat::kRgb565), Items{c.n_rgb565});
        EXPECT_EQ(Converted({c.n_pixel}, 1, 1, OutputFormat::kRgb565Swapped), Items{c.n_swapped});
        EXPECT_EQ(Converted({c.n_pixel}, 1, 1, OutputFormat::kMono), Items{c.n_mono});
        EXPECT_EQ(Converted({c.n_pixel}, 1, 1, OutputFormat::kGray), Items{c.n_gray});
        EXPECT_EQ(Converted({c.n_pixel}, 1, 1, OutputFormat::kRgb), Items{c.n_pixel});
        // --dither changes only --mono.
        EXPECT_EQ(Converted({c.n_pixel}, 1, 1, OutputFormat::kRgb565, Dither::kMonoFloyd), Items{c.n_rgb565});
        EXPECT_EQ(Converted({c.n_pixel}, 1, 1, OutputFormat::kGray, Dither::kMonoFloyd), Items{c.n_gray});
    }
}

TEST(OutputFormat, MonoRowsStartOnANewByteLeftmostPixelInTheTopBit)
{
    const uint32_t W = 0xFFFFFFFF, K = 0xFF000000;
    const struct {
        int n_width, n_height;
        Items pixels, bytes;
    } cases[] = {
        {1, 3, {W, K, W}, {0x80, 0x00, 0x80}},
        {8, 1, {W, K, K, K, K, K, K, W}, {0x81}},
        {9, 2, {W, W, W, W, W, W, W, W, W, K, W, K, W, K, W, K, W, K}, {0xFF, 0x80, 0x55, 0x00}},
        {17, 1, {W, K, K, K, K, K, K, K, W, K, K, K, K, K, K, K, W}, {0x80, 0x80, 0x80}},
        {3, 2, {K, W, K, W, W, K}, {0x40, 0xC0}},
        {0, 4, {}, {}},
        {5, 0, {}, {}},
    };
    for(const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.n_width << "x" << c.n_height);
        Image image = {32, 0, 0, c.n_width, c.n_height, nullptr};
        // One byte for each started run of eight pixels of a row: the bytes
        // worked out by hand above.
        EXPECT_EQ(n_ItemCount(image, OutputFormat::kMono), uint64_t(c.bytes.size()));
        EXPECT_EQ(Converted(c.pixels, c.n_width, c.n_height, OutputFormat::kMono), c.bytes);
    }
}

// Flat gray 128, 4 x 2, worked by hand with the rule (e * k / 16 truncated):
// row 0: (0,0) 128 set, e = -127: right -55 -> 73, below -39 -> 89, below
//   right -7 -> 121. (1,0) 73 clear, e = 73: right +31 -> 159, below left
//   +13 -> 102, below +22 -> 143, below right +4 -> 132. (2,0) 159 set,
//   e = -96: right -42 -> 86, below left -18 -> 125, below -30 -> 102, below
//   right -6 -> 122. (3,0) 86 clear, e = 86: below left +16 -> 118, below
//   +26 -> 148. Bits 1 0 1 0.
// row 1: 102 clear (e 102, right +44 -> 169), 169 set (e -86, right -37 ->
//   81), 81 clear (e 81, right +35 -> 183), 183 set. Bits 0 1 0 1.
TEST(OutputFormat, DitheredFlatHalfGrayIsACheckerboard)
{
    EXPECT_EQ(Converted(Items(8, 0xFF808080), 4, 2, OutputFormat::kMono, Dither::kMonoFloyd), (Items{0xA0, 0x50}));
    // Without --dither every pixel of 128 is set.
    EXPECT_EQ(Converted(Items(8, 0xFF808080), 4, 2, OutputFormat::kMono), (Items{0xF0, 0xF0}));

    // A larger field: half the bits set, and nearly every pixel differs from
    // its right neighbour.
    const int n_size = 64;
    const Items bytes = Converted(Items(n_size * n_size, 0xFF808080), n_size, n_size, OutputFormat::kMono, Dither::kMonoFloyd);
    int n_set = 0, n_changes = 0;
    for(int y = 0; y < n_size; ++y) {
        for(int x = 0; x < n_size; ++x) {
            n_set += n_Bit(bytes, n_size / 8, x, y);
            if(x > 0)
                n_changes += n_Bit(bytes, n_size / 8, x, y) != n_Bit(bytes, n_size / 8, x - 1, y);
        }
    }
    EXPECT_NEAR(n_set, n_size * n_size / 2, n_size * n_size / 50);
    EXPECT_GT(n_changes, n_size * (n_size - 1) * 9 / 10);
}

// A ramp 0..255 across 256 columns: each band of 32 columns has about the
// share of set bits that its mean gray gives, more in every band to the right,
// about half in all.
TEST(OutputFormat, DitheredRampSetsBitsInProportionToTheGray)
{
    const int n_width = 256, n_height = 64;
    Items ramp;
    for(int y = 0; y < n_height; ++y)
        for(int x = 0; x < n_width; ++x)
            ramp.push_back(0xFF000000u | uint32_t(x) * 0x010101u);
    const Items bytes = Converted(ramp, n_width, n_height, OutputFormat::kMono, Dither::kMonoFloyd);
    ASSERT_EQ(bytes.size(), size_t(n_width / 8 * n_height));

    const int n_bands = 8, n_band_width = n_width / n_bands;
    double f_previous = -1, f_total = 0;
    for(int n_band = 0; n_band < n_bands; ++n_band) {
        int n_set = 0;
        for(int y = 0; y < n_height; ++y)
            for(int x = n_band * n_band_width; x < (n_band + 1) * n_band_width; ++x)
                n_set += n_Bit(bytes, n_width / 8, x, y);
        const double f_share = double(n_set) / (n_band_width * n_height);
        const double f_mean_gray = (n_band * n_band_width + (n_band_width - 1) / 2.0) / 255.0;
        EXPECT_NEAR(f_share, f_mean_gray, 0.03) << "band " << n_band;
        EXPECT_GT(f_share, f_previous) << "band " << n_band;
        f_previous = f_share;
        f_total += f_share / n_bands;
    }
    EXPECT_NEAR(f_total, 0.5, 0.01);
}

} // namespace
