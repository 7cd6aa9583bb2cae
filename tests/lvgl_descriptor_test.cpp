// The LVGL 9 descriptor's numbers for every colour format, the limits of its
// 16-bit fields, and what --lvgl does to the rest of the header.
#include <gtest/gtest.h>

#include <string>

#include "header_text.h"
#include "lvgl_descriptor.h"
#include "test_support.h"

namespace {

using namespace tarnwick;

// A 13 x 7 picture: row bytes as LVGL computes them, (13 * bits + 7) / 8,
// worked out by hand, and the palette of 2, 4, 16 or 256 entries of 4 bytes.
TEST(LvglDescriptor, StrideAndDataSizeOfEveryFormat)
{
    const struct {
        LvglFormat format;
        const char *p_name;
        uint64_t n_stride;
        uint64_t n_palette_bytes;
    } kCases[] = {
        {LvglFormat::kArgb8888, "LV_COLOR_FORMAT_ARGB8888", 52, 0},
        {LvglFormat::kRgb565, "LV_COLOR_FORMAT_RGB565", 26, 0},
        {LvglFormat::kRgb565Swapped, "LV_COLOR_FORMAT_RGB565_SWAPPED", 26, 0},
        {LvglFormat::kRgb888, "LV_COLOR_FORMAT_RGB888", 39, 0},
        {LvglFormat::kL8, "LV_COLOR_FORMAT_L8", 13, 0},
        {LvglFormat::kA8, "LV_COLOR_FORMAT_A8", 13, 0},
        {LvglFormat::kI1, "LV_COLOR_FORMAT_I1", 2, 8},      // 13 bits
        {LvglFormat::kI2, "LV_COLOR_FORMAT_I2", 4, 16},     // 26 bits
        {LvglFormat::kI4, "LV_COLOR_FORMAT_I4", 7, 64},     // 52 bits
        {LvglFormat::kI8, "LV_COLOR_FORMAT_I8", 13, 1024},
    };
    for(const auto &c : kCases) {
        const LvglImage image = LvglImageOf(c.format, 13, 7);
        EXPECT_EQ(image.n_width, 13u);
        EXPECT_EQ(image.n_height, 7u);
        EXPECT_EQ(image.n_stride, c.n_stride) << c.p_name;
        EXPECT_EQ(image.n_palette_bytes, c.n_palette_bytes) << c.p_name;
        EXPECT_EQ(image.n_data_size, c.n_palette_bytes + 7 * c.n_stride) << c.p_name;
        EXPECT_EQ(std::string(p_LvglFormatName(c.format)), c.p_name);
        EXPECT_TRUE(b_FitsLvglHeader(image));
    }
}

TEST(LvglDescriptor, WidthHeightAndStrideMustFitSixteenBits)
{
    EXPECT_TRUE(b_FitsLvglHeader(LvglImageOf(LvglFormat::kL8, 65535, 65535)));
    EXPECT_FALSE(b_FitsLvglHeader(LvglImageOf(LvglFormat::kL8, 65536, 1)));
    EXPECT_FALSE(b_FitsLvglHeader(LvglImageOf(LvglFormat::kI1, 1, 65536)));
    // 4 bytes a pixel: 16383 pixels make 65532 bytes, 16384 make 65536.
    EXPECT_TRUE(b_FitsLvglHeader(LvglImageOf(LvglFormat::kArgb8888, 16383, 1)));
    EXPECT_FALSE(b_FitsLvglHeader(LvglImageOf(LvglFormat::kArgb8888, 16384, 1)));
    EXPECT_TRUE(b_FitsLvglHeader(LvglImageOf(LvglFormat::kRgb888, 21845, 1)));
    EXPECT_FALSE(b_FitsLvglHeader(LvglImageOf(LvglFormat::kRgb888, 21846, 1)));
    // The largest data size does not wrap around.
    const LvglImage largest = LvglImageOf(LvglFormat::kI8, 65535, 65535);
    EXPECT_EQ(largest.n_data_size, 1024ull + 65535ull * 65535ull);
}

// With --lvgl: a byte array, no packets and no function whatever --rle and
// --rle-decoder say; a picture too large for LVGL is refused before the file
// is created.
TEST(LvglDescriptor, TheHeaderAroundTheDescriptor)
{
    HeaderOptions options = kPlainHeaderOptions;
    options.b_lvgl = options.b_rle = options.b_rle_decoder = true;
    const test::Pixels gray(20, 0x33);
    const std::string text = test::HeaderText(gray, 5, 4, OutputFormat::kGray, options, "g.png", "g.h");
    EXPECT_NE(text.find("#define __G_H_INCLUDED\n\n#if defined(LV_LVGL_H_INCLUDE_SIMPLE)\n#include \"lvgl.h\"\n"
                        "#else\n#include \"lvgl/lvgl.h\"\n#endif\n\nconst uint8_t p_g_png[] = {\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\t0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33,\n"
                        "\t0x33, 0x33, 0x33, 0x33, 0x33, 0x33\n};\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("const unsigned int n_g_png_height = 4;\n\n#ifdef __cplusplus\nconst lv_image_dsc_t dsc_g_png"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("p_DecompressRLEImage"), std::string::npos);

    test::TempDir dir;
    EXPECT_FALSE(test::WriteHeader(test::Pixels(65536, 0), 65536, 1, OutputFormat::kGray, options, "w.png",
                                   dir.File("w.h")));
    EXPECT_FALSE(test::FileExists(dir.File("w.h")));
}

} // namespace
