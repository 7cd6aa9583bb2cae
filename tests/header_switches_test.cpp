// The switches that shape the header's text, on the command line: values and
// combinations refused before any file is read or written, the last value
// counting, what --lvgl skips, and the pictures --indexed and --lvgl refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

const int kFailure = 255; // the program's -1 as the shell sees it

std::string NameError(const std::string &name)
{
    return "error: '--name=" + name + "': the name must be a C identifier: ASCII letters, digits and '_', not "
                                      "starting with a digit, at most 255 characters\n";
}

// A refused switch or combination: the error, exit status -1, nothing
// written, nothing read (the image path names no file, which would otherwise
// be the load error). The layouts LVGL has no format for are among them.
TEST(HeaderSwitches, RefusalsComeBeforeAnyFileIsTouched)
{
    test::TempDir dir;
    const std::string one_bit = ": LVGL's I1 is --mono's rows, leftmost pixel in the top bit\n";
    const struct {
        std::vector<std::string> switches;
        std::string error;
    } kCases[] = {
        {{"--name=1x"}, NameError("1x")},
        {{"--name="}, NameError("")},
        {{"--name=" + std::string(256, 'a')}, NameError(std::string(256, 'a'))},
        {{"--name=2", "--name=ok"}, NameError("2")}, // even when a later value would do
        {{"--name"}, "error: '--name': the switch needs a value: name=value\n"},
        {{"--attribute"}, "error: '--attribute': the switch needs a value: name=value\n"},
        {{"--attribute=PROGMEM\n#define X"}, "error: '--attribute': the text must not hold a line break\n"},
        {{"--attribute=a\r"}, "error: '--attribute': the text must not hold a line break\n"},
        {{"--lvgl", "--rgb888"}, "error: --lvgl does not take --rgb888: LVGL's RGB888 holds blue, green, red, which "
                                 "is --bgr888\n"},
        {{"--mono-pages", "--mono", "--lvgl"}, "error: --lvgl does not take --mono-pages" + one_bit},
        {{"--lvgl", "--mono", "--mono-lsb"}, "error: --lvgl does not take --mono-lsb" + one_bit},
    };
    for(const auto &c : kCases) {
        std::vector<std::string> args{dir.File("missing.tga"), dir.File("out.h"), "--verbose"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        const test::RunResult run = test::RunTarnwick(args);
        EXPECT_EQ(run.n_exit_status, kFailure) << c.switches[0];
        EXPECT_EQ(run.err, c.error);
        EXPECT_EQ(run.out, "") << "nothing loaded: " << c.switches[0];
        EXPECT_FALSE(test::FileExists(dir.File("out.h")));
    }
}

TEST(HeaderSwitches, TheLastValueCountsAndNearMissesAreUnknown)
{
    test::TempDir dir;
    const std::string picture = test::Fixture("tga/pil_rgb24_top.tga");
    const test::RunResult run = test::RunTarnwick({picture, dir.File("out.h"), "--name=first", "--name=logo",
                                                   "--attribute=A", "--attribute=PROGMEM", "--names=x", "--Static",
                                                   "--stdint=1", "--attribute2=x"});
    EXPECT_EQ(run.n_exit_status, 0);
    EXPECT_EQ(run.err, "warning: unknown parameter: '--names=x' (skipping)\n"
                       "warning: unknown parameter: '--Static' (skipping)\n"
                       "warning: unknown parameter: '--stdint=1' (skipping)\n"
                       "warning: unknown parameter: '--attribute2=x' (skipping)\n");
    const std::string header = test::ReadFileText(dir.File("out.h"));
    EXPECT_NE(header.find("\nconst unsigned __int32 p_logo[] PROGMEM = {\n"), std::string::npos) << header;
    EXPECT_NE(header.find("\nconst unsigned int n_logo_width = 13;\nconst unsigned int n_logo_height = 7;\n"),
              std::string::npos);
    EXPECT_NE(header.find("#ifndef __"), std::string::npos);
    EXPECT_EQ(header.find("first"), std::string::npos);
}

// --rle and --rle-decoder are skipped with --lvgl, each with its warning,
// and the header is the one --lvgl writes alone.
TEST(HeaderSwitches, LvglSkipsThePacketsWithAWarning)
{
    test::TempDir dir;
    const std::string picture = test::Fixture("tga/pil_gray_top.tga");
    const test::RunResult packed =
        test::RunTarnwick({picture, dir.File("out.h"), "--rle", "--lvgl", "--rle-decoder", "--gray"});
    EXPECT_EQ(packed.n_exit_status, 0);
    EXPECT_EQ(packed.err, "warning: --rle is skipped with --lvgl\nwarning: --rle-decoder is skipped with --lvgl\n");
    const std::string packed_header = test::ReadFileText(dir.File("out.h"));
    const test::RunResult plain = test::RunTarnwick({picture, dir.File("out.h"), "--gray", "--lvgl"});
    EXPECT_EQ(plain.n_exit_status, 0);
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(packed_header, test::ReadFileText(dir.File("out.h")));
    EXPECT_NE(packed_header.find("LV_COLOR_FORMAT_L8"), std::string::npos);
}

// An uncompressed 32-bit TGA, top row first, of the given pixels
// (0xAARRGGBB).
test::Bytes Tga32(int n_width, int n_height, const std::vector<uint32_t> &pixels)
{
    test::Bytes bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(n_width), uint8_t(n_width >> 8),
                         uint8_t(n_height), uint8_t(n_height >> 8), 32, 0x28};
    for(uint32_t n_pixel : pixels)
        bytes.insert(bytes.end(), {uint8_t(n_pixel), uint8_t(n_pixel >> 8), uint8_t(n_pixel >> 16),
                                   uint8_t(n_pixel >> 24)});
    return bytes;
}

