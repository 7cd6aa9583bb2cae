// Headers of every output format, made by the program from real pictures and
// compiled with the system compiler. The compiled program takes the decoded
// pixels from the plain 32-bit header and computes each format's items on its
// own (its own compositing, gray, RGB565, threshold, dithering and bit
// packing); every plain array must hold exactly those items, and every
// "--rle --rle-decoder" array, unpacked by its own p_DecompressRLEImage, too;
// packed headers of the three item types also share one namespace.
#include <gtest/gtest.h>

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
// program the includes and checks; returns the labels the program must print.
// The packed header of the format p_together is made once more under another
// path (another include guard) for the namespace "together", which holds one
// such header of each item type: their unpacking functions are overloads.
std::string AddPicture(const test::TempDir &dir, const std::string &image_path, const char *p_together,
                       std::string &includes, std::string &together, std::string &checks)
{
    const std::string label = ShortLabel(image_path), name = test::ArrayName(image_path);
    const std::string pixels = label + "_rgb::p_" + name;
    std::string labels;
    checks += "\t{\n\t\tunsigned n_width = " + label + "_rgb::n_" + name + "_width, n_height = " + label + "_rgb::n_" +
              name + "_height;\n";
    for(const FormatRun &format : kFormats) {
        const bool b_mono = !format.switches.empty() && format.switches[0] == "--mono";
        const std::string reference =
            "Expected(\"" + std::string(format.p_label) + "\", " + pixels + ", n_width, n_height)";
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

            const std::string array = space + "::p_" + name;
            const std::string count = b_mono ? space + "::n_" + name + "_row_bytes * n_height" : "n_width * n_height";
            checks += "\t\tstatic_assert(std::is_same<std::decay<decltype(" + array + "[0])>::type, " +
                      format.p_item_type + ">::value, \"item type\");\n";
            if(b_mono)
                checks += "\t\tn_bad += " + space + "::n_" + name + "_row_bytes != (n_width + 7) / 8;\n";
            if(b_packed)
                checks += "\t\tCheckUnpacked(\"" + space + "\", " + space + "::p_DecompressRLEImage(" + array +
                          ", int(" + count + ")), " + count + ", " + reference + ");\n";
            else
                checks += "\t\tCheck(\"" + space + "\", " + array + ", sizeof(" + array + ") / sizeof(" + array +
                          "[0]), " + reference + ");\n";
            labels += space + " ";
            if(!b_packed || std::string(format.p_label) != p_together)
                continue;
            args[1] = dir.File(space + "_together.h");
            EXPECT_EQ(test::RunTarnwick(args).n_exit_status, 0);
            together += "#include \"" + space + "_together.h\"\n";
            const std::string count_together = b_mono ? "together::n_" + name + "_row_bytes * n_height" : count;
            checks += "\t\tCheckUnpacked(\"together_" + space + "\", together::p_DecompressRLEImage(together::p_" +
                      name + ", int(" + count_together + ")), " + count_together + ", " + reference + ");\n";
            labels += "together_" + space + " ";
        }
    }
    checks += "\t}\n";
    return labels;
}

TEST(FormatCompile, EveryFormatHoldsTheItemsComputedFromTheDecodedPixels)
{
    if(!test::b_CanCompileForTarget())
        GTEST_SKIP() << "no compiler for the target that these tests can run (a Windows build under Wine)";
    test::TempDir dir;
    const struct {
        std::string path;
        const char *p_together; // the format of its header in namespace "together"
    } kPictures[] = {
        {test::Fixture("tga/pil_rgba32_top.tga"), "rgb"},      // 13 x 7, alpha from 19 to 236
        {test::Fixture("tga/im_rgba32_rle.tga"), "rgb565"},    // alpha from 0 up, run-length coded
        {test::Fixture("tga/pil_pal24_bottom.tga"), "mono"},   // colour-mapped
        {test::Fixture("tga/pil_gray_top.tga"), ""},           // gray
        {std::string(TARNWICK_SOURCE_DIR) + "/examples/sample.jpg", ""}, // 64 x 48 photo
    };
    std::string includes, together, checks, labels;
    for(const auto &picture : kPictures)
        labels += AddPicture(dir, picture.path, picture.p_together, includes, together, checks);

    const std::string source = includes + "namespace together {\n" + together + "}\n" + kReference +
                               "\nint main()\n{\n" + checks + "\treturn n_bad != 0;\n}\n";
    ASSERT_TRUE(test::WriteFileText(dir.File("main.cpp"), source));
    const test::RunResult compiled = test::CompileForTarget(
        {"-std=c++17", "-D__int32=int", "-Wall", "-Wextra", "-Werror", "-o", dir.File("check"), dir.File("main.cpp")});
    ASSERT_EQ(compiled.n_exit_status, 0) << compiled.err;
    const test::RunResult run = test::RunTarget({dir.File("check")});
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

} // namespace
