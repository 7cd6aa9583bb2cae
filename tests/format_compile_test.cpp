// Headers of every output format, made by the program from real pictures and
// compiled with the system compiler. The compiled program takes the decoded
// pixels from the plain 32-bit header and computes each format's items on its
// own (its own compositing, gray, RGB565, threshold, dithering and bit
// packing); every plain array must hold exactly those items, and every
// "--rle --rle-decoder" array, unpacked by its own p_DecompressRLEImage, too.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "header_text.h"
#include "test_support.h"

namespace {

struct FormatRun {
    const char *p_label; // also the name of the reference computation
    std::vector<std::string> switches;
    const char *p_item_type;
};
const FormatRun kFormats[] = {
    {"rgb", {}, "unsigned int"},
    {"gray", {"--gray"}, "unsigned char"},
    {"rgb565", {"--rgb565"}, "unsigned short"},
    {"swapped", {"--rgb565-swapped"}, "unsigned short"},
    {"mono", {"--mono"}, "unsigned char"},
    {"dither", {"--mono", "--dither"}, "unsigned char"},
};

// The reference computations, in the compiled program.
const char kReference[] = R"(#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <vector>

typedef std::vector<unsigned> Items;

static unsigned Channel(unsigned n_pixel, int n_shift) { return n_pixel >> n_shift & 0xff; }

static unsigned OverBlack(unsigned n_pixel)
{
	double f_alpha = Channel(n_pixel, 24) / 255.0;
	unsigned n_result = 0;
	for(int n_shift = 0; n_shift < 24; n_shift += 8)
		n_result |= unsigned(std::lround(Channel(n_pixel, n_shift) * f_alpha)) << n_shift;
	return n_result;
}

static unsigned Gray(unsigned n_pixel)
{
	double f_gray = Channel(n_pixel, 16) * double(0.299f) + Channel(n_pixel, 8) * double(0.587f) +
		Channel(n_pixel, 0) * double(0.114f);
	return f_gray >= 255 ? 255 : unsigned(f_gray);
}

static unsigned Rgb565(unsigned n_pixel)
{
	return (Channel(n_pixel, 16) >> 3) << 11 | (Channel(n_pixel, 8) >> 2) << 5 | Channel(n_pixel, 0) >> 3;
}

// One bit per pixel, then rows of (width + 7) / 8 bytes, leftmost pixel in 0x80.
static Items PackRows(const std::vector<int> &bits, unsigned n_width, unsigned n_height)
{
	unsigned n_row_bytes = (n_width + 7) / 8;
	Items bytes(n_row_bytes * n_height, 0);
	for(unsigned y = 0; y < n_height; ++y)
		for(unsigned x = 0; x < n_width; ++x)
			if(bits[y * n_width + x])
				bytes[y * n_row_bytes + x / 8] |= 0x80u >> (x % 8);
	return bytes;
}

static Items Expected(const char *p_format, const unsigned *p_pixels, unsigned n_width, unsigned n_height)
{
	unsigned n_count = n_width * n_height;
	Items items;
	std::vector<int> work, bits(n_count);
	for(unsigned i = 0; i < n_count; ++i) {
		unsigned n_pixel = p_pixels[i];
		if(!std::strcmp(p_format, "rgb"))
			items.push_back(n_pixel);
		else if(!std::strcmp(p_format, "gray"))
			items.push_back(Gray(n_pixel));
		else if(!std::strcmp(p_format, "rgb565"))
			items.push_back(Rgb565(OverBlack(n_pixel)));
		else if(!std::strcmp(p_format, "swapped"))
			items.push_back((Rgb565(OverBlack(n_pixel)) & 0xff) << 8 | Rgb565(OverBlack(n_pixel)) >> 8);
		else
			work.push_back(int(Gray(OverBlack(n_pixel))));
	}
	if(!std::strcmp(p_format, "mono")) {
		for(unsigned i = 0; i < n_count; ++i)
			bits[i] = work[i] >= 128;
		return PackRows(bits, n_width, n_height);
	}
	if(!std::strcmp(p_format, "dither")) {
		int w = int(n_width), h = int(n_height);
		for(int y = 0; y < h; ++y) {
			for(int x = 0; x < w; ++x) {
				int n_value = work[y * w + x];
				bits[y * w + x] = n_value >= 128;
				int e = n_value - (n_value >= 128 ? 255 : 0);
				if(x + 1 < w) work[y * w + x + 1] += e * 7 / 16;
				if(y + 1 < h && x > 0) work[(y + 1) * w + x - 1] += e * 3 / 16;
				if(y + 1 < h) work[(y + 1) * w + x] += e * 5 / 16;
				if(y + 1 < h && x + 1 < w) work[(y + 1) * w + x + 1] += e * 1 / 16;
			}
		}
		return PackRows(bits, n_width, n_height);
	}
	return items;
}

static int n_bad = 0;

template <class Item>
static void Check(const char *p_label, const Item *p_items, unsigned n_count, const Items &expected)
{
	int n_mismatches = n_count == expected.size() ? 0 : 1000000;
	for(unsigned i = 0; i < n_count && i < expected.size(); ++i)
		n_mismatches += p_items[i] != expected[i];
	std::printf("%s %u %d\n", p_label, n_count, n_mismatches);
	n_bad += n_mismatches;
}

template <class Item>
static void CheckUnpacked(const char *p_label, Item *p_unpacked, unsigned n_count, const Items &expected)
{
	Check(p_label, p_unpacked, n_count, expected);
	delete[] p_unpacked;
}
)";

