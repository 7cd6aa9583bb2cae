// The switches that shape the header's text for a toolchain (--stdint,
// --static, --attribute, --name): each changes exactly its own part of
// today's header, for every item kind, plain and packed, with and without
// the unpacking function; and the values they refuse.
#include <gtest/gtest.h>

#include <string>

#include "header_names.h"
#include "header_text.h"
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

// The worked example of the README's "--stdint --static --attribute=PROGMEM
// --name=dot" on the 3 x 1 dot, byte for byte.
TEST(HeaderOptions, AllFourTogether)
{
    HeaderOptions options = kPlainHeaderOptions;
    options.b_stdint = options.b_static = true;
    options.p_attribute = "PROGMEM";
    options.p_name = "dot";
    EXPECT_EQ(test::HeaderText({0xff0000ff, 0xff00ff00, 0xffff0000}, 3, 1, OutputFormat::kRgb, options, "dot.tga",
                               "dot.h"),
              "/*\n *\timage header file\n *\tcreated from 'dot.tga'\n */\n\n"
              "#ifndef __DOT_H_INCLUDED\n#define __DOT_H_INCLUDED\n\n#include <stdint.h>\n\n"
              "static const uint32_t p_dot[] PROGMEM = {\n\t0xff0000ff, 0xff00ff00, 0xffff0000\n};\n\n"
              "static const unsigned int n_dot_width = 3;\nstatic const unsigned int n_dot_height = 1;\n\n"
              "#endif //__DOT_H_INCLUDED\n");
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

    // The writer refuses them too, before creating the file.
    test::TempDir dir;
    HeaderOptions options = kPlainHeaderOptions;
    options.p_name = "1x";
    EXPECT_FALSE(test::WriteHeader({1}, 1, 1, OutputFormat::kRgb, options, "a.tga", dir.File("a.h")));
    options = kPlainHeaderOptions;
    options.p_attribute = "A\n#define B";
    EXPECT_FALSE(test::WriteHeader({1}, 1, 1, OutputFormat::kRgb, options, "a.tga", dir.File("a.h")));
    EXPECT_FALSE(test::FileExists(dir.File("a.h")));
}

} // namespace
