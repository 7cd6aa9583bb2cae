// Headers as a toolchain takes them: one table over the output formats and
// layouts, each header made with --stdint and --static (and a name of its
// own, --name), included from two C files and two C++ files that are linked
// into one program, compiled by the system's C and C++ compilers with -Wall
// -Wextra -Werror and no definitions on the command line. Every item of
// every array is read back in each of the four files and compared with the
// items this test computes from the picture's reference pixels (the .rgba
// file beside each fixture, decoded by ImageMagick, not by Tarnwick);
// packed arrays are unpacked by an unpacker of the test's own in every file,
// and in the C++ files also by the p_DecompressRLEImage of a header made
// with --rle-decoder. Without --static the same inclusion does not link.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "png_loader.h"
#include "reference_items.h"
#include "test_support.h"

namespace {

using namespace reference;

// The constants a layout declares after the height, with their values.
using Constants = std::vector<std::pair<std::string, uint64_t>>;

// One row of the table: a format or layout, the switches that ask for it,
// the bytes of one item, its items, and its constants; with --indexed a
// palette array too.
struct Format {
    const char *p_label;
    std::vector<std::string> switches;
    int n_item_bytes;
    std::function<Items(const Picture &)> items;
    std::function<Constants(const Picture &)> constants;
    bool b_palette; // p_<name>_palette and n_<name>_palette_size
};

Constants NoConstants(const Picture &)
{
    return {};
}

Constants RowBytes(const Picture &p)
{
    return {{"row_bytes", (p.n_width + 7) / 8}};
}

Items IndexedItems(const Picture &p)
{
    const Items palette = PaletteOf(p);
    return PackedIndices(p, palette, IndexBits(palette.size()));
}

std::vector<Format> Formats()
{
    return {
        {"rgb", {}, 4, [](const Picture &p) { return p.pixels; }, NoConstants, false},
        {"gray", {"--gray"}, 1, [](const Picture &p) { return EachPixel(p, Gray); }, NoConstants, false},
        {"rgb565", {"--rgb565"}, 2, [](const Picture &p) {
             return EachPixel(p, [](uint32_t n_pixel) { return Rgb565(OverBlack(n_pixel)); });
         }, NoConstants, false},
        {"swapped", {"--rgb565-swapped"}, 2, [](const Picture &p) {
             return EachPixel(p, [](uint32_t n_pixel) {
                 const uint32_t n_value = Rgb565(OverBlack(n_pixel));
                 return (n_value & 0xff) << 8 | n_value >> 8;
             });
         }, NoConstants, false},
        {"mono", {"--mono"}, 1, [](const Picture &p) {
             return RowsMsbFirst(MonoBits(p, false), p.n_width, p.n_height);
         }, RowBytes, false},
        {"dither", {"--mono", "--dither"}, 1, [](const Picture &p) {
             return RowsMsbFirst(MonoBits(p, true), p.n_width, p.n_height);
         }, RowBytes, false},
        {"lsb", {"--mono", "--mono-lsb"}, 1, [](const Picture &p) {
             return RowsLsbFirst(MonoBits(p, false), p.n_width, p.n_height);
         }, RowBytes, false},
        {"pages", {"--mono", "--dither", "--mono-pages"}, 1, [](const Picture &p) {
             return Pages(MonoBits(p, true), p.n_width, p.n_height);
         }, [](const Picture &p) { return Constants{{"pages", (p.n_height + 7) / 8}}; }, false},
        {"rgb888", {"--rgb888"}, 1, [](const Picture &p) { return Bytes(EachPixel(p, OverBlack), 3, false); },
         NoConstants, false},
        {"bgr888", {"--bgr888"}, 1, [](const Picture &p) { return Bytes(EachPixel(p, OverBlack), 3, true); },
         NoConstants, false},
        {"alpha8", {"--alpha8"}, 1, [](const Picture &p) {
             return EachPixel(p, [](uint32_t n_pixel) { return n_pixel >> 24; });
         }, NoConstants, false},
        {"indexed", {"--indexed"}, 1, IndexedItems, [](const Picture &p) {
             const int n_bits = IndexBits(PaletteOf(p).size());
             return Constants{{"bits", n_bits}, {"row_bytes", (p.n_width * n_bits + 7) / 8}};
         }, true},
    };
}

// --- The program ------------------------------------------------------------

// Shared by the four files: the expected items (defined once, in
// expected.c) and the comparisons (static inline: a file that does not use
// one is not warned).
const char kChecks[] = R"(#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include "expected.h"
#ifdef __cplusplus
#define CHECK_ITEM_SIZE(array, n_bytes) static_assert(sizeof(array[0]) == n_bytes, #array)
#else
#define CHECK_ITEM_SIZE(array, n_bytes) _Static_assert(sizeof(array[0]) == n_bytes, #array)
#endif

static inline uint32_t ItemAt(const void *p_items, unsigned long i, unsigned n_item_bytes)
{
	if(n_item_bytes == 1)
		return ((const uint8_t *)p_items)[i];
	if(n_item_bytes == 2)
		return ((const uint16_t *)p_items)[i];
	return ((const uint32_t *)p_items)[i];
}

static inline int Report(const char *p_file, const char *p_label, unsigned long n_count, const uint32_t *p_items,
	const uint32_t *p_expected, unsigned long n_expected)
{
	unsigned long i, n_bad = n_count == n_expected ? 0 : 1000000;
	for(i = 0; i < n_count && i < n_expected; ++i)
		n_bad += p_items[i] != p_expected[i];
	printf("%s %s %lu %lu\n", p_file, p_label, n_count, n_bad);
	return n_bad != 0;
}

static inline int CompareItems(const char *p_file, const char *p_label, const void *p_items, unsigned long n_items,
	unsigned n_item_bytes, const uint32_t *p_expected, unsigned long n_expected)
{
	uint32_t *p_values = (uint32_t *)malloc((n_items + 1) * sizeof(uint32_t));
	unsigned long i;
	int n_bad;
	for(i = 0; i < n_items; ++i)
		p_values[i] = ItemAt(p_items, i, n_item_bytes);
	n_bad = Report(p_file, p_label, n_items, p_values, p_expected, n_expected);
	free(p_values);
	return n_bad;
}

/* The packets unpacked by the test's own reading of the format: a header
   item whose top bit marks a run of one value, else a literal of values;
   the other bits count. */
static inline int CompareUnpacked(const char *p_file, const char *p_label, const void *p_items, unsigned long n_items,
	unsigned n_item_bytes, const uint32_t *p_expected, unsigned long n_expected)
{
	const uint32_t n_flag = n_item_bytes == 4 ? 0x80000000u : n_item_bytes == 2 ? 0x8000u : 0x80u;
	uint32_t *p_values = (uint32_t *)malloc((n_expected + 1) * sizeof(uint32_t));
	unsigned long n_read = 0, n_made = 0, k;
	int n_bad;
	while(n_made < n_expected && n_read < n_items) {
		uint32_t n_header = ItemAt(p_items, n_read++, n_item_bytes);
		unsigned long n_count = n_header & (n_flag - 1);
		for(k = 0; k < n_count && n_made < n_expected && n_read < n_items; ++k)
			p_values[n_made++] = ItemAt(p_items, (n_header & n_flag) ? n_read : n_read + k, n_item_bytes);
		n_read += (n_header & n_flag) ? 1 : n_count;
	}
	n_bad = Report(p_file, p_label, n_made, p_values, p_expected, n_expected);
	if(n_read != n_items)
		n_bad = 1;
	free(p_values);
	return n_bad;
}
)";