std::string ShortLabel(const std::string &fixture)
{
    std::string label = fixture.substr(fixture.rfind('/') + 1);
    for(char &c : label)
        if(c == '.')
            c = '_';
    return label;
}

// Converts the picture in every format, plain and packed, and adds to the
// program the includes and checks; returns the lines the program must print.
std::string AddPicture(const test::TempDir &dir, const std::string &image_path, std::string &includes,
                       std::string &checks)
{
    const std::string label = ShortLabel(image_path);
    const std::string name = test::ArrayName(image_path);
    const std::string pixels = label + "_rgb::p_" + name, width = label + "_rgb::n_" + name + "_width",
                      height = label + "_rgb::n_" + name + "_height";
    std::string expected;
    checks += "\t{\n\t\tunsigned n_width = " + width + ", n_height = " + height + ";\n";
    for(const FormatRun &format : kFormats) {
        for(bool b_packed : {false, true}) {
            const std::string space = label + "_" + format.p_label + (b_packed ? "_rle" : "");
            std::vector<std::string> args{image_path, dir.File(space + ".h")};
            args.insert(args.end(), format.switches.begin(), format.switches.end());
            if(b_packed)
                args.insert(args.end(), {"--rle", "--rle-decoder"});
            const test::RunResult run = test::RunTarnwick(args);
            EXPECT_EQ(run.n_exit_status, 0) << run.err;
            EXPECT_EQ(run.out + run.err, "");
            includes += "namespace " + space + " {\n#include \"" + space + ".h\"\n}\n";

            const bool b_mono = !format.switches.empty() && format.switches[0] == "--mono";
            const std::string array = space + "::p_" + name;
            const std::string count =
                b_mono ? space + "::n_" + name + "_row_bytes * n_height" : std::string("n_width * n_height");
            const std::string reference = "Expected(\"" + std::string(format.p_label) + "\", " + pixels +
                                          ", n_width, n_height)";
            checks += "\t\tstatic_assert(std::is_same<std::decay<decltype(" + array + "[0])>::type, " +
                      format.p_item_type + ">::value, \"item type\");\n";
            if(b_mono)
                checks += "\t\tif(" + space + "::n_" + name + "_row_bytes != (n_width + 7) / 8) n_bad += 1;\n";
            if(b_packed)
                checks += "\t\tCheckUnpacked(\"" + space + "\", " + space + "::p_DecompressRLEImage(" + array +
                          ", int(" + count + ")), " + count + ", " + reference + ");\n";
            else
                checks += "\t\tCheck(\"" + space + "\", " + array + ", sizeof(" + array + ") / sizeof(" + array +
                          "[0]), " + reference + ");\n";
            expected += space + " ";
        }
    }
    checks += "\t}\n";
    return expected;
}

