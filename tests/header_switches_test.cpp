// The switches that shape the header's text, on the command line: values
// that are refused before any file is read or written, the last value
// counting, and what --lvgl skips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

const int kFailure = 255; // the program's -1 as the shell sees it

// A refused switch: the error, exit status -1, nothing written, nothing read
// (the image path names no file, which would otherwise be the load error).
TEST(HeaderSwitches, MalformedValuesAreRefusedBeforeAnyFileIsTouched)
{
    test::TempDir dir;
    const struct {
        std::vector<std::string> switches;
        std::string error;
    } kCases[] = {
        {{"--name=1x"}, "error: '--name=1x': the name must be a C identifier: ASCII letters, digits and '_', not "
                        "starting with a digit, at most 255 characters\n"},
        {{"--name=logo.png"}, "error: '--name=logo.png': the name must be a C identifier: ASCII letters, digits and "
                              "'_', not starting with a digit, at most 255 characters\n"},
        {{"--name="}, "error: '--name=': the name must be a C identifier: ASCII letters, digits and '_', not "
                      "starting with a digit, at most 255 characters\n"},
        {{"--name=" + std::string(256, 'a')},
         "error: '--name=" + std::string(256, 'a') +
             "': the name must be a C identifier: ASCII letters, digits and '_', not starting with a digit, at most "
             "255 characters\n"},
        // Refused even when a later value would do.
        {{"--name=2", "--name=ok"}, "error: '--name=2': the name must be a C identifier: ASCII letters, digits and "
                                    "'_', not starting with a digit, at most 255 characters\n"},
        {{"--name"}, "error: '--name': the switch needs a value: name=value\n"},
        {{"--attribute"}, "error: '--attribute': the switch needs a value: name=value\n"},
        {{"--attribute=PROGMEM\n#define X"}, "error: '--attribute': the text must not hold a line break\n"},
        {{"--attribute=a\r"}, "error: '--attribute': the text must not hold a line break\n"},
    };
    for(const auto &c : kCases) {
        std::vector<std::string> args{dir.File("missing.tga"), dir.File("out.h"), "--verbose"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        const test::RunResult run = test::RunTarnwick(args);
        EXPECT_EQ(run.n_exit_status, kFailure) << c.switches[0];
        EXPECT_EQ(run.err, c.error);
        EXPECT_EQ(run.out, "") << "nothing loaded: " << c.switches[0];
        EXPECT_FALSE(test::FileExists(dir.File("out.h")));
    }
}

TEST(HeaderSwitches, TheLastValueCountsAndNearMissesAreUnknown)
{
    test::TempDir dir;
    const std::string picture = test::Fixture("tga/pil_rgb24_top.tga");
    const test::RunResult run = test::RunTarnwick({picture, dir.File("out.h"), "--name=first", "--name=logo",
                                                   "--attribute=A", "--attribute=PROGMEM", "--names=x", "--Static",
                                                   "--stdint=1", "--attribute2=x"});
    EXPECT_EQ(run.n_exit_status, 0);
    EXPECT_EQ(run.err, "warning: unknown parameter: '--names=x' (skipping)\n"
                       "warning: unknown parameter: '--Static' (skipping)\n"
                       "warning: unknown parameter: '--stdint=1' (skipping)\n"
                       "warning: unknown parameter: '--attribute2=x' (skipping)\n");
    const std::string header = test::ReadFileText(dir.File("out.h"));
    EXPECT_NE(header.find("\nconst unsigned __int32 p_logo[] PROGMEM = {\n"), std::string::npos) << header;
    EXPECT_NE(header.find("\nconst unsigned int n_logo_width = 13;\nconst unsigned int n_logo_height = 7;\n"),
              std::string::npos);
    EXPECT_NE(header.find("#ifndef __"), std::string::npos);
    EXPECT_EQ(header.find("first"), std::string::npos);
}

// --rle and --rle-decoder are skipped with --lvgl, each with its warning,
// and the header is the one --lvgl writes alone.
TEST(HeaderSwitches, LvglSkipsThePacketsWithAWarning)
{
    test::TempDir dir;
    const std::string picture = test::Fixture("tga/pil_gray_top.tga");
    const test::RunResult packed =
        test::RunTarnwick({picture, dir.File("out.h"), "--rle", "--lvgl", "--rle-decoder", "--gray"});
    EXPECT_EQ(packed.n_exit_status, 0);
    EXPECT_EQ(packed.err, "warning: --rle is skipped with --lvgl\nwarning: --rle-decoder is skipped with --lvgl\n");
    const std::string packed_header = test::ReadFileText(dir.File("out.h"));
    const test::RunResult plain = test::RunTarnwick({picture, dir.File("out.h"), "--gray", "--lvgl"});
    EXPECT_EQ(plain.n_exit_status, 0);
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(packed_header, test::ReadFileText(dir.File("out.h")));
    EXPECT_NE(packed_header.find("LV_COLOR_FORMAT_L8"), std::string::npos);
}

} // namespace
