// The worked examples of the README and the manual page, made by the program:
// the 3 x 2 picture in every output format and with each header switch, the
// packed 5 x 1 bar in 16-bit items, and the 4 x 2 pictures of each dithering
// mode (README only). Each expected text was worked out by hand (see the
// comments); the program must write it, and both documents must quote it
// byte for byte (the README indents it by four blanks).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// 32-bit TGA, top row first: red, green, blue; white, gray 0x80, orange
// ff8000 at alpha 0x80. Pixels are stored blue, green, red, alpha.
const test::Bytes kDotsTga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 0x28,
                              0x00, 0x00, 0xff, 0xff, 0x00, 0xff, 0x00, 0xff, 0xff, 0x00, 0x00, 0xff,
                              0xff, 0xff, 0xff, 0xff, 0x80, 0x80, 0x80, 0xff, 0x00, 0x80, 0xff, 0x80};
// 24-bit TGA, 5 x 1: four black pixels and one white.
const test::Bytes kBarTga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 1, 0, 24, 0x20,
                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff};

// 8-bit gray TGA, 4 x 2, top row first: gray 100 four times, then gray 200
// four times. The dithering examples of the README.
const test::Bytes kBandsTga = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 8, 0x20,
                               100, 100, 100, 100, 200, 200, 200, 200};
// 24-bit TGA, 4 x 2: red 21 (top row) and 30 (bottom row), green 130, blue 0,
// stored blue, green, red. The RGB565 dithering example of the README.
const test::Bytes kDarkRedTga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 24, 0x20,
                                 0, 130, 21, 0, 130, 21, 0, 130, 21, 0, 130, 21,
                                 0, 130, 30, 0, 130, 30, 0, 130, 30, 0, 130, 30};

