// The worked examples of the README and the manual page, made by the program:
// the 3 x 2 picture in every output format, the packed 5 x 1 bar in 16-bit
// items, and the 4 x 2 pictures of each dithering mode (README only). Each expected text was worked out by hand (see the comments);
// the program must write it, and both documents must quote it byte for byte
// (the README indents it by four blanks).
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
    const char *p_excerpt; // from the array's declaration on
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
        const size_t n_array = header.find("const unsigned ");
        ASSERT_NE(n_array, std::string::npos) << label;
        EXPECT_EQ(header.substr(n_array, std::string(example.p_excerpt).size()), example.p_excerpt) << label;
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
