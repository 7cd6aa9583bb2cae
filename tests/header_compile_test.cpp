// Generated headers in a real compiler: the packed arrays, unpacked by the
// p_DecompressRLEImage that the header carries, must equal the plain arrays.
// Each test compiles one program that includes all its headers, each inside
// a namespace of its own.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "header_text.h"
#include "test_support.h"

namespace {

using namespace tarnwick;

using test::HeaderSwitches;
using test::Pixels;

// A plain header and a packed header of the same picture, and the array name
// both were given (from the image path).
struct HeaderPair {
    std::string label;
    std::string plain_path;
    std::string packed_path;
    std::string array_name;
};

// A program that, for every pair, unpacks the packed array with the packed
// header's own function and prints "<label> <width>x<height> <mismatches>".
std::string UnpackProgram(const std::vector<HeaderPair> &pairs)
{
    std::string source = "#include <cstdio>\n";
    for(const HeaderPair &pair : pairs) {
        source += "namespace " + pair.label + "_plain {\n#include \"" + pair.plain_path + "\"\n}\n";
        source += "namespace " + pair.label + "_packed {\n#include \"" + pair.packed_path + "\"\n}\n";
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
	int n_bad = 0;
)";
    for(const HeaderPair &pair : pairs) {
        std::string plain = pair.label + "_plain::", packed = pair.label + "_packed::", name = pair.array_name;
        source += "\tn_bad += Compare(\"" + pair.label + "\", " + plain + "p_" + name + ", " + packed + "p_" + name +
                  ", " + packed + "n_" + name + "_width, " + packed + "n_" + name + "_height, " + packed +
                  "p_DecompressRLEImage);\n";
    }
    source += "\treturn n_bad != 0;\n}\n";
    return source;
}

// Compiles the program in the folder and runs it.
test::RunResult CompileAndRun(const test::TempDir &dir, const std::string &source)
{
    test::RunResult failed;
    if(!test::WriteFileText(dir.File("main.cpp"), source))
        return failed;
    std::string program = dir.File("unpack");
    test::RunResult compiled = test::CompileForTarget(
        {"-std=c++17", "-D__int32=int", "-Wall", "-Wextra", "-I", dir.path(), "-o", program, dir.File("main.cpp")});
    if(compiled.n_exit_status != 0) {
        failed.err = compiled.err;
        return failed;
    }
    return test::RunTarget({program});
}

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
        for(int x = 0; x < n_width; ++x) {
            switch(y % 6) {
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

TEST(HeaderCompile, PackedArraysUnpackToThePlainArrays)
{
    if(!test::b_CanCompileForTarget())
        GTEST_SKIP() << "no compiler for the target that these tests can run (a Windows build under Wine)";
    test::TempDir dir;
    const int n_width = 131, n_height = 29;
    std::vector<HeaderPair> pairs;
    for(bool b_gray : {false, true}) {
        Pixels picture = MakePicture(n_width, n_height, b_gray, b_gray ? 2 : 1);
        std::string label = b_gray ? "gray" : "colour";
        HeaderSwitches switches;
        switches.b_gray = b_gray;
        switches.b_rle_decoder = true; // also after the plain array: the text must compile there too
        ASSERT_TRUE(test::WriteHeader(picture, n_width, n_height, switches, "picture.tga", dir.File(label + "_plain.h")));
        switches.b_rle = true;
        ASSERT_TRUE(test::WriteHeader(picture, n_width, n_height, switches, "picture.tga", dir.File(label + "_packed.h")));
        pairs.push_back({label, label + "_plain.h", label + "_packed.h", "picture_tga"});
    }
    test::RunResult run = CompileAndRun(dir, UnpackProgram(pairs));
    EXPECT_EQ(run.n_exit_status, 0) << run.err;
    EXPECT_EQ(run.out, "colour 131x29 0\ngray 131x29 0\n");
}

TEST(HeaderCompile, TarnwickOutputForRealTgaFilesUnpacksToThePlainArrays)
{
    if(!test::b_CanCompileForTarget())
        GTEST_SKIP() << "no compiler for the target that these tests can run (a Windows build under Wine)";
    test::TempDir dir;
    const char *const kFixtures[] = {"pil_pal24_top", "im_rgba32_rle", "pil_rgb24_bottom"};
    std::vector<HeaderPair> pairs;
    std::string expected;
    for(const char *p_fixture : kFixtures) {
        std::string image_path = test::Fixture(std::string("tga/") + p_fixture + ".tga");
        for(bool b_gray : {false, true}) {
            std::string label = std::string(p_fixture) + (b_gray ? "_gray" : "_colour");
            std::vector<std::string> plain_args{image_path, dir.File(label + "_plain.h")};
            std::vector<std::string> packed_args{image_path, dir.File(label + "_packed.h"), "--rle", "--rle-decoder"};
            if(b_gray) {
                plain_args.push_back("--gray");
                packed_args.insert(packed_args.begin() + 2, "--gray");
            }
            test::RunResult plain = test::RunTarnwick(plain_args);
            test::RunResult packed = test::RunTarnwick(packed_args);
            ASSERT_EQ(plain.n_exit_status, 0) << plain.err;
            ASSERT_EQ(packed.n_exit_status, 0) << packed.err;
            EXPECT_EQ(plain.out + plain.err + packed.out + packed.err, "");
            pairs.push_back({label, label + "_plain.h", label + "_packed.h", test::ArrayName(image_path)});
            expected += label + " 13x7 0\n";
        }
    }
    test::RunResult run = CompileAndRun(dir, UnpackProgram(pairs));
    EXPECT_EQ(run.n_exit_status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
}

} // namespace