struct WorkedExample {
    const char *p_image;
    const char *p_switches;
    const char *p_excerpt; // from its first line, looked for in the header, on
    bool b_in_manual;      // quoted by the manual page too (all are in the README)
};
const WorkedExample kExamples[] = {
    {"dots.tga", "",
     "const unsigned __int32 p_dots_tga[] = {\n"
     "\t0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff, 0xff808080, 0x80ff8000\n};\n", true},
    // 0.299 R + 0.587 G + 0.114 B truncated, alpha ignored: 76, 149, 29, 255,
    // 128, and 255 * 0.299 + 128 * 0.587 = 151.4 for the orange.
    {"dots.tga", " --gray",
     "const unsigned char p_dots_tga[] = {\n\t0x4c, 0x95, 0x1d, 0xff, 0x80, 0x97\n};\n", true},
    // Gray 0x80: 16 << 11 | 32 << 5 | 16 = 0x8410. The orange over black is
    // 128, 64, 0 (255 * 128 / 255, 128 * 128 / 255 = 64.25): 16 << 11 | 16 << 5.
    {"dots.tga", " --rgb565",
     "const unsigned short p_dots_tga[] = {\n\t0xf800, 0x07e0, 0x001f, 0xffff, 0x8410, 0x8200\n};\n", true},
    {"dots.tga", " --rgb565-swapped",
     "const unsigned short p_dots_tga[] = {\n\t0x00f8, 0xe007, 0x1f00, 0xffff, 0x1084, 0x0082\n};\n", true},
    // Gray over black: 76, 149, 29 -> bits 010; 255, 128, 75 (128 * 0.299 +
    // 64 * 0.587) -> bits 110; each row padded to one byte.
    {"dots.tga", " --mono",
     "const unsigned char p_dots_tga[] = {\n\t0x40, 0xc0\n};\n\n"
     "const unsigned int n_dots_tga_width = 3;\nconst unsigned int n_dots_tga_height = 2;\n"
     "const unsigned int n_dots_tga_row_bytes = 1;\n", true},
    // 76 clear, e 76: right +33 -> 182, below +23 -> 278, below right +4 -> 132.
    // 182 set, e -73: right -31 -> -2, below left -13 -> 265, below -22 -> 110,
    // below right -4 -> 71. -2 clear (its e * k / 16 are all 0). Row 1: 265
    // set, e 10: right +4 -> 114; 114 clear, e 114: right +49 -> 120; 120
    // clear. Bits 010 and 100.
    {"dots.tga", " --mono --dither", "const unsigned char p_dots_tga[] = {\n\t0x40, 0x80\n};\n", true},
    // A run of four black (0x8004, 0x0000) and a literal of one white.
    {"bar.tga", " --rgb565 --rle",
     "const unsigned short p_bar_tga[] = {\n\t0x8004, 0x0000, 0x0001, 0xffff\n};\n", true},
    // The dithering examples of the README, worked there step by step:
    // plain threshold 128 (rows 0000, 1111), threshold 100 (all set),
    // Floyd-Steinberg (0100, 1111), Atkinson (0001, 1111), Bayer (1010, 1101).
    {"bands.tga", " --mono", "const unsigned char p_bands_tga[] = {\n\t0x00, 0xf0\n};\n", false},
    {"bands.tga", " --mono --threshold=100", "const unsigned char p_bands_tga[] = {\n\t0xf0, 0xf0\n};\n", false},
    {"bands.tga", " --mono --dither=floyd", "const unsigned char p_bands_tga[] = {\n\t0x40, 0xf0\n};\n", false},
    {"bands.tga", " --mono --dither=atkinson", "const unsigned char p_bands_tga[] = {\n\t0x10, 0xf0\n};\n", false},
    {"bands.tga", " --mono --dither=bayer", "const unsigned char p_bands_tga[] = {\n\t0xa0, 0xd0\n};\n", false},
    // Red fields 2, 2, 3, 2 and 4, 4, 3, 4 instead of 2 and 3 throughout;
    // green 130 is exact (32 << 2 | 32 >> 4) and adds no error.
    {"dark_red.tga", " --rgb565 --dither=floyd",
     "const unsigned short p_dark_red_tga[] = {\n\t0x1400, 0x1400, 0x1c00, 0x1400, 0x2400, 0x2400, 0x1c00, 0x2400\n};\n",
     false},
    {"dark_red.tga", " --rgb565",
     "const unsigned short p_dark_red_tga[] = {\n\t0x1400, 0x1400, 0x1400, 0x1400, 0x1c00, 0x1c00, 0x1c00, 0x1c00\n};\n",
     false},
    // The header switches and the formats and layouts added with them: the
    // excerpt starts where the switch makes a difference.
    {"dots.tga", " --stdint",
     "#include <stdint.h>\n\nconst uint32_t p_dots_tga[] = {\n"
     "\t0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff, 0xff808080, 0x80ff8000\n};\n",
     false},
    {"dots.tga", " --static --attribute=PROGMEM",
     "static const unsigned __int32 p_dots_tga[] PROGMEM = {\n"
     "\t0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff, 0xff808080, 0x80ff8000\n};\n\n"
     "static const unsigned int n_dots_tga_width = 3;\nstatic const unsigned int n_dots_tga_height = 2;\n",
     false},
    {"dots.tga", " --name=dots",
     "const unsigned __int32 p_dots[] = {\n"
     "\t0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff, 0xff808080, 0x80ff8000\n};\n\n"
     "const unsigned int n_dots_width = 3;\nconst unsigned int n_dots_height = 2;\n",
     false},
    // L8: the gray values of --gray; stride 3, data_size 6.
    {"dots.tga", " --lvgl --gray",
     "#if defined(LV_LVGL_H_INCLUDE_SIMPLE)\n#include \"lvgl.h\"\n#else\n#include \"lvgl/lvgl.h\"\n#endif\n\n"
     "const uint8_t p_dots_tga[] = {\n\t0x4c, 0x95, 0x1d, 0xff, 0x80, 0x97\n};\n\n"
     "const unsigned int n_dots_tga_width = 3;\nconst unsigned int n_dots_tga_height = 2;\n\n"
     "#ifdef __cplusplus\nconst lv_image_dsc_t dsc_dots_tga = {\n#if LV_BIG_ENDIAN_SYSTEM\n"
     "\t{0, 3, 2, 3, 0, LV_COLOR_FORMAT_L8, LV_IMAGE_HEADER_MAGIC},\n#else\n"
     "\t{LV_IMAGE_HEADER_MAGIC, LV_COLOR_FORMAT_L8, 0, 3, 2, 3, 0},\n#endif\n\t6,\n"
     "#if LVGL_VERSION_MAJOR == 9 && LVGL_VERSION_MINOR < 1\n\tp_dots_tga\n"
     "#elif LVGL_VERSION_MAJOR == 9 && LVGL_VERSION_MINOR < 3\n\tp_dots_tga, 0\n#else\n\tp_dots_tga, 0, 0\n#endif\n"
     "};\n#else\nconst lv_image_dsc_t dsc_dots_tga = {\n\t.header = {\n\t\t.magic = LV_IMAGE_HEADER_MAGIC,\n"
     "\t\t.cf = LV_COLOR_FORMAT_L8,\n\t\t.flags = 0,\n\t\t.w = 3,\n\t\t.h = 2,\n\t\t.stride = 3,\n\t},\n"
     "\t.data_size = 6,\n\t.data = p_dots_tga,\n};\n#endif\n",
     false},
    // I1: black and white, blue, green, red, alpha each, then --mono's rows.
    {"dots.tga", " --lvgl --mono",
     "const uint8_t p_dots_tga[] = {\n\t0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0x40, 0xc0\n};\n", true},
    // ARGB8888: each pixel blue, green, red, alpha; the orange keeps its alpha.
    {"dots.tga", " --lvgl",
     "const uint8_t p_dots_tga[] = {\n"
     "\t0x00, 0x00, 0xff, 0xff, 0x00, 0xff, 0x00, 0xff, 0xff, 0x00, 0x00, 0xff, 0xff, 0xff,\n"
     "\t0xff, 0xff, 0x80, 0x80, 0x80, 0xff, 0x00, 0x80, 0xff, 0x80\n};\n",
     false},
    // RGB565 low byte first: 0xf800 is 00 f8; the orange over black 0x8200.
    {"dots.tga", " --lvgl --rgb565",
     "const uint8_t p_dots_tga[] = {\n\t0x00, 0xf8, 0xe0, 0x07, 0x1f, 0x00, 0xff, 0xff, 0x10, 0x84, 0x00, 0x82\n};\n",
     false},
    // The bits 010 and 110 of --mono from bit 0 up.
    {"dots.tga", " --mono --mono-lsb", "const unsigned char p_dots_tga[] = {\n\t0x02, 0x03\n};\n", false},
    // One page: the columns, top row in bit 0, are 0 1, 1 1 and 0 0.
    {"dots.tga", " --mono --mono-pages",
     "const unsigned char p_dots_tga[] = {\n\t0x02, 0x03, 0x00\n};\n\n"
     "const unsigned int n_dots_tga_width = 3;\nconst unsigned int n_dots_tga_height = 2;\n"
     "const unsigned int n_dots_tga_pages = 1;\n",
     false},
    // Over black: red, green, blue, white, gray 0x80, orange 128, 64, 0.
    {"dots.tga", " --rgb888",
     "const unsigned char p_dots_tga[] = {\n"
     "\t0xff, 0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0x80, 0x80,\n"
     "\t0x80, 0x80, 0x40, 0x00\n};\n",
     false},
    {"dots.tga", " --bgr888",
     "const unsigned char p_dots_tga[] = {\n"
     "\t0x00, 0x00, 0xff, 0x00, 0xff, 0x00, 0xff, 0x00, 0x00, 0xff, 0xff, 0xff, 0x80, 0x80,\n"
     "\t0x80, 0x00, 0x40, 0x80\n};\n",
     false},
    {"dots.tga", " --alpha8", "const unsigned char p_dots_tga[] = {\n\t0xff, 0xff, 0xff, 0xff, 0xff, 0x80\n};\n", false},
    // Six colours: 4 bits an index; the rows 0 1 2 and 3 4 5, two bytes each.
    {"dots.tga", " --indexed",
     "const unsigned __int32 p_dots_tga_palette[] = {\n"
     "\t0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff, 0xff808080, 0x80ff8000\n};\n\n"
     "const unsigned int n_dots_tga_palette_size = 6;\n\n"
     "const unsigned char p_dots_tga[] = {\n\t0x01, 0x20, 0x34, 0x50\n};\n\n"
     "const unsigned int n_dots_tga_width = 3;\nconst unsigned int n_dots_tga_height = 2;\n"
     "const unsigned int n_dots_tga_bits = 4;\nconst unsigned int n_dots_tga_row_bytes = 2;\n",
     false},
};

