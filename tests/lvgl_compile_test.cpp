// LVGL descriptors as a C and a C++ compiler take them: one table over the
// formats LVGL takes, each header made with --lvgl and compiled against the
// stand-in of LVGL 9's declarations in tests/lvgl_stand_in, as C (with
// designators) and as C++ (positionally), in the little-endian member order
// and, with LV_BIG_ENDIAN_SYSTEM, in the reverse one, and for the member
// lists of LVGL 9.0, 9.1 and 9.3. Each program prints every descriptor's
// fields and every byte its `data` points at, and these are compared with
// the values this test computes from the pictures' reference pixels: the
// colour format, the stride (the row's bytes), data_size (palette and rows)
// and the bytes in LVGL's order.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "png_loader.h"
#include "reference_items.h"
#include "test_support.h"

namespace {

using namespace reference;

// What LVGL reads of a picture in one colour format: the format's value in
// LVGL 9, its bits per pixel, and all the data's bytes.
struct LvglData {
    int n_format_value;
    int n_bits_per_pixel;
    Items bytes;
};

// One row of the table: the switches (with --lvgl) and the data LVGL reads.
struct LvglRow {
    const char *p_label;
    std::vector<std::string> switches;
    std::function<LvglData(const Picture &)> data;
    bool b_needs_9_3; // RGB565_SWAPPED
};

// The palette as LVGL reads it: each entry blue, green, red, alpha, padded
// with zero bytes to 2 to the bits per index entries; then the indices.
Items WithPalette(const Items &palette, int n_bits, const Items &indices)
{
    Items bytes = Bytes(palette, 4, true);
    bytes.resize(size_t(4 << n_bits), 0);
    bytes.insert(bytes.end(), indices.begin(), indices.end());
    return bytes;
}

std::vector<LvglRow> Rows()
{
    return {
        {"argb8888", {}, [](const Picture &p) { return LvglData{0x10, 32, Bytes(p.pixels, 4, true)}; }, false},
        {"rgb565", {"--rgb565"}, [](const Picture &p) {
             return LvglData{0x12, 16, Bytes(EachPixel(p, [](uint32_t n) { return Rgb565(OverBlack(n)); }), 2, true)};
         }, false},
        {"swapped", {"--rgb565-swapped"}, [](const Picture &p) {
             return LvglData{0x1B, 16, Bytes(EachPixel(p, [](uint32_t n) { return Rgb565(OverBlack(n)); }), 2, false)};
         }, true},
        {"rgb888", {"--bgr888"}, [](const Picture &p) {
             return LvglData{0x0F, 24, Bytes(EachPixel(p, OverBlack), 3, true)};
         }, false},
        {"l8", {"--gray"}, [](const Picture &p) { return LvglData{0x06, 8, EachPixel(p, Gray)}; }, false},
        {"a8", {"--alpha8"}, [](const Picture &p) {
             return LvglData{0x0E, 8, EachPixel(p, [](uint32_t n) { return n >> 24; })};
         }, false},
        // Black and white in front of --mono's rows.
        {"i1", {"--mono"}, [](const Picture &p) {
             return LvglData{0x07, 1, WithPalette({0xff000000, 0xffffffff}, 1,
                                                  RowsMsbFirst(MonoBits(p, false), p.n_width, p.n_height))};
         }, false},
        // I1, I2, I4 or I8 after the palette's size.
        {"indexed", {"--indexed"}, [](const Picture &p) {
             const Items palette = PaletteOf(p);
             const int n_bits = IndexBits(palette.size());
             return LvglData{n_bits == 1 ? 0x07 : n_bits == 2 ? 0x08 : n_bits == 4 ? 0x09 : 0x0A, n_bits,
                             WithPalette(palette, n_bits, PackedIndices(p, palette, n_bits))};
         }, false},
    };
}

// Prints, for each descriptor, "<label> magic cf flags w h stride data_size
// same-array bytes..." with the bytes in hexadecimal.
std::string ProgramSource(const std::vector<std::string> &labels)
{
    std::string source = "#include <stdio.h>\n";
    for(const std::string &label : labels)
        source += "#include \"" + label + ".h\"\n";
    source += "static void Print(const char *p_label, const lv_image_dsc_t *p_dsc, const uint8_t *p_array, "
              "unsigned long n_array_bytes)\n{\n"
              "\tunsigned long i;\n"
              "\tprintf(\"%s %u %u %u %u %u %u %u %d\", p_label, (unsigned)p_dsc->header.magic, "
              "(unsigned)p_dsc->header.cf, (unsigned)p_dsc->header.flags, (unsigned)p_dsc->header.w, "
              "(unsigned)p_dsc->header.h, (unsigned)p_dsc->header.stride, (unsigned)p_dsc->data_size, "
              "p_dsc->data == p_array && p_dsc->data_size == n_array_bytes);\n"
              "\tfor(i = 0; i < p_dsc->data_size; ++i)\n\t\tprintf(\" %02x\", p_dsc->data[i]);\n"
              "\tprintf(\"\\n\");\n}\n"
              "int main(void)\n{\n";
    for(const std::string &label : labels)
        source += "\tPrint(\"" + label + "\", &dsc_" + label + ", p_" + label + ", sizeof(p_" + label + "));\n";
    return source + "\treturn 0;\n}\n";
}

// The line the program must print for a descriptor.
std::string ExpectedLine(const std::string &label, const LvglRow &row, const Picture &picture)
{
    const LvglData data = row.data(picture);
    const Items &bytes = data.bytes;
    const int n_stride = (picture.n_width * data.n_bits_per_pixel + 7) / 8;
    std::string line = label + " 25 " + std::to_string(data.n_format_value) + " 0 " + std::to_string(picture.n_width) +
                       " " + std::to_string(picture.n_height) + " " + std::to_string(n_stride) + " " +
                       std::to_string(bytes.size()) + " 1";
    for(uint32_t n_byte : bytes) {
        char a_hex[8];
        std::snprintf(a_hex, sizeof(a_hex), " %02x", n_byte);
        line += a_hex;
    }
    return line + "\n";
}

TEST(LvglCompile, EveryLvglFormatCompilesAsCAndCppAndHoldsLvglsBytes)
{
    if(!test::b_CanCompileForTarget())
        GTEST_SKIP() << "no compiler for the target";
    test::TempDir dir;
    // Their palettes take 8 and 4 bits an index; with PNG also 1 and 2.
    std::vector<Picture> pictures = {LoadPicture("alpha", "tga/pil_rgba32_top.tga", 13, 7),
                                     LoadPicture("palette", "tga/pil_pal24_bottom.tga", 13, 7)};
    if(tarnwick::b_IsPngSupportBuiltIn()) {
        pictures.push_back(LoadPicture("pal1", "png/pil_pal1.png", 13, 7));
        pictures.push_back(LoadPicture("pal2", "png/pil_pal2_trns.png", 13, 7));
    }
    const std::vector<LvglRow> rows = Rows();

    // Every row on every picture; a second copy of the first picture's
    // headers with --static.
    std::vector<std::string> labels, labels_before_9_3;
    std::string expected, expected_before_9_3;
    for(const Picture &picture : pictures) {
        ASSERT_EQ(picture.pixels.size(), size_t(picture.n_width * picture.n_height)) << picture.path;
        for(const LvglRow &row : rows) {
            for(bool b_static : {false, true}) {
                if(b_static && &picture != &pictures[0])
                    continue;
                const std::string label = picture.label + "_" + row.p_label + (b_static ? "_static" : "");
                std::vector<std::string> args{picture.path, dir.File(label + ".h"), "--lvgl", "--name=" + label};
                args.insert(args.end(), row.switches.begin(), row.switches.end());
                if(b_static)
                    args.push_back("--static");
                const test::RunResult run = test::RunTarnwick(args);
                ASSERT_EQ(run.n_exit_status, 0) << label << ": " << run.err;
                EXPECT_EQ(run.out + run.err, "") << label;
                labels.push_back(label);
                expected += ExpectedLine(label, row, picture);
                if(!row.b_needs_9_3) {
                    labels_before_9_3.push_back(label);
                    expected_before_9_3 += ExpectedLine(label, row, picture);
                }
            }
        }
    }

    const std::string stand_in = std::string(TARNWICK_SOURCE_DIR) + "/tests/lvgl_stand_in";
    // C through the compiler driver's C mode (-x c), the C compiler's front
    // end.
    const struct {
        const char *p_language; // for -x
        const char *p_standard;
        const char *p_extension;
        std::vector<std::string> definitions;
    } kBuilds[] = {
        {"c", "-std=c11", "c", {}},
        {"c++", "-std=c++17", "cpp", {}},
        {"c", "-std=c99", "c", {"-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {"c++", "-std=c++11", "cpp", {"-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {"c++", "-std=c++17", "cpp", {"-DLVGL_VERSION_MINOR=0"}},
        {"c++", "-std=c++17", "cpp", {"-DLVGL_VERSION_MINOR=1"}},
        {"c", "-std=c11", "c", {"-DLVGL_VERSION_MINOR=2", "-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {"c++", "-std=c++17", "cpp", {"-DLVGL_VERSION_MINOR=2", "-DLV_BIG_ENDIAN_SYSTEM=1"}},
        // "lvgl.h" through LV_LVGL_H_INCLUDE_SIMPLE.
        {"c++", "-std=c++17", "cpp", {"-DLV_LVGL_H_INCLUDE_SIMPLE"}},
    };
    int n_build = 0;
    for(const auto &build : kBuilds) {
        bool b_before_9_3 = false;
        bool b_simple = false;
        for(const std::string &definition : build.definitions) {
            b_before_9_3 |= definition.find("MINOR") != std::string::npos;
            b_simple |= definition.find("SIMPLE") != std::string::npos;
        }
        const std::string name = "program" + std::to_string(n_build++);
        const std::string source = dir.File(name + "." + build.p_extension);
        ASSERT_TRUE(test::WriteFileText(source, ProgramSource(b_before_9_3 ? labels_before_9_3 : labels)));
        std::vector<std::string> command{"-x", build.p_language, build.p_standard, "-Wall", "-Wextra", "-Werror"};
        command.insert(command.end(), build.definitions.begin(), build.definitions.end());
        command.insert(command.end(), {"-I", b_simple ? stand_in + "/lvgl" : stand_in, "-I", dir.path(), source,
                                       "-x", "none", "-o", dir.File(name)});
        const test::RunResult compiled = test::CompileForTarget(command);
        ASSERT_EQ(compiled.n_exit_status, 0) << name << ":\n" << compiled.err;
        const test::RunResult run = test::RunTarget({dir.File(name)});
        EXPECT_EQ(run.n_exit_status, 0) << name;
        EXPECT_EQ(run.out, b_before_9_3 ? expected_before_9_3 : expected) << name;
    }
}

} // namespace
