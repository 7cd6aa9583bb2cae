// Fitting the picture to the display, through the whole program, over real
// photos, icons with alpha and pixel art (tests/fixtures/fit, made by its
// make_fixtures.sh): every resize geometry and filter against Pillow's
// references; crop, rotate and flip against index arithmetic; background,
// invert and threshold against the formulas worked out here; the order of
// the steps; and every malformed value refused before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "png_loader.h"
#include "test_support.h"

namespace {

const int kFailure = 255; // the program's -1 as the shell sees it

// The array and sizes of a header Tarnwick wrote.
struct HeaderPixels {
    int n_width = -1;
    int n_height = -1;
    std::vector<uint32_t> items;
};

int n_Constant(const std::string &header, const std::string &suffix)
{
    const size_t n_at = header.find(suffix + " = ");
    return n_at == std::string::npos ? -1 : std::atoi(header.c_str() + n_at + suffix.size() + 3);
}

HeaderPixels ParseHeader(const std::string &header)
{
    HeaderPixels pixels;
    const size_t n_open = header.find("[] = {"), n_close = header.find("};");
    if(n_open == std::string::npos || n_close == std::string::npos)
        return pixels;
    std::istringstream array(header.substr(n_open + 6, n_close - n_open - 6));
    std::string item;
    while(array >> item)
        pixels.items.push_back(uint32_t(std::strtoul(item.c_str(), nullptr, 16)));
    pixels.n_width = n_Constant(header, "_width");
    pixels.n_height = n_Constant(header, "_height");
    return pixels;
}

// Converts a picture of tests/fixtures/fit with the switches; the header's
// pixels, or none (with a test failure) when the run fails.
HeaderPixels Convert(const std::string &picture, const std::vector<std::string> &switches)
{
    test::TempDir dir;
    std::vector<std::string> args{test::Fixture("fit/" + picture), dir.File("out.h")};
    args.insert(args.end(), switches.begin(), switches.end());
    const test::RunResult run = test::RunTarnwick(args);
    EXPECT_EQ(run.n_exit_status, 0) << picture << " " << run.err;
    EXPECT_EQ(run.err, "");
    return ParseHeader(test::ReadFileText(dir.File("out.h")));
}

int n_Channel(uint32_t n_pixel, int n_channel)
{
    return int(n_pixel >> (8 * n_channel) & 0xFF);
}

// Premultiplied channel: c * a / 255 rounded to nearest.
int n_Premultiplied(uint32_t n_pixel, int n_channel)
{
    const double f_value = n_Channel(n_pixel, n_channel) * n_Channel(n_pixel, 3) / 255.0;
    return int(f_value + 0.5);
}

struct PillowCase {
    std::string picture, geometry, filter, reference;
    int n_width, n_height;
    bool b_alpha;
};

std::vector<PillowCase> PillowCases()
{
    std::vector<PillowCase> cases;
    std::ifstream table(test::Fixture("fit/pillow_references.txt"));
    PillowCase c;
    int n_alpha = 0;
    while(table >> c.picture >> c.geometry >> c.filter >> c.reference >> c.n_width >> c.n_height >> n_alpha) {
        c.b_alpha = n_alpha != 0;
        cases.push_back(c);
    }
    return cases;
}

// Every geometry and filter of make_references.py: the size as worked out
// there; opaque pictures within 1 of Pillow on every channel; pictures with
// alpha within 1 on alpha and 3 on the premultiplied colour; nearest exact.
// The largest difference of each filter is printed.
TEST(Fit, ResizeMatchesPillowOnPhotosIconsAndPixelArt)
{
    if(!tarnwick::b_IsPngSupportBuiltIn())
        GTEST_SKIP() << "PNG support was not built in: the pictures here are PNG files";
    const std::vector<PillowCase> cases = PillowCases();
    ASSERT_GE(cases.size(), 80u);
    std::map<std::string, int> largest;
    for(const PillowCase &c : cases) {
        SCOPED_TRACE(c.picture + " --resize=" + c.geometry + " --filter=" + c.filter);
        const HeaderPixels ours = Convert(c.picture, {"--resize=" + c.geometry, "--filter=" + c.filter});
        const HeaderPixels pillow = Convert(c.reference, {});
        ASSERT_EQ(ours.n_width, c.n_width);
        ASSERT_EQ(ours.n_height, c.n_height);
        ASSERT_EQ(pillow.n_width, c.n_width);
        ASSERT_EQ(pillow.n_height, c.n_height);
        ASSERT_EQ(ours.items.size(), size_t(c.n_width) * size_t(c.n_height));
        ASSERT_EQ(pillow.items.size(), ours.items.size());
        const bool b_nearest = c.filter == "nearest";
        int n_largest_color = 0, n_largest_alpha = 0;
        for(size_t i = 0; i < ours.items.size(); ++i) {
            for(int n_channel = 0; n_channel < 3; ++n_channel) {
                const int n_difference =
                    c.b_alpha && !b_nearest
                        ? std::abs(n_Premultiplied(ours.items[i], n_channel) - n_Premultiplied(pillow.items[i], n_channel))
                        : std::abs(n_Channel(ours.items[i], n_channel) - n_Channel(pillow.items[i], n_channel));
                n_largest_color = std::max(n_largest_color, n_difference);
            }
            n_largest_alpha =
                std::max(n_largest_alpha, std::abs(n_Channel(ours.items[i], 3) - n_Channel(pillow.items[i], 3)));
        }
        EXPECT_LE(n_largest_color, b_nearest ? 0 : c.b_alpha ? 3 : 1);
        EXPECT_LE(n_largest_alpha, b_nearest ? 0 : 1);
        const std::string key = c.filter + (c.b_alpha ? " (alpha, premultiplied)" : " (opaque)");
        largest[key] = std::max(largest[key], std::max(n_largest_color, n_largest_alpha));
    }
    for(const auto &entry : largest)
        std::printf("largest difference from Pillow, %s: %d\n", entry.first.c_str(), entry.second);
}

// The old pixel (x, y) of a W x H picture that a geometry step puts at the
// new (x, y); the new size comes from the same step.
struct GeometryCase {
    std::vector<std::string> switches;
    int (*n_new_width)(int n_width, int n_height);
    int (*n_new_height)(int n_width, int n_height);
    void (*old_position)(int x, int y, int n_width, int n_height, int &n_old_x, int &n_old_y);
};

int n_Same(int n_side, int) { return n_side; }
int n_Other(int, int n_side) { return n_side; }

const GeometryCase kGeometryCases[] = {
    {{"--rotate=90"}, n_Other, n_Same,
     [](int x, int y, int, int n_height, int &n_x, int &n_y) { n_x = y, n_y = n_height - 1 - x; }},
    {{"--rotate=180"}, n_Same, n_Other,
     [](int x, int y, int n_width, int n_height, int &n_x, int &n_y) { n_x = n_width - 1 - x, n_y = n_height - 1 - y; }},
    {{"--rotate=270"}, n_Other, n_Same,
     [](int x, int y, int n_width, int, int &n_x, int &n_y) { n_x = n_width - 1 - y, n_y = x; }},
    {{"--flip=h"}, n_Same, n_Other, [](int x, int y, int n_width, int, int &n_x, int &n_y) { n_x = n_width - 1 - x, n_y = y; }},
    {{"--flip=v"}, n_Same, n_Other, [](int x, int y, int, int n_height, int &n_x, int &n_y) { n_x = x, n_y = n_height - 1 - y; }},
    {{"--crop=5x4+3+2"}, [](int, int) { return 5; }, [](int, int) { return 4; },
     [](int x, int y, int, int, int &n_x, int &n_y) { n_x = 3 + x, n_y = 2 + y; }},
    // The whole of sprite.png (12 x 10) and its bottom-right pixel.
    {{"--crop=12x10+0+0"}, [](int, int) { return 12; }, [](int, int) { return 10; },
     [](int x, int y, int, int, int &n_x, int &n_y) { n_x = x, n_y = y; }},
    {{"--crop=1x1+11+9"}, [](int, int) { return 1; }, [](int, int) { return 1; },
     [](int, int, int, int, int &n_x, int &n_y) { n_x = 11, n_y = 9; }},
    // Crop, then rotate, then flip, whatever the order given: rotating the
    // 5 x 4 crop clockwise gives 4 x 5, whose left-right mirror is
    // new (x, y) = crop (y, x).
    {{"--flip=h", "--rotate=90", "--crop=5x4+3+2"}, [](int, int) { return 4; }, [](int, int) { return 5; },
     [](int x, int y, int, int, int &n_x, int &n_y) { n_x = 3 + y, n_y = 2 + x; }},
    // The last --rotate counts.
    {{"--rotate=90", "--rotate=180"}, n_Same, n_Other,
     [](int x, int y, int n_width, int n_height, int &n_x, int &n_y) { n_x = n_width - 1 - x, n_y = n_height - 1 - y; }},
};

TEST(Fit, CropRotateAndFlipMoveEveryPixelByIndexArithmetic)
{
    if(!tarnwick::b_IsPngSupportBuiltIn())
        GTEST_SKIP() << "PNG support was not built in: the pictures here are PNG files";
    for(const char *p_picture : {"chelsea.png", "user-trash.png", "sprite.png", "camera.png"}) {
        const HeaderPixels original = Convert(p_picture, {});
        ASSERT_GT(original.n_width, 0);
        for(const GeometryCase &c : kGeometryCases) {
            SCOPED_TRACE(std::string(p_picture) + " " + c.switches[0]);
            const HeaderPixels moved = Convert(p_picture, c.switches);
            ASSERT_EQ(moved.n_width, c.n_new_width(original.n_width, original.n_height));
            ASSERT_EQ(moved.n_height, c.n_new_height(original.n_width, original.n_height));
            ASSERT_EQ(moved.items.size(), size_t(moved.n_width) * size_t(moved.n_height));
            int n_wrong = 0;
            for(int y = 0; y < moved.n_height; ++y)
                for(int x = 0; x < moved.n_width; ++x) {
                    int n_old_x = 0, n_old_y = 0;
                    c.old_position(x, y, original.n_width, original.n_height, n_old_x, n_old_y);
                    n_wrong += moved.items[size_t(y * moved.n_width + x)] !=
                               original.items[size_t(n_old_y * original.n_width + n_old_x)];
                }
            EXPECT_EQ(n_wrong, 0);
        }
    }
}

// The gray value the --gray and --mono formats use, worked out here.
int n_Gray(uint32_t n_pixel)
{
    const double f_gray = (n_Channel(n_pixel, 2) * double(0.299f) + n_Channel(n_pixel, 1) * double(0.587f)) +
                          n_Channel(n_pixel, 0) * double(0.114f);
    return std::min(255, int(f_gray));
}

// The pixel over a background colour, channel by channel, rounded to nearest.
uint32_t n_OverBackground(uint32_t n_pixel, uint32_t n_background)
{
    uint32_t n_result = 0xFF000000u;
    const double f_alpha = n_Channel(n_pixel, 3) / 255.0;
    for(int c = 0; c < 3; ++c) {
        const double f_value = n_Channel(n_pixel, c) * f_alpha + n_Channel(n_background, c) * (1.0 - f_alpha);
        n_result |= uint32_t(f_value + 0.5) << (8 * c);
    }
    return n_result;
}

// Background, invert and threshold on pictures with and without alpha,
// against the formulas computed here from the untouched pixels.
TEST(Fit, BackgroundInvertAndThresholdFollowTheirFormulas)
{
    if(!tarnwick::b_IsPngSupportBuiltIn())
        GTEST_SKIP() << "PNG support was not built in: the pictures here are PNG files";
    for(const char *p_picture : {"user-trash.png", "folder-pictures.png", "sprite.png", "coffee.png"}) {
        SCOPED_TRACE(p_picture);
        const HeaderPixels original = Convert(p_picture, {});
        const size_t n_pixels = original.items.size();
        ASSERT_GT(n_pixels, 0u);
        const HeaderPixels background = Convert(p_picture, {"--background=3a7FC0"});
        const HeaderPixels inverted = Convert(p_picture, {"--invert"});
        const HeaderPixels both = Convert(p_picture, {"--invert", "--background=3a7fc0"});
        const HeaderPixels gray = Convert(p_picture, {"--gray", "--background=ffffff"});
        ASSERT_EQ(background.items.size(), n_pixels);
        ASSERT_EQ(inverted.items.size(), n_pixels);
        ASSERT_EQ(both.items.size(), n_pixels);
        ASSERT_EQ(gray.items.size(), n_pixels);
        for(size_t i = 0; i < n_pixels; ++i) {
            const uint32_t n_pixel = original.items[i];
            EXPECT_EQ(background.items[i], n_OverBackground(n_pixel, 0x3A7FC0)) << i;
            EXPECT_EQ(inverted.items[i], (n_pixel & 0xFF000000u) | (~n_pixel & 0x00FFFFFFu)) << i;
            // The background first, then the inversion, whatever the order given.
            EXPECT_EQ(both.items[i], 0xFF000000u | (~n_OverBackground(n_pixel, 0x3A7FC0) & 0x00FFFFFFu)) << i;
            EXPECT_EQ(gray.items[i], uint32_t(n_Gray(n_OverBackground(n_pixel, 0xFFFFFF)))) << i;
        }
        // The 1-bit cut at several thresholds: a bit is set when the gray
        // value of the pixel over black is at least N.
        for(int n_threshold : {0, 1, 77, 128, 200, 255}) {
            const HeaderPixels bits = Convert(p_picture, {"--mono", "--threshold=" + std::to_string(n_threshold)});
            const size_t n_row_bytes = size_t(original.n_width + 7) / 8;
            ASSERT_EQ(bits.items.size(), n_row_bytes * size_t(original.n_height));
            int n_wrong = 0;
            for(int y = 0; y < original.n_height; ++y)
                for(int x = 0; x < original.n_width; ++x) {
                    const uint32_t n_pixel = original.items[size_t(y * original.n_width + x)];
                    const bool b_set = n_Gray(n_OverBackground(n_pixel, 0)) >= n_threshold;
                    n_wrong += int(bits.items[size_t(y) * n_row_bytes + size_t(x / 8)] >> (7 - x % 8) & 1) != int(b_set);
                }
            EXPECT_EQ(n_wrong, 0) << "--threshold=" << n_threshold;
        }
    }
}

// Each malformed value is refused with its cause before any file is read:
// the image path does not exist, and the error is about the switch, not
// the load. A crop outside the picture is found after the load, and still
// nothing is written.
TEST(Fit, MalformedValuesAreRefusedBeforeAnythingIsWritten)
{
    const struct {
        const char *p_switch;
        const char *p_cause;
    } cases[] = {
        {"--resize=0x10", "the geometry must be WxH, WxH!, Wx or xH, each size from 1 to 65535"},
        {"--resize=10", "the geometry must be WxH, WxH!, Wx or xH, each size from 1 to 65535"},
        {"--resize=x", "the geometry must be WxH, WxH!, Wx or xH, each size from 1 to 65535"},
        {"--resize=10x!", "the geometry must be WxH, WxH!, Wx or xH, each size from 1 to 65535"},
        {"--resize=65536x10", "the geometry must be WxH, WxH!, Wx or xH, each size from 1 to 65535"},
        {"--resize=-5x10", "the geometry must be WxH, WxH!, Wx or xH, each size from 1 to 65535"},
        {"--resize", "the switch needs a value: name=value"},
        {"--crop=5x5+10", "the rectangle must be WxH+X+Y in pixels, W and H at least 1"},
        {"--crop=0x5+1+1", "the rectangle must be WxH+X+Y in pixels, W and H at least 1"},
        {"--rotate=45", "the angle must be 90, 180 or 270 (clockwise)"},
        {"--rotate=-90", "the angle must be 90, 180 or 270 (clockwise)"},
        {"--flip=x", "the direction must be h (left-right) or v (top-bottom)"},
        {"--filter=bicubic", "the filter must be lanczos, box, bilinear or nearest"},
        {"--background=12345", "the colour must be six hexadecimal digits, RRGGBB"},
        {"--background=#123456", "the colour must be six hexadecimal digits, RRGGBB"},
        {"--background=1234567", "the colour must be six hexadecimal digits, RRGGBB"},
        {"--threshold=300", "the threshold must be a whole number from 0 to 255"},
        {"--threshold=", "the threshold must be a whole number from 0 to 255"},
        {"--dither=ordered", "the dithering must be floyd, atkinson or bayer"},
    };
    test::TempDir dir;
    for(const auto &c : cases) {
        SCOPED_TRACE(c.p_switch);
        // A good value of the same switch after the bad one does not save it.
        const test::RunResult run = test::RunTarnwick(
            {dir.File("missing.png"), dir.File("out.h"), "--verbose", c.p_switch, "--resize=10x10", "--dither"});
        EXPECT_EQ(run.n_exit_status, kFailure);
        EXPECT_EQ(run.err, std::string("error: '") + c.p_switch + "': " + c.p_cause + "\n");
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(test::FileExists(dir.File("out.h")));
    }
    if(!tarnwick::b_IsPngSupportBuiltIn())
        GTEST_SKIP() << "PNG support was not built in: the pictures here are PNG files";
    const test::RunResult outside =
        test::RunTarnwick({test::Fixture("fit/sprite.png"), dir.File("out.h"), "--crop=5x5+10+10"});
    EXPECT_EQ(outside.n_exit_status, kFailure);
    EXPECT_EQ(outside.err, "error: '--crop=5x5+10+10': the rectangle does not lie inside the picture, which is 12 x 10 "
                           "pixels\n");
    EXPECT_FALSE(test::FileExists(dir.File("out.h")));
    // Weight tables past their limit: a black PNG of 140000 x 1 pixels made
    // 10 pixels wide needs runs of some 84000 weights for each.
    const test::RunResult too_large =
        test::RunTarnwick({test::Fixture("fit/wide_140000x1.png"), dir.File("out.h"), "--resize=10x1!"});
    EXPECT_EQ(too_large.n_exit_status, kFailure);
    EXPECT_EQ(too_large.err, "error: '--resize=10x1!': the resized picture would be too large\n");
    EXPECT_FALSE(test::FileExists(dir.File("out.h")));
    // Near misses of the names are unknown switches, as before.
    const test::RunResult near = test::RunTarnwick(
        {test::Fixture("fit/sprite.png"), dir.File("out.h"), "--invert=1", "--Resize=10x10", "--resizes=1x1"});
    EXPECT_EQ(near.n_exit_status, 0);
    EXPECT_EQ(near.err, "warning: unknown parameter: '--invert=1' (skipping)\n"
                        "warning: unknown parameter: '--Resize=10x10' (skipping)\n"
                        "warning: unknown parameter: '--resizes=1x1' (skipping)\n");
}

} // namespace