// One header of the program: what it was made from and its name.
struct HeaderRow {
    std::string name;       // --name, and the label of its lines
    const Picture *p_picture;
    const Format *p_format;
    bool b_packed;
    Items expected;
};

std::string ItemList(const Items &items)
{
    std::string text;
    for(size_t i = 0; i < items.size(); ++i)
        text += (i % 12 ? " " : "\n\t") + std::to_string(items[i]) + "u,";
    return text;
}

// The source of one of the four files: it includes every header and checks
// every array, returning the number of arrays that differ.
std::string FileSource(const std::string &file, bool b_cpp, const std::vector<HeaderRow> &rows)
{
    std::string source = "#include \"checks.h\"\n";
    for(const HeaderRow &row : rows)
        source += "#include \"" + row.name + ".h\"\n";
    if(b_cpp) {
        source += "#include <type_traits>\n";
        for(const HeaderRow &row : rows)
            if(row.b_packed)
                source += "namespace " + row.name + "_ns {\n#include \"" + row.name + "_dec.h\"\n}\n";
    }
    std::string function = file;
    for(char &c : function)
        if(c == '.')
            c = '_';
    source += std::string(b_cpp ? "extern \"C\" " : "") + "int check_" + function + "(void)\n{\n\tint n_bad = 0;\n";
    for(const HeaderRow &row : rows) {
        const std::string array = "p_" + row.name, n = std::to_string(row.p_format->n_item_bytes);
        const std::string expected = "a_expected_" + row.name + ", n_expected_" + row.name;
        source += "\t{\n\t\tCHECK_ITEM_SIZE(" + array + ", " + n + ");\n";
        source += std::string("\t\tn_bad += ") + (row.b_packed ? "CompareUnpacked" : "CompareItems") + "(\"" + file +
                  "\", \"" + row.name + "\", " + array + ", sizeof(" + array + ") / sizeof(" + array + "[0]), " + n +
                  ", " + expected + ");\n";
        source += "\t\tn_bad += n_" + row.name + "_width != " + std::to_string(row.p_picture->n_width) + " || n_" +
                  row.name + "_height != " + std::to_string(row.p_picture->n_height) + ";\n";
        for(const auto &constant : row.p_format->constants(*row.p_picture))
            source += "\t\tn_bad += n_" + row.name + "_" + constant.first + " != " + std::to_string(constant.second) +
                      ";\n";
        if(row.p_format->b_palette) {
            const std::string palette = array + "_palette";
            source += "\t\tCHECK_ITEM_SIZE(" + palette + ", 4);\n\t\tn_bad += CompareItems(\"" + file + "\", \"" +
                      row.name + "_palette\", " + palette + ", n_" + row.name + "_palette_size, 4, a_expected_" +
                      row.name + "_palette, n_expected_" + row.name + "_palette);\n";
        }
        if(b_cpp) {
            const std::string type = n == "1" ? "uint8_t" : n == "2" ? "uint16_t" : "uint32_t";
            source += "\t\tstatic_assert(std::is_same<std::decay<decltype(" + array + "[0])>::type, " + type +
                      ">::value, \"" + row.name + "\");\n";
        }
        if(b_cpp && row.b_packed) {
            const std::string space = row.name + "_ns::";
            source += "\t\tauto *p_unpacked = " + space + "p_DecompressRLEImage(" + space + "p_" + row.name +
                      "_dec, int(n_expected_" + row.name + "));\n";
            source += "\t\tn_bad += CompareItems(\"" + file + "\", \"" + row.name + "_dec\", p_unpacked, n_expected_" +
                      row.name + ", " + n + ", " + expected + ");\n\t\tdelete[] p_unpacked;\n";
        }
        source += "\t}\n";
    }
    return source + "\treturn n_bad;\n}\n";
}

