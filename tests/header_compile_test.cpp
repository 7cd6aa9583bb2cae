// Generated headers in a real compiler: the packed arrays, unpacked by the
// p_DecompressRLEImage that the header carries, must equal the plain arrays.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "header_text.h"
#include "test_support.h"

namespace {

using test::HeaderSwitches;
using test::Pixels;

// A picture with what packing has to get right: rows of one colour joining
// into runs across rows, runs just below and above 127, pairs, alternations
// and noise.
Pixels MakePicture(int n_width, int n_height, bool b_gray, uint32_t n_seed)
{
    std::mt19937 random(n_seed);
    auto colour = [&](uint32_t n_small) -> uint32_t {
        return b_gray ? n_small & 0xff : 0xff000000u | (n_small * 0x010305u & 0xffffff);
    };
    Pixels pixels;
    for(int y = 0; y < n_height; ++y) {
        int n_kind = y % 6;
        for(int x = 0; x < n_width; ++x) {
            switch(n_kind) {
            case 0:
            case 1: pixels.push_back(colour(y < n_height / 2 ? 7 : 8)); break;
            case 2: pixels.push_back(colour(x / 3 % 2 ? 40 : 41)); break;
            case 3: pixels.push_back(colour(x % 2 ? 200 : 201)); break;
            case 4: pixels.push_back(colour(random() % 256)); break;
            default: pixels.push_back(colour(x / 2 + y)); break;
            }
        }
    }
    return pixels;
}

struct GeneratedHeader {
    std::string name;      // namespace in the test program, also the image path
    bool b_gray;
    bool b_rle;
};

TEST(HeaderCompile, PackedArraysUnpackToThePlainArraysInARealCompiler)
{
    test::TempDir dir;
    const int n_width = 131, n_height = 29;
    Pixels colour = MakePicture(n_width, n_height, false, 1);
    Pixels gray = MakePicture(n_width, n_height, true, 2);

    const GeneratedHeader kHeaders[] = {
        {"colour_plain", false, false},
        {"colour_packed", false, true},
        {"gray_plain", true, false},
        {"gray_packed", true, true},
    };
    std::string source = "#include <cstdio>\n";
    for(const GeneratedHeader &header : kHeaders) {
        HeaderSwitches switches;
        switches.b_gray = header.b_gray;
        switches.b_rle = header.b_rle;
        switches.b_rle_decoder = true; // also after the plain arrays: the text must compile there too
        ASSERT_TRUE(test::WriteHeader(header.b_gray ? gray : colour, n_width, n_height, switches, header.name + ".tga",
                                      dir.File(header.name + ".h")));
        source += "namespace " + header.name + " {\n#include \"" + header.name + ".h\"\n}\n";
    }
    source += R"(
template <class Item>
int Compare(const char *p_label, const Item *p_plain, const Item *p_packed, unsigned n_width, unsigned n_height,
	Item *(*p_unpack)(const Item *, int))
{
	Item *p_unpacked = p_unpack(p_packed, int(n_width * n_height));
	int n_mismatches = 0;
	for(unsigned i = 0; i < n_width * n_height; ++i)
		n_mismatches += p_unpacked[i] != p_plain[i];
	delete[] p_unpacked;
	std::printf("%s %ux%u %d\n", p_label, n_width, n_height, n_mismatches);
	return n_mismatches;
}

int main()
{
	int n_bad = Compare("colour", colour_plain::p_colour_plain_tga, colour_packed::p_colour_packed_tga,
		colour_packed::n_colour_packed_tga_width, colour_packed::n_colour_packed_tga_height,
		colour_packed::p_DecompressRLEImage);
	n_bad += Compare("gray", gray_plain::p_gray_plain_tga, gray_packed::p_gray_packed_tga,
		gray_packed::n_gray_packed_tga_width, gray_packed::n_gray_packed_tga_height,
		gray_packed::p_DecompressRLEImage);
	std::printf("%u %u\n", colour_plain::p_colour_plain_tga[0], unsigned(gray_plain::p_gray_plain_tga[0]));
	return n_bad != 0;
}
)";
    ASSERT_TRUE(test::WriteFileText(dir.File("main.cpp"), source));

    std::string program = dir.File("unpack");
    test::RunResult compiled = test::Run({TARNWICK_CXX, "-std=c++17", "-D__int32=int", "-Wall", "-Wextra", "-o", program,
                                          dir.File("main.cpp")});
    ASSERT_EQ(compiled.n_exit_status, 0) << compiled.err;
    test::RunResult run = test::Run({program});
    EXPECT_EQ(run.n_exit_status, 0);
    EXPECT_EQ(run.out, "colour 131x29 0\ngray 131x29 0\n" + std::to_string(colour[0]) + " " + std::to_string(gray[0]) +
                           "\n");
}

} // namespace