TEST(FormatCompile, EveryFormatHoldsTheItemsComputedFromTheDecodedPixels)
{
    test::TempDir dir;
    const std::string kPictures[] = {
        test::Fixture("tga/pil_rgba32_top.tga"),    // 13 x 7, alpha from 19 to 236
        test::Fixture("tga/im_rgba32_rle.tga"),     // alpha from 0 up, run-length coded
        test::Fixture("tga/pil_pal24_bottom.tga"),  // colour-mapped
        test::Fixture("tga/pil_gray_top.tga"),      // gray
        std::string(TARNWICK_SOURCE_DIR) + "/examples/sample.jpg", // 64 x 48 photo
    };
    std::string includes, checks, labels;
    for(const std::string &picture : kPictures)
        labels += AddPicture(dir, picture, includes, checks);

    const std::string source =
        includes + kReference + "\nint main()\n{\n" + checks + "\treturn n_bad != 0;\n}\n";
    ASSERT_TRUE(test::WriteFileText(dir.File("main.cpp"), source));
    const test::RunResult compiled = test::Run({TARNWICK_CXX, "-std=c++17", "-D__int32=int", "-Wall", "-Wextra",
                                                "-Werror", "-o", dir.File("check"), dir.File("main.cpp")});
    ASSERT_EQ(compiled.n_exit_status, 0) << compiled.err;
    const test::RunResult run = test::Run({dir.File("check")});
    EXPECT_EQ(run.n_exit_status, 0) << run.out;

    // Every array was checked, each with no mismatch.
    std::string checked;
    for(size_t n_at = 0, n_end; (n_end = run.out.find('\n', n_at)) != std::string::npos; n_at = n_end + 1) {
        const std::string line = run.out.substr(n_at, n_end - n_at);
        EXPECT_EQ(line.substr(line.rfind(' ')), " 0") << line;
        checked += line.substr(0, line.find(' ') + 1);
    }
    EXPECT_EQ(checked, labels);
}

// The unpacking functions of 32-bit, 16-bit and 8-bit headers are overloads:
// headers of the three kinds live in one namespace and one program.
TEST(FormatCompile, UnpackingFunctionsOfTheThreeItemTypesAreOverloads)
{
    test::TempDir dir;
    const test::Bytes picture = test::ReadFileBytes(test::Fixture("tga/pil_rgba32_top.tga"));
    const char *const kNames[] = {"rgb", "rgb565", "mono"};
    std::string source = "#include <cstdio>\nnamespace together {\n";
    std::vector<uint32_t> first_items;
    for(const char *p_name : kNames) {
        const std::string image = dir.File(std::string(p_name) + ".tga");
        ASSERT_TRUE(test::WriteFileBytes(image, picture));
        const std::vector<std::string> plain{image, dir.File("plain.h"), std::string("--") + p_name};
        std::vector<std::string> packed{image, dir.File(std::string(p_name) + ".h"), "--rle", "--rle-decoder"};
        packed.push_back(plain.back());
        test::Pixels items;
        ASSERT_EQ(test::RunTarnwick(plain).n_exit_status, 0);
        ASSERT_EQ(test::RunTarnwick(packed).n_exit_status, 0);
        ASSERT_TRUE(test::ParseArrayItems(test::ReadFileText(dir.File("plain.h")), items));
        first_items.push_back(items.at(0));
        source += "#include \"" + std::string(p_name) + ".h\"\n";
    }
    const std::string colour = test::ArrayName(dir.File("rgb.tga")), rgb565 = test::ArrayName(dir.File("rgb565.tga")),
                      mono = test::ArrayName(dir.File("mono.tga"));
    source += "}\nusing namespace together;\nint main()\n{\n"
              "\tunsigned int *p_colour = p_DecompressRLEImage(p_" + colour + ", 13 * 7);\n"
              "\tunsigned short *p_rgb565 = p_DecompressRLEImage(p_" + rgb565 + ", 13 * 7);\n"
              "\tunsigned char *p_mono = p_DecompressRLEImage(p_" + mono + ", n_" + mono + "_row_bytes * 7);\n"
              "\tstd::printf(\"%08x %04x %02x\\n\", p_colour[0], p_rgb565[0], p_mono[0]);\n"
              "\tdelete[] p_colour;\n\tdelete[] p_rgb565;\n\tdelete[] p_mono;\n}\n";
    ASSERT_TRUE(test::WriteFileText(dir.File("main.cpp"), source));
    const test::RunResult compiled = test::Run({TARNWICK_CXX, "-std=c++17", "-D__int32=int", "-Wall", "-Wextra",
                                                "-Werror", "-o", dir.File("check"), dir.File("main.cpp")});
    ASSERT_EQ(compiled.n_exit_status, 0) << compiled.err;
    const test::RunResult run = test::Run({dir.File("check")});
    EXPECT_EQ(run.n_exit_status, 0);
    char a_expected[64];
    std::snprintf(a_expected, sizeof(a_expected), "%08x %04x %02x\n", first_items[0], first_items[1], first_items[2]);
    EXPECT_EQ(run.out, a_expected);
}

} // namespace