// The lines the program must print: one per array and file, none differing.
std::string ExpectedLines(const std::vector<HeaderRow> &rows)
{
    std::string lines;
    for(const char *p_file : {"a.c", "b.c", "a.cpp", "b.cpp"}) {
        for(const HeaderRow &row : rows) {
            lines += std::string(p_file) + " " + row.name + " " + std::to_string(row.expected.size()) + " 0\n";
            if(row.p_format->b_palette)
                lines += std::string(p_file) + " " + row.name + "_palette " +
                         std::to_string(PaletteOf(*row.p_picture).size()) + " 0\n";
            if(row.b_packed && std::string(p_file).find("cpp") != std::string::npos)
                lines += std::string(p_file) + " " + row.name + "_dec " + std::to_string(row.expected.size()) + " 0\n";
        }
    }
    return lines;
}

// Compiles one file as C (b_cpp false) or C++ with the project's compiler
// for the target: C through its driver's C mode (-x c), the same front end
// as the C compiler's.
test::RunResult Compile(bool b_cpp, const test::TempDir &dir, const std::string &source, const std::string &object)
{
    return test::CompileForTarget({"-x", b_cpp ? "c++" : "c", b_cpp ? "-std=c++17" : "-std=c11", "-Wall", "-Wextra",
                                   "-Werror", "-I", dir.path(), "-c", dir.File(source), "-o", dir.File(object)});
}

