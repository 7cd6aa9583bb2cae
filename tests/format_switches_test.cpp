// The output-format switches on the command line: the last of the group wins,
// --dither changes only --mono, and near misses are unknown switches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

TEST(FormatSwitches, TheLastFormatWinsAndDitherChangesOnlyMono)
{
    test::TempDir dir;
    const std::string picture = test::Fixture("tga/pil_rgba32_top.tga");
    // The header each switch set must give, written by a single switch.
    auto header = [&](const std::vector<std::string> &switches) {
        std::vector<std::string> args{picture, dir.File("out.h")};
        args.insert(args.end(), switches.begin(), switches.end());
        const test::RunResult run = test::RunTarnwick(args);
        EXPECT_EQ(run.n_exit_status, 0);
        EXPECT_EQ(run.err, "");
        return test::ReadFileText(dir.File("out.h"));
    };
    const struct {
        std::vector<std::string> switches;
        std::vector<std::string> same_as;
    } cases[] = {
        {{"--mono", "--rgb565"}, {"--rgb565"}},
        {{"--rgb565", "--gray"}, {"--gray"}},
        {{"--gray", "--mono"}, {"--mono"}},
        {{"--rgb565-swapped", "--rgb"}, {}},
        {{"--rgb565", "--rgb565-swapped"}, {"--rgb565-swapped"}},
        {{"--dither"}, {}},
        {{"--dither", "--rgb565"}, {"--rgb565"}},
        {{"--dither", "--gray"}, {"--gray"}},
        {{"--dither", "--mono", "--dither"}, {"--mono", "--dither"}},
    };
    for(const auto &c : cases)
        EXPECT_EQ(header(c.switches), header(c.same_as)) << c.switches[0] << " " << c.switches.back();
    // The formats differ from each other, and dithering changes this picture.
    EXPECT_NE(header({"--mono", "--dither"}), header({"--mono"}));
    EXPECT_NE(header({"--rgb565"}), header({"--rgb565-swapped"}));

    const test::RunResult run =
        test::RunTarnwick({picture, dir.File("out.h"), "--RGB565", "--mono=1", "--rgb565swapped", "--Dither"});
    EXPECT_EQ(run.n_exit_status, 0);
    EXPECT_EQ(run.err, "warning: unknown parameter: '--RGB565' (skipping)\n"
                       "warning: unknown parameter: '--mono=1' (skipping)\n"
                       "warning: unknown parameter: '--rgb565swapped' (skipping)\n"
                       "warning: unknown parameter: '--Dither' (skipping)\n");
    EXPECT_EQ(test::ReadFileText(dir.File("out.h")), header({}));
}

} // namespace
