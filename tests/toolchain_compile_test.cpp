// Headers as compilers take them: one table over the output formats and
// layouts, made from real pictures, every item compared with the items this
// test computes from the picture's reference pixels (the .rgba file beside
// each fixture, decoded by ImageMagick, not by Tarnwick; reference_items.h).
// - With --stdint, --static and --name, every header is included from two C
//   files and two C++ files linked into one program, each compiled with
//   -Wall -Wextra -Werror; each file checks the item types and prints every
//   array and constant, packed arrays unpacked by the test's own reading of
//   the packets and, in the C++ files, by the p_DecompressRLEImage of a
//   header made with --rle-decoder. Without --static the same inclusion does
//   not link.
// - With --lvgl, each header is compiled against the stand-in of LVGL 9's
//   declarations in tests/lvgl_stand_in, as C (designators) and as C++
//   (positionally), in both member orders (LV_BIG_ENDIAN_SYSTEM) and for the
//   member lists of LVGL 9.0 to 9.3; the program prints each descriptor's
//   fields and every byte its `data` points at.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "png_loader.h"
#include "reference_items.h"
#include "test_support.h"

namespace {

using namespace reference;

// The fixtures, all 13 x 7 pixels.
std::vector<Picture> Pictures()
{
    std::vector<Picture> pictures = {
        LoadPicture("alpha", "tga/pil_rgba32_top.tga", 13, 7),      // alpha from 19 to 236; 8-bit indices
        LoadPicture("rle", "tga/im_rgba32_rle.tga", 13, 7),        // run-length coded, alpha from 0
        LoadPicture("palette", "tga/pil_pal24_bottom.tga", 13, 7), // colour-mapped, bottom row first; 4-bit indices
    };
    if(tarnwick::b_IsPngSupportBuiltIn()) {
        pictures.push_back(LoadPicture("png", "png/im_rgba16_interlaced.png", 13, 7));
        pictures.push_back(LoadPicture("pal1", "png/pil_pal1.png", 13, 7));      // 1-bit indices
        pictures.push_back(LoadPicture("pal2", "png/pil_pal2_trns.png", 13, 7)); // 2-bit indices
    }
    for(const Picture &picture : pictures)
        EXPECT_EQ(picture.pixels.size(), size_t(picture.n_width * picture.n_height)) << picture.path;
    return pictures;
}

// Makes a header of the picture with the switches; false when the program
// fails.
bool MakeHeader(const Picture &picture, const std::string &header, const std::vector<std::string> &switches)
{
    std::vector<std::string> args{picture.path, header};
    args.insert(args.end(), switches.begin(), switches.end());
    const test::RunResult run = test::RunTarnwick(args);
    EXPECT_EQ(run.n_exit_status, 0) << header << ": " << run.err;
    EXPECT_EQ(run.out + run.err, "") << header;
    return run.n_exit_status == 0;
}

// Compiles the sources in the folder for the target (C through the
// compiler driver's C mode, -x c: the C compiler's front end), links them
// and runs the program; the result of the first step that fails, or of the
// run.
test::RunResult Build(const test::TempDir &dir, const std::string &program, const std::vector<std::string> &sources,
                      const std::vector<std::string> &flags = {})
{
    std::vector<std::string> link{"-o", dir.File(program)};
    for(const std::string &source : sources) {
        const bool b_cpp = source.find(".cpp") != std::string::npos;
        std::vector<std::string> args{"-x", b_cpp ? "c++" : "c", b_cpp ? "-std=c++17" : "-std=c11", "-Wall",
                                      "-Wextra", "-Werror", "-I", dir.path()};
        args.insert(args.end(), flags.begin(), flags.end());
        args.insert(args.end(), {"-c", dir.File(source), "-o", dir.File(source + ".o")});
        const test::RunResult compiled = test::CompileForTarget(args);
        if(compiled.n_exit_status != 0)
            return compiled;
        link.push_back(dir.File(source + ".o"));
    }
    const test::RunResult linked = test::CompileForTarget(link);
    return linked.n_exit_status != 0 ? linked : test::RunTarget({dir.File(program)});
}

// Numbers as the programs print them.
std::string Listed(const Items &items)
{
    std::string text;
    for(uint32_t n_item : items)
        text += " " + std::to_string(n_item);
    return text;
}

// ---- --stdint, --static, --name ----------------------------------------------

// The constants a layout declares after the height, with their values.
using Constants = std::vector<std::pair<std::string, uint32_t>>;

// A format or layout: its switches, the bytes of its items, its items and
// constants; with --indexed a palette array too; its colour format's value
// in LVGL 9 (I1 for the indexed ones, 0 where --lvgl does not take it).
struct Format {
    const char *p_label;
    std::vector<std::string> switches;
    int n_item_bytes;
    std::function<Items(const Picture &)> items;
    std::function<Constants(const Picture &)> constants;
    bool b_palette; // p_<name>_palette and n_<name>_palette_size
    uint32_t n_lvgl_format;
};

Constants NoConstants(const Picture &)
{
    return {};
}

Constants RowBytes(const Picture &p)
{
    return {{"row_bytes", (p.n_width + 7) / 8}};
}

uint32_t Rgb565OverBlack(uint32_t n_pixel)
{
    return Rgb565(OverBlack(n_pixel));
}

std::vector<Format> Formats()
{
    return {
        {"rgb", {}, 4, [](const Picture &p) { return p.pixels; }, NoConstants, false, 0x10},
        {"gray", {"--gray"}, 1, [](const Picture &p) { return EachPixel(p, Gray); }, NoConstants, false, 0x06},
        {"rgb565", {"--rgb565"}, 2, [](const Picture &p) { return EachPixel(p, Rgb565OverBlack); }, NoConstants,
         false, 0x12},
        {"swapped", {"--rgb565-swapped"}, 2, [](const Picture &p) {
             return EachPixel(p, [](uint32_t n) { return (Rgb565OverBlack(n) & 0xff) << 8 | Rgb565OverBlack(n) >> 8; });
         }, NoConstants, false, 0x1B},
        {"mono", {"--mono"}, 1, [](const Picture &p) {
             return Rows(MonoBits(p, false), p.n_width, p.n_height, false);
         }, RowBytes, false, 0x07},
        {"dither", {"--mono", "--dither"}, 1, [](const Picture &p) {
             return Rows(MonoBits(p, true), p.n_width, p.n_height, false);
         }, RowBytes, false, 0},
        {"lsb", {"--mono", "--mono-lsb"}, 1, [](const Picture &p) {
             return Rows(MonoBits(p, false), p.n_width, p.n_height, true);
         }, RowBytes, false, 0},
        {"pages", {"--mono", "--dither", "--mono-pages"}, 1, [](const Picture &p) {
             return Pages(MonoBits(p, true), p.n_width, p.n_height);
         }, [](const Picture &p) { return Constants{{"pages", (p.n_height + 7) / 8}}; }, false, 0},
        {"rgb888", {"--rgb888"}, 1, [](const Picture &p) { return Bytes(EachPixel(p, OverBlack), 3, false); },
         NoConstants, false, 0},
        {"bgr888", {"--bgr888"}, 1, [](const Picture &p) { return Bytes(EachPixel(p, OverBlack), 3, true); },
         NoConstants, false, 0x0F},
        {"alpha8", {"--alpha8"}, 1, [](const Picture &p) {
             return EachPixel(p, [](uint32_t n) { return n >> 24; });
         }, NoConstants, false, 0x0E},
        {"indexed", {"--indexed"}, 1, [](const Picture &p) {
             return PackedIndices(p, PaletteOf(p), IndexBits(PaletteOf(p).size()));
         }, [](const Picture &p) {
             const uint32_t n_bits = uint32_t(IndexBits(PaletteOf(p).size()));
             return Constants{{"bits", n_bits}, {"row_bytes", (p.n_width * n_bits + 7) / 8}};
         }, true, 0x07},
    };
}

// Shared by the four files: the type check and the printing (static inline:
// a file that does not use one is not warned). A packed array is unpacked by
// the test's own reading of the packets: a header item whose top bit marks a
// run of one value, else a literal of values; the other bits count.
const char kChecks[] = R"(#include <stdint.h>
#include <stdio.h>
#ifdef __cplusplus
#include <type_traits>
#define CHECK_TYPE(array, item) static_assert(std::is_same<std::decay<decltype(array[0])>::type, item>::value, #array)
#else
#define CHECK_TYPE(array, item) _Static_assert(sizeof(array[0]) == sizeof(item), #array)
#endif

static inline uint32_t ItemAt(const void *p_items, unsigned long i, unsigned n_bytes)
{
	if(n_bytes == 1)
		return ((const uint8_t *)p_items)[i];
	return n_bytes == 2 ? ((const uint16_t *)p_items)[i] : ((const uint32_t *)p_items)[i];
}

static inline void Print(const char *p_label, const void *p_items, unsigned long n_items, unsigned n_bytes,
	int b_packed)
{
	const uint32_t n_flag = 1u << (8 * n_bytes - 1);
	unsigned long i = 0, k;
	printf("%s", p_label);
	while(i < n_items) {
		const uint32_t n_item = ItemAt(p_items, i, n_bytes);
		const unsigned long n_count = b_packed ? n_item & (n_flag - 1) : 1;
		const int b_run = b_packed && (n_item & n_flag);
		i += b_packed;
		for(k = 0; k < n_count && i + (b_run ? 0 : k) < n_items; ++k)
			printf(" %lu", (unsigned long)ItemAt(p_items, i + (b_run ? 0 : k), n_bytes));
		i += b_run ? 1 : n_count;
	}
	printf("\n");
}
)";