// Makes a header of the picture with the switches; false when the program
// fails.
bool MakeHeader(const Picture &picture, const std::string &header, std::vector<std::string> switches)
{
    std::vector<std::string> args{picture.path, header};
    args.insert(args.end(), switches.begin(), switches.end());
    const test::RunResult run = test::RunTarnwick(args);
    EXPECT_EQ(run.n_exit_status, 0) << header << ": " << run.err;
    EXPECT_EQ(run.out + run.err, "") << header;
    return run.n_exit_status == 0;
}

TEST(ToolchainCompile, EveryFormatLinksFromTwoCAndTwoCppFilesAndHoldsItsItems)
{
    if(!test::b_CanCompileForTarget())
        GTEST_SKIP() << "no compiler for the target";
    test::TempDir dir;
    std::vector<Picture> pictures = {
        LoadPicture("alpha", "tga/pil_rgba32_top.tga", 13, 7),      // alpha from 19 to 236
        LoadPicture("rle", "tga/im_rgba32_rle.tga", 13, 7),        // run-length coded, alpha from 0
        LoadPicture("palette", "tga/pil_pal24_bottom.tga", 13, 7), // colour-mapped, bottom row first
    };
    if(tarnwick::b_IsPngSupportBuiltIn()) {
        pictures.push_back(LoadPicture("png", "png/im_rgba16_interlaced.png", 13, 7));
        pictures.push_back(LoadPicture("pal1", "png/pil_pal1.png", 13, 7)); // 2 colours: 1-bit indices
        pictures.push_back(LoadPicture("pal4", "png/pil_pal4.png", 13, 7)); // 4-bit indices
    }
    const std::vector<Format> formats = Formats();

    std::vector<HeaderRow> rows;
    for(const Picture &picture : pictures) {
        ASSERT_EQ(picture.pixels.size(), size_t(picture.n_width * picture.n_height)) << picture.path;
        for(const Format &format : formats) {
            for(bool b_packed : {false, true}) {
                HeaderRow row{picture.label + "_" + format.p_label + (b_packed ? "_rle" : ""), &picture, &format,
                              b_packed, format.items(picture)};
                std::vector<std::string> switches = format.switches;
                switches.insert(switches.end(), {"--stdint", "--static", "--name=" + row.name});
                if(b_packed)
                    switches.push_back("--rle");
                ASSERT_TRUE(MakeHeader(picture, dir.File(row.name + ".h"), switches));
                if(b_packed) {
                    switches.back() = "--name=" + row.name + "_dec";
                    switches.insert(switches.end(), {"--rle", "--rle-decoder"});
                    ASSERT_TRUE(MakeHeader(picture, dir.File(row.name + "_dec.h"), switches));
                }
                rows.push_back(row);
            }
        }
    }

    std::string expected = "#include <stdint.h>\n", declarations;
    auto add_expected = [&](const std::string &name, const Items &items) {
        expected += "const uint32_t a_expected_" + name + "[] = {" + ItemList(items) + "\n};\n" +
                    "const unsigned long n_expected_" + name + " = " + std::to_string(items.size()) + ";\n";
        declarations +=
            "extern const uint32_t a_expected_" + name + "[];\nextern const unsigned long n_expected_" + name + ";\n";
    };
    for(const HeaderRow &row : rows) {
        add_expected(row.name, row.expected);
        if(row.p_format->b_palette)
            add_expected(row.name + "_palette", PaletteOf(*row.p_picture));
    }
    ASSERT_TRUE(test::WriteFileText(dir.File("expected.c"), expected));
    ASSERT_TRUE(test::WriteFileText(dir.File("expected.h"), "#include <stdint.h>\n#ifdef __cplusplus\nextern \"C\" {\n"
                                                            "#endif\n" + declarations +
                                                            "#ifdef __cplusplus\n}\n#endif\n"));
    ASSERT_TRUE(test::WriteFileText(dir.File("checks.h"), kChecks));
    std::string main_source = "extern \"C\" {\n";
    for(const char *p_file : {"a_c", "b_c", "a_cpp", "b_cpp"}) {
        const std::string name = p_file, source = name.substr(0, name.find('_')) + "." + name.substr(name.find('_') + 1);
        ASSERT_TRUE(test::WriteFileText(dir.File(source), FileSource(source, name.find("cpp") != std::string::npos, rows)));
        main_source += "int check_" + name + "(void);\n";
    }
    main_source += "}\nint main()\n{\n\treturn check_a_c() + check_b_c() + check_a_cpp() + check_b_cpp() != 0;\n}\n";
    ASSERT_TRUE(test::WriteFileText(dir.File("main.cpp"), main_source));

    std::vector<std::string> link{"-o", dir.File("check")};
    for(const char *p_object : {"expected", "a_c", "b_c"}) {
        const std::string object = p_object;
        const std::string source = object == "expected" ? "expected.c" : object.substr(0, 1) + ".c";
        const test::RunResult compiled = Compile(false, dir, source, object + ".o");
        ASSERT_EQ(compiled.n_exit_status, 0) << source << ":\n" << compiled.err;
        link.push_back(dir.File(object + ".o"));
    }
    for(const char *p_object : {"a_cpp", "b_cpp", "main"}) {
        const std::string object = p_object;
        const std::string source = object == "main" ? "main.cpp" : object.substr(0, 1) + ".cpp";
        const test::RunResult compiled = Compile(true, dir, source, object + ".o");
        ASSERT_EQ(compiled.n_exit_status, 0) << source << ":\n" << compiled.err;
        link.push_back(dir.File(object + ".o"));
    }
    const test::RunResult linked = test::CompileForTarget(link);
    ASSERT_EQ(linked.n_exit_status, 0) << linked.err;
    const test::RunResult run = test::RunTarget({dir.File("check")});
    EXPECT_EQ(run.n_exit_status, 0);
    EXPECT_EQ(run.out, ExpectedLines(rows));
}