// 256 colours make a palette of 8-bit indices; one more is refused with its
// cause after the picture is read, and no header is written.
TEST(HeaderSwitches, IndexedRefusesMoreThan256Colours)
{
    test::TempDir dir;
    std::vector<uint32_t> pixels;
    for(uint32_t i = 0; i < 257; ++i)
        pixels.push_back(0xff000000u | i * 0x010101u | (i == 256 ? 0x00ff0000u : 0));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("c257.tga"), Tga32(257, 1, pixels)));
    pixels.back() = pixels.front();
    ASSERT_TRUE(test::WriteFileBytes(dir.File("c256.tga"), Tga32(257, 1, pixels)));

    const test::RunResult fits = test::RunTarnwick({dir.File("c256.tga"), dir.File("256.h"), "--indexed"});
    EXPECT_EQ(fits.n_exit_status, 0) << fits.err;
    EXPECT_NE(test::ReadFileText(dir.File("256.h")).find("_palette_size = 256;\n"), std::string::npos);
    const test::RunResult run = test::RunTarnwick({dir.File("c257.tga"), dir.File("257.h"), "--indexed", "--verbose"});
    EXPECT_EQ(run.n_exit_status, kFailure);
    EXPECT_EQ(run.err, "error: more than 256 colours for --indexed\n");
    EXPECT_EQ(run.out, "loading image in TGA format ...\n");
    EXPECT_FALSE(test::FileExists(dir.File("257.h")));
}

// --mono-lsb and --mono-pages change only --mono, where --mono-pages wins.
TEST(HeaderSwitches, OneBitLayoutsChangeOnlyMono)
{
    test::TempDir dir;
    const std::string picture = test::Fixture("tga/pil_rgb24_top.tga"); // light and dark pixels
    auto header = [&](std::vector<std::string> switches) {
        switches.insert(switches.begin(), {picture, dir.File("out.h")});
        const test::RunResult run = test::RunTarnwick(switches);
        EXPECT_EQ(run.n_exit_status, 0) << run.err;
        return test::ReadFileText(dir.File("out.h"));
    };
    EXPECT_EQ(header({"--gray", "--mono-lsb", "--mono-pages", "--lvgl"}), header({"--gray", "--lvgl"}));
    EXPECT_EQ(header({"--mono-lsb", "--rgb565"}), header({"--rgb565"}));
    EXPECT_EQ(header({"--mono-pages", "--mono", "--mono-lsb"}), header({"--mono", "--mono-pages"}));
    EXPECT_NE(header({"--mono", "--mono-lsb"}), header({"--mono"}));
}

// The fitted picture's row bytes must fit LVGL's 16-bit stride: 16384 pixels
// of ARGB8888 make 65536 bytes; the same picture in L8 makes 16384.
TEST(HeaderSwitches, LvglRefusesAPictureTooLargeForItsHeader)
{
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFileBytes(dir.File("wide.tga"), Tga32(16384, 1, std::vector<uint32_t>(16384, 0xff102030))));
    const test::RunResult run = test::RunTarnwick({dir.File("wide.tga"), dir.File("wide.h"), "--lvgl"});
    EXPECT_EQ(run.n_exit_status, kFailure);
    EXPECT_EQ(run.err, "error: the picture is too large for LVGL: 16384 x 1 pixels with rows of 65536 bytes; LVGL's "
                       "image header holds at most 65535 for each\n");
    EXPECT_FALSE(test::FileExists(dir.File("wide.h")));
    EXPECT_EQ(test::RunTarnwick({dir.File("wide.tga"), dir.File("wide.h"), "--lvgl", "--gray"}).n_exit_status, 0);
    // After fitting: the same picture resized to 16383 pixels fits.
    EXPECT_EQ(test::RunTarnwick({dir.File("wide.tga"), dir.File("fit.h"), "--lvgl", "--resize=16383x1!",
                                 "--filter=nearest"})
                  .n_exit_status,
              0);
}

} // namespace