// One header of the program: what it was made from and its name.
struct HeaderRow {
    std::string name; // --name, and the label of its lines
    const Picture *p_picture;
    const Format *p_format;
    bool b_packed;
};

// One of the four files: it includes every header and prints every array
// and constant, each line starting with the file's name; the program's
// lines, or (b_expected) the lines it must print.
std::string FileText(const std::string &file, const std::vector<HeaderRow> &rows, bool b_expected)
{
    const bool b_cpp = file.find(".cpp") != std::string::npos;
    std::string includes = "#include \"checks.h\"\n", body, expected;
    for(const HeaderRow &row : rows) {
        const Picture &picture = *row.p_picture;
        const std::string array = "p_" + row.name, n = "n_" + row.name + "_", label = file + " " + row.name;
        const Items items = row.p_format->items(picture);
        includes += "#include \"" + row.name + ".h\"\n";
        const int n_bytes = row.p_format->n_item_bytes;
        body += "\tCHECK_TYPE(" + array + (n_bytes == 4 ? ", uint32_t" : n_bytes == 2 ? ", uint16_t" : ", uint8_t") +
                ");\n\tPrint(\"" + label + "\", " + array +
                ", sizeof(" + array + ") / sizeof(" + array + "[0]), sizeof(" + array + "[0]), " +
                (row.b_packed ? "1" : "0") + ");\n";
        expected += label + Listed(items) + "\n";
        std::string format = label + "_size %u %u", values = n + "width, " + n + "height";
        Items numbers = {uint32_t(picture.n_width), uint32_t(picture.n_height)};
        for(const auto &constant : row.p_format->constants(picture)) {
            format += " %u";
            values += ", " + n + constant.first;
            numbers.push_back(constant.second);
        }
        body += "\tprintf(\"" + format + "\\n\", " + values + ");\n";
        expected += label + "_size" + Listed(numbers) + "\n";
        if(row.p_format->b_palette) {
            body += "\tCHECK_TYPE(" + array + "_palette, uint32_t);\n\tPrint(\"" + label + "_palette\", " + array +
                    "_palette, " + n + "palette_size, 4, 0);\n";
            expected += label + "_palette" + Listed(PaletteOf(picture)) + "\n";
        }
        if(b_cpp && row.b_packed) {
            const std::string space = row.name + "_ns::", count = std::to_string(items.size());
            includes += "namespace " + row.name + "_ns {\n#include \"" + row.name + "_dec.h\"\n}\n";
            body += "\t{\n\t\tconst auto *p_items = " + space + "p_DecompressRLEImage(" + space + array + "_dec, " +
                    count + ");\n\t\tPrint(\"" + label + "_dec\", p_items, " + count +
                    ", sizeof(p_items[0]), 0);\n\t\tdelete[] p_items;\n\t}\n";
            expected += label + "_dec" + Listed(items) + "\n";
        }
    }
    std::string function = "print_" + file;
    function[function.find('.')] = '_';
    return b_expected ? expected
                      : includes + (b_cpp ? "extern \"C\" " : "") + "void " + function + "(void)\n{\n" + body + "}\n";
}

