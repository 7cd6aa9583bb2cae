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
#include <string>
#include <vector>

#include "png_loader.h"
#include "reference_items.h"
#include "test_support.h"

namespace {

using namespace reference;

// One row of the table: the switches (with --lvgl), the colour format's name
// and its value in LVGL 9, the bytes of one row, and all the bytes.
struct LvglRow {
    const char *p_label;
    std::vector<std::string> switches;
    const char *p_format;
    int n_format_value;
    int n_bits_per_pixel;
    std::function<Items(const Picture &)> bytes;
    bool b_needs_9_3; // RGB565_SWAPPED
};

std::vector<LvglRow> Rows()
{
    return {
        {"l8", {"--gray"}, "LV_COLOR_FORMAT_L8", 0x06, 8, [](const Picture &p) { return EachPixel(p, Gray); }, false},
        // The palette black, white as blue, green, red, alpha; then the rows.
        {"i1", {"--mono"}, "LV_COLOR_FORMAT_I1", 0x07, 1, [](const Picture &p) {
             Items bytes = {0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff};
             const Items rows = RowsMsbFirst(MonoBits(p, false), p.n_width, p.n_height);
             bytes.insert(bytes.end(), rows.begin(), rows.end());
             return bytes;
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
    const Items bytes = row.bytes(picture);
    const int n_stride = (picture.n_width * row.n_bits_per_pixel + 7) / 8;
    std::string line = label + " 25 " + std::to_string(row.n_format_value) + " 0 " + std::to_string(picture.n_width) +
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
    test::TempDir dir;
    std::vector<Picture> pictures = {LoadPicture("alpha", "tga/pil_rgba32_top.tga", 13, 7),
                                     LoadPicture("palette", "tga/pil_pal24_bottom.tga", 13, 7)};
    if(tarnwick::b_IsPngSupportBuiltIn())
        pictures.push_back(LoadPicture("pal4", "png/pil_pal4.png", 13, 7));
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
    const struct {
        const char *p_compiler;
        const char *p_standard;
        const char *p_extension;
        std::vector<std::string> definitions;
    } kBuilds[] = {
        {TARNWICK_CC, "-std=c11", "c", {}},
        {TARNWICK_CXX, "-std=c++17", "cpp", {}},
        {TARNWICK_CC, "-std=c99", "c", {"-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {TARNWICK_CXX, "-std=c++11", "cpp", {"-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {TARNWICK_CXX, "-std=c++17", "cpp", {"-DLVGL_VERSION_MINOR=0"}},
        {TARNWICK_CXX, "-std=c++17", "cpp", {"-DLVGL_VERSION_MINOR=1"}},
        {TARNWICK_CC, "-std=c11", "c", {"-DLVGL_VERSION_MINOR=2", "-DLV_BIG_ENDIAN_SYSTEM=1"}},
        {TARNWICK_CXX, "-std=c++17", "cpp", {"-DLVGL_VERSION_MINOR=2", "-DLV_BIG_ENDIAN_SYSTEM=1"}},
        // "lvgl.h" through LV_LVGL_H_INCLUDE_SIMPLE.
        {TARNWICK_CXX, "-std=c++17", "cpp", {"-DLV_LVGL_H_INCLUDE_SIMPLE"}},
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
        std::vector<std::string> command{build.p_compiler, build.p_standard, "-Wall", "-Wextra", "-Werror"};
        command.insert(command.end(), build.definitions.begin(), build.definitions.end());
        command.insert(command.end(), {"-I", b_simple ? stand_in + "/lvgl" : stand_in, "-I", dir.path(), "-o",
                                       dir.File(name), source});
        const test::RunResult compiled = test::Run(command);
        ASSERT_EQ(compiled.n_exit_status, 0) << name << ":\n" << compiled.err;
        const test::RunResult run = test::Run({dir.File(name)});
        EXPECT_EQ(run.n_exit_status, 0) << name;
        EXPECT_EQ(run.out, b_before_9_3 ? expected_before_9_3 : expected) << name;
    }
}

} // namespace