std::string Indented(const std::string &text)
{
    std::string indented;
    for(size_t n_at = 0, n_end; (n_end = text.find('\n', n_at)) != std::string::npos; n_at = n_end + 1)
        indented += (n_end > n_at ? "    " : "") + text.substr(n_at, n_end + 1 - n_at);
    return indented;
}

TEST(WorkedExamples, TheProgramWritesThemAndTheDocumentsQuoteThemByteForByte)
{
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFileBytes(dir.File("dots.tga"), kDotsTga));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("bar.tga"), kBarTga));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("bands.tga"), kBandsTga));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("dark_red.tga"), kDarkRedTga));
    const std::string readme = test::ReadFileText(std::string(TARNWICK_SOURCE_DIR) + "/README.md");
    const std::string manual = test::ReadFileText(std::string(TARNWICK_SOURCE_DIR) + "/doc/Tarnwick.1");
    ASSERT_FALSE(readme.empty());
    ASSERT_FALSE(manual.empty());

    for(const WorkedExample &example : kExamples) {
        const std::string label = std::string(example.p_image) + example.p_switches;
        std::vector<std::string> args{example.p_image, "out.h"};
        std::istringstream switches(example.p_switches);
        for(std::string word; switches >> word;)
            args.push_back(word);
        ASSERT_EQ(test::RunTarnwick(args, dir.path()).n_exit_status, 0) << label;
        const std::string header = test::ReadFileText(dir.File("out.h"));
        const std::string excerpt = example.p_excerpt;
        const size_t n_start = header.find(excerpt.substr(0, excerpt.find('\n') + 1));
        ASSERT_NE(n_start, std::string::npos) << label;
        EXPECT_EQ(header.substr(n_start, excerpt.size()), excerpt) << label;
        if(std::string(example.p_image) == "bar.tga") {
            EXPECT_NE(readme.find("`0x8004, 0x0000, 0x0001, 0xffff`"), std::string::npos);
            continue;
        }
        EXPECT_NE(readme.find(Indented(example.p_excerpt)), std::string::npos) << "README: " << label;
        if(example.b_in_manual) {
            EXPECT_NE(manual.find(std::string("\n.RS\n") + example.p_excerpt + ".RE\n"), std::string::npos)
                << "manual page: " << label;
        }
    }
}

} // namespace