TEST(ToolchainCompile, EveryFormatLinksFromTwoCAndTwoCppFilesAndHoldsItsItems)
{
    if(!test::b_CanCompileForTarget())
        GTEST_SKIP() << "no compiler for the target";
    test::TempDir dir;
    const std::vector<Picture> pictures = Pictures();
    const std::vector<Format> formats = Formats();
    std::vector<HeaderRow> rows;
    for(const Picture &picture : pictures) {
        for(const Format &format : formats) {
            for(bool b_packed : {false, true}) {
                const HeaderRow row{picture.label + "_" + format.p_label + (b_packed ? "_rle" : ""), &picture, &format,
                                    b_packed};
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
    ASSERT_TRUE(test::WriteFileText(dir.File("checks.h"), kChecks));
    std::string expected;
    for(const char *p_file : {"a.c", "b.c", "a.cpp", "b.cpp"}) {
        ASSERT_TRUE(test::WriteFileText(dir.File(p_file), FileText(p_file, rows, false)));
        expected += FileText(p_file, rows, true);
    }
    ASSERT_TRUE(test::WriteFileText(dir.File("main.cpp"),
                                    "extern \"C\" {\nvoid print_a_c(void);\nvoid print_b_c(void);\n"
                                    "void print_a_cpp(void);\nvoid print_b_cpp(void);\n}\n"
                                    "int main()\n{\n\tprint_a_c();\n\tprint_b_c();\n"
                                    "\tprint_a_cpp();\n\tprint_b_cpp();\n}\n"));
    const test::RunResult run = Build(dir, "check", {"a.c", "b.c", "a.cpp", "b.cpp", "main.cpp"});
    EXPECT_EQ(run.n_exit_status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
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
    for(const std::string language : {"c", "cpp"}) {
        const std::string include = "#include \"" + language + ".h\"\n";
        ASSERT_TRUE(test::WriteFileText(dir.File("x." + language), include + "int main(void) { return p_pic[0]; }\n"));
        ASSERT_TRUE(test::WriteFileText(dir.File("y." + language), include + "int y(void) { return p_pic[1]; }\n"));
        const test::RunResult linked = Build(dir, "twice", {"x." + language, "y." + language});
        EXPECT_NE(linked.err.find(language == "c" ? "multiple definition of `p_pic'"
                                                  : "multiple definition of `p_DecompressRLEImage"),
                  std::string::npos)
            << linked.err;
    }
}

// ---- --lvgl ------------------------------------------------------------------

// What LVGL reads: the palette, each entry blue, green, red, alpha, padded
// with zero bytes to 2 to the bits per index entries (black and white for
// --mono's I1); then the items, low byte first.
Items LvglBytes(const Format &format, const Picture &picture, const Items &items)
{
    if(format.n_lvgl_format != 0x07)
        return Bytes(items, format.n_item_bytes, true);
    const Items palette = format.b_palette ? PaletteOf(picture) : Items{0xff000000, 0xffffffff};
    Items bytes = Bytes(palette, 4, true);
    bytes.resize(size_t(4 << IndexBits(palette.size())), 0);
    bytes.insert(bytes.end(), items.begin(), items.end());
    return bytes;
}

// Prints, for each descriptor, "<label> magic cf flags w h stride data_size
// same-array bytes...".
std::string LvglProgram(const std::vector<std::string> &labels)
{
    std::string source = "#include <stdio.h>\n";
    for(const std::string &label : labels)
        source += "#include \"" + label + ".h\"\n";
    source += "static void Print(const char *p_label, const lv_image_dsc_t *p_dsc, const uint8_t *p_array, "
              "unsigned long n_array_bytes)\n{\n\tunsigned long i;\n"
              "\tprintf(\"%s %u %u %u %u %u %u %u %d\", p_label, (unsigned)p_dsc->header.magic, "
              "(unsigned)p_dsc->header.cf, (unsigned)p_dsc->header.flags, (unsigned)p_dsc->header.w, "
              "(unsigned)p_dsc->header.h, (unsigned)p_dsc->header.stride, (unsigned)p_dsc->data_size, "
              "p_dsc->data == p_array && p_dsc->data_size == n_array_bytes);\n"
              "\tfor(i = 0; i < p_dsc->data_size; ++i)\n\t\tprintf(\" %u\", (unsigned)p_dsc->data[i]);\n"
              "\tprintf(\"\\n\");\n}\nint main(void)\n{\n";
    for(const std::string &label : labels)
        source += "\tPrint(\"" + label + "\", &dsc_" + label + ", p_" + label + ", sizeof(p_" + label + "));\n";
    return source + "\treturn 0;\n}\n";
}

TEST(LvglCompile, EveryLvglFormatCompilesAsCAndCppAndHoldsLvglsBytes)
{
    if(!test::b_CanCompileForTarget())
        GTEST_SKIP() << "no compiler for the target";
    test::TempDir dir;
    const std::vector<Picture> pictures = Pictures();
    // Every row on every picture; a second copy of the first picture's
    // headers with --static. The label, its line, and whether it needs 9.3.
    struct Header {
        std::string label, line;
        bool b_needs_9_3;
    };
    std::vector<Header> headers;
    for(const Picture &picture : pictures) {
        for(const Format &format : Formats()) {
            for(bool b_static : {false, true}) {
                if(!format.n_lvgl_format || (b_static && &picture != &pictures[0]))
                    continue;
                const std::string label = picture.label + "_" + format.p_label + (b_static ? "_static" : "");
                std::vector<std::string> switches = format.switches;
                switches.insert(switches.end(), {"--lvgl", "--name=" + label});
                if(b_static)
                    switches.push_back("--static");
                ASSERT_TRUE(MakeHeader(picture, dir.File(label + ".h"), switches));
                // I1, I2, I4 or I8 after the bits an index.
                const Items items = format.items(picture), bytes = LvglBytes(format, picture, items);
                const int n_bits = format.b_palette ? IndexBits(PaletteOf(picture).size()) : 1;
                const uint32_t n_format = format.n_lvgl_format + (n_bits == 1 ? 0 : n_bits == 2 ? 1 : n_bits / 4 + 1);
                const uint32_t w = uint32_t(picture.n_width), h = uint32_t(picture.n_height);
                const uint32_t n_stride = uint32_t(items.size()) * uint32_t(format.n_item_bytes) / h;
                headers.push_back({label, label + Listed({25, n_format, 0, w, h, n_stride, uint32_t(bytes.size()), 1}) +
                                              Listed(bytes) + "\n",
                                   format.n_lvgl_format == 0x1B}); // RGB565_SWAPPED: LVGL 9.3 on
            }
        }
    }

    const std::string stand_in = std::string(TARNWICK_SOURCE_DIR) + "/tests/lvgl_stand_in";
    const struct {
        const char *p_source;
        std::vector<std::string> flags;
    } kBuilds[] = {
        {"lvgl0.c", {}},
        {"lvgl1.cpp", {}},
        {"lvgl2.c", {"-std=c99", "-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {"lvgl3.cpp", {"-std=c++11", "-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {"lvgl4.cpp", {"-DLVGL_VERSION_MINOR=0"}},
        {"lvgl5.cpp", {"-DLVGL_VERSION_MINOR=1"}},
        {"lvgl6.c", {"-DLVGL_VERSION_MINOR=2", "-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {"lvgl7.cpp", {"-DLVGL_VERSION_MINOR=2", "-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {"lvgl8.cpp", {"-DLV_LVGL_H_INCLUDE_SIMPLE"}}, // "lvgl.h", from the folder lvgl
    };
    for(const auto &build : kBuilds) {
        bool b_before_9_3 = false, b_simple = false;
        for(const std::string &flag : build.flags) {
            b_before_9_3 |= flag.find("MINOR") != std::string::npos;
            b_simple |= flag.find("SIMPLE") != std::string::npos;
        }
        std::vector<std::string> labels;
        std::string expected;
        for(const Header &header : headers) {
            if(b_before_9_3 && header.b_needs_9_3)
                continue;
            labels.push_back(header.label);
            expected += header.line;
        }
        ASSERT_TRUE(test::WriteFileText(dir.File(build.p_source), LvglProgram(labels)));
        std::vector<std::string> flags = build.flags;
        flags.insert(flags.end(), {"-I", b_simple ? stand_in + "/lvgl" : stand_in});
        const test::RunResult run = Build(dir, build.p_source + std::string(".out"), {build.p_source}, flags);
        EXPECT_EQ(run.n_exit_status, 0) << build.p_source << ":\n" << run.err;
        EXPECT_EQ(run.out, expected) << build.p_source;
    }
}

} // namespace
