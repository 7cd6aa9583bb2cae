// The switches that shape the header's text for a toolchain (--stdint,
// --static, --attribute, --name): each changes exactly its own part of
// today's header, for every item kind, plain and packed, with and without
// the unpacking function; the values the writer refuses; and the limits of
// LVGL's descriptor, and what --lvgl leaves out. (The descriptor's numbers and
// bytes for every colour format are checked by toolchain_compile_test.)
#include <gtest/gtest.h>

#include <string>

#include "header_names.h"
#include "header_text.h"
#include "lvgl_descriptor.h"
#include "test_support.h"

namespace {

using namespace tarnwick;
using test::Pixels;

// Every occurrence of `from` in the text replaced by `to`.
std::string Replaced(std::string text, const std::string &from, const std::string &to)
{
    for(size_t n_at = 0; (n_at = text.find(from, n_at)) != std::string::npos; n_at += to.size())
        text.replace(n_at, from.size(), to);
    return text;
}

// "static " in front of every line that starts a definition.
std::string WithStatic(const std::string &text)
{
    std::string result;
    for(size_t n_at = 0, n_end; n_at < text.size(); n_at = n_end + 1) {
        n_end = text.find('\n', n_at);
        const std::string line = text.substr(n_at, n_end - n_at + 1);
        const bool b_function = line.find("*p_DecompressRLEImage(") != std::string::npos;
        result += (line.compare(0, 6, "const ") == 0 ? "static " : b_function ? "static inline " : "") + line;
    }
    return result;
}

struct KindCase {
    OutputFormat format;
    Pixels items;
    const char *p_plain_type;
    const char *p_stdint_type;
};

TEST(HeaderOptions, EachSwitchChangesOnlyItsOwnPartOfTheHeader)
{
    const KindCase kCases[] = {
        {OutputFormat::kRgb, {0xff0000ff, 0xff0000ff, 0xff0000ff, 0x80ffffff, 0, 7}, "unsigned __int32", "uint32_t"},
        {OutputFormat::kRgb565, {0xf800, 0xf800, 0xf800, 0x001f, 0x8410, 0}, "unsigned short", "uint16_t"},
        {OutputFormat::kGray, {0x4c, 0x4c, 0x4c, 0x95, 0x1d, 0xff}, "unsigned char", "uint8_t"},
        {OutputFormat::kMono, {0x40, 0xc0}, "unsigned char", "uint8_t"},
    };
    for(const KindCase &c : kCases) {
        const int n_width = 3, n_height = 2;
        for(int n_packing = 0; n_packing < 4; ++n_packing) {
            HeaderOptions plain = kPlainHeaderOptions;
            plain.b_rle = n_packing & 1;
            plain.b_rle_decoder = n_packing & 2;
            const std::string label = std::string(c.p_plain_type) + " " + std::to_string(n_packing);
            auto text = [&](const HeaderOptions &options) {
                return test::HeaderText(c.items, n_width, n_height, c.format, options, "art/Logo.png", "logo.h");
            };
            const std::string base = text(plain);
            ASSERT_NE(base, "") << label;

            HeaderOptions options = plain;
            options.b_stdint = true;
            EXPECT_EQ(text(options), Replaced(Replaced(base, c.p_plain_type, c.p_stdint_type),
                                              "#define __LOGO_H_INCLUDED\n\n",
                                              "#define __LOGO_H_INCLUDED\n\n#include <stdint.h>\n\n"))
                << label;

            options = plain;
            options.b_static = true;
            EXPECT_EQ(text(options), WithStatic(base)) << label;

            options = plain;
            options.p_attribute = "__attribute__((aligned(4), section(\".rodata.art\")))";
            EXPECT_EQ(text(options), Replaced(base, "[] = {", std::string("[] ") + options.p_attribute + " = {"))
                << label;
            options.p_attribute = "";
            EXPECT_EQ(text(options), base) << label;

            options = plain;
            options.p_name = "_Logo2";
            EXPECT_EQ(text(options), Replaced(base, "art_logo_png", "_Logo2")) << label;
        }
    }
}

TEST(HeaderOptions, NamesMustBeCIdentifiersAndAttributesOneLine)
{
    for(const char *p_good : {"a", "_", "logo", "Logo_2", "_9", "x1y2", "ABC"})
        EXPECT_TRUE(b_IsHeaderName(p_good)) << p_good;
    for(const char *p_bad : {"", "1x", "9", "logo.png", "a-b", "a b", "caf\xc3\xa9", "a\n", "$x"})
        EXPECT_FALSE(b_IsHeaderName(p_bad)) << p_bad;
    EXPECT_TRUE(b_IsHeaderName(std::string(255, 'n').c_str()));
    EXPECT_FALSE(b_IsHeaderName(std::string(256, 'n').c_str()));

    for(const char *p_good : {"", "PROGMEM", "__attribute__((section(\".x\")))", "/* a */ b\t"})
        EXPECT_TRUE(b_IsAttributeText(p_good)) << p_good;
    for(const char *p_bad : {"\n", "a\nb", "a\r", "PROGMEM\r\n"})
        EXPECT_FALSE(b_IsAttributeText(p_bad));
}

// The writer refuses a bad name, an attribute of two lines and a picture too
// large for LVGL before creating the file; with --lvgl it writes no packets
// and no function whatever --rle and --rle-decoder say.
TEST(HeaderOptions, TheWriterRefusesBeforeCreatingTheFileAndLvglTakesNoPackets)
{
    test::TempDir dir;
    HeaderOptions options = kPlainHeaderOptions;
    options.p_name = "1x";
    EXPECT_FALSE(test::WriteHeader({1}, 1, 1, OutputFormat::kRgb, options, "a.tga", dir.File("a.h")));
    options = kPlainHeaderOptions;
    options.p_attribute = "A\n#define B";
    EXPECT_FALSE(test::WriteHeader({1}, 1, 1, OutputFormat::kRgb, options, "a.tga", dir.File("a.h")));
    options = kPlainHeaderOptions;
    options.b_lvgl = true;
    EXPECT_FALSE(test::WriteHeader(test::Pixels(65536, 0), 65536, 1, OutputFormat::kGray, options, "a.tga",
                                   dir.File("a.h")));
    EXPECT_FALSE(test::FileExists(dir.File("a.h")));

    const std::string lvgl = test::HeaderText(Pixels(20, 0x33), 5, 4, OutputFormat::kGray, options, "g.png", "g.h");
    options.b_rle = options.b_rle_decoder = true;
    EXPECT_NE(lvgl.find("dsc_g_png"), std::string::npos);
    EXPECT_EQ(test::HeaderText(Pixels(20, 0x33), 5, 4, OutputFormat::kGray, options, "g.png", "g.h"), lvgl);
}

// The limits of the LVGL 9 descriptor's 16-bit fields.
TEST(HeaderOptions, LvglWidthHeightAndStrideMustFitSixteenBits)
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
    EXPECT_EQ(LvglImageOf(LvglFormat::kI8, 65535, 65535).n_data_size, 1024ull + 65535ull * 65535ull);
}

} // namespace
