// The limits of the LVGL 9 descriptor's 16-bit fields, and what --lvgl does
// to the rest of the header. (The descriptor's numbers and bytes for every
// colour format are checked by lvgl_compile_test, compiled against LVGL's
// declarations.)
#include <gtest/gtest.h>

#include <string>

#include "header_text.h"
#include "lvgl_descriptor.h"
#include "test_support.h"

namespace {

using namespace tarnwick;

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