// The same inclusion without --static: C gives each const array external
// linkage, so two C files define it twice; in C++ the unpacking function is
// defined twice.
TEST(ToolchainCompile, WithoutStaticTheSameInclusionDoesNotLink)
{
    if(!test::b_CanCompileForTarget())
        GTEST_SKIP() << "no compiler for the target";
    test::TempDir dir;
    const Picture picture = LoadPicture("alpha", "tga/pil_rgba32_top.tga", 13, 7);
    ASSERT_TRUE(MakeHeader(picture, dir.File("c.h"), {"--stdint", "--name=pic"}));
    ASSERT_TRUE(MakeHeader(picture, dir.File("cpp.h"), {"--stdint", "--name=pic", "--rle-decoder"}));
    for(const char *p_language : {"c", "cpp"}) {
        const std::string language = p_language;
        const std::string include = "#include \"" + language + ".h\"\n";
        ASSERT_TRUE(test::WriteFileText(dir.File("x." + language), include + "int main(void) { return (int)p_pic[0]; }\n"));
        ASSERT_TRUE(test::WriteFileText(dir.File("y." + language), include + "int y(void) { return (int)p_pic[1]; }\n"));
        for(const char *p_file : {"x", "y"}) {
            const std::string file = p_file;
            const test::RunResult compiled = Compile(language == "cpp", dir, file + "." + language, file + ".o");
            ASSERT_EQ(compiled.n_exit_status, 0) << compiled.err;
        }
        const test::RunResult linked = test::CompileForTarget({"-o", dir.File("twice"), dir.File("x.o"), dir.File("y.o")});
        EXPECT_NE(linked.n_exit_status, 0) << language;
        EXPECT_NE(linked.err.find(language == "c" ? "multiple definition of `p_pic'"
                                                  : "multiple definition of `p_DecompressRLEImage"),
                  std::string::npos)
            << linked.err;
    }
}

} // namespace
