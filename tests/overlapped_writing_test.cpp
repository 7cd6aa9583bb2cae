// Writing the header while the picture loads: the same bytes as writing it
// after the load (one usable processor, `taskset -c 0`, turns the overlap
// off), also when a later JPEG scan withdraws rows the writer had already
// written; and a load that fails after rows were handed over leaves the
// header path as it was and no file of its own behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jpeg_decoder.h"
#include "png_loader.h"
#include "test_support.h"
#include "tga_reader.h"

namespace {

using test::Bytes;

const int kFailure = 255; // the program's -1 as the shell sees it

// A top-down 24-bit TGA of width x height pixels, each row its own shade.
[[maybe_unused]] Bytes TopDownTga(int n_width, int n_height)
{
    Bytes file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(n_width), uint8_t(n_width >> 8), uint8_t(n_height),
                  uint8_t(n_height >> 8), 24, 0x20};
    for(int y = 0; y < n_height; ++y)
        for(int x = 0; x < n_width; ++x)
            file.insert(file.end(), {uint8_t(x), uint8_t(y), uint8_t(x ^ y)});
    return file;
}

// A top-down run-length TGA of 300 x 400 pixels whose row n_bad_row has a
// packet running past its end (corrupt data, found only on reaching it).
Bytes TopDownRleTgaBrokenAt(int n_bad_row)
{
    Bytes file = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 300 & 0xFF, 300 >> 8, 400 & 0xFF, 400 >> 8, 24, 0x20};
    for(int y = 0; y < 400; ++y)
        for(const uint8_t n_packet : {uint8_t(0xFF), uint8_t(0xFF), uint8_t(y == n_bad_row ? 0xFF : 0x80 | 43)})
            file.insert(file.end(), {n_packet, uint8_t(y), uint8_t(n_packet), 7});
    return file;
}

// The JPEG with its first scan given twice: the second changes every row
// the first had completed, so the rows are withdrawn and handed over again.
[[maybe_unused]] Bytes WithScanTwice(const Bytes &file)
{
    size_t n_scan = 0;
    for(size_t i = 2; i + 1 < file.size() && !n_scan; ++i)
        if(file[i] == 0xFF && file[i + 1] == 0xDA)
            n_scan = i;
    const size_t n_end = file.size() - 2; // the end-of-image marker
    Bytes twice(file.begin(), file.begin() + n_end);
    twice.insert(twice.end(), file.begin() + n_scan, file.begin() + n_end);
    twice.insert(twice.end(), {0xFF, 0xD9});
    return twice;
}

TEST(OverlappedWriting, SameHeaderOnOneProcessorAsOnTwo)
{
#ifdef _WIN32
    GTEST_SKIP() << "taskset is a Linux tool";
#else
    if(test::Shell("taskset -c 0 true") != 0)
        GTEST_SKIP() << "taskset is not installed";
    test::TempDir dir;
    const Bytes jpeg = test::ReadFileBytes(test::Fixture("jpeg/cjpeg_420_1000x700.jpg"));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("tall.tga"), TopDownTga(300, 400)));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("twice.jpg"), WithScanTwice(jpeg)));
    std::vector<std::string> pictures = {test::Fixture("jpeg/cjpeg_420_1000x700.jpg"), dir.File("twice.jpg"),
                                         test::Fixture("cjpeg_progressive.jpg"), dir.File("tall.tga")};
    if(tarnwick::b_IsPngSupportBuiltIn())
        pictures.push_back(test::Fixture("fit/chelsea.png"));
    const std::vector<std::vector<std::string>> switch_sets = {
        {}, {"--gray"}, {"--rle"}, {"--rgb565-swapped", "--rle", "--stdint"}, {"--alpha8", "--rle"}};
    int n_compared = 0;
    for(const std::string &picture : pictures) {
        for(const std::vector<std::string> &switches : switch_sets) {
            std::vector<std::string> args = {picture, "two.h"};
            args.insert(args.end(), switches.begin(), switches.end());
            const test::RunResult two = test::RunTarnwick(args, dir.path());
            std::string one_processor = "cd '" + dir.path() + "' && taskset -c 0 " + test::TarnwickCommand();
            for(size_t i = 0; i < args.size(); ++i)
                one_processor += " '" + (i == 1 ? std::string("one.h") : args[i]) + "'";
            SCOPED_TRACE(one_processor);
            ASSERT_EQ(two.n_exit_status, 0) << two.err;
            ASSERT_EQ(test::Shell(one_processor + " >/dev/null"), 0);
            // The guard comes from the header's name; everything else must agree.
            std::string one = test::ReadFileText(dir.File("one.h"));
            const std::string written = test::ReadFileText(dir.File("two.h"));
            for(size_t n_at = one.find("ONE_H"); n_at != std::string::npos; n_at = one.find("ONE_H"))
                one.replace(n_at, 5, "TWO_H");
            EXPECT_TRUE(one == written);
            ++n_compared;
        }
    }
    EXPECT_EQ(n_compared, int(pictures.size() * switch_sets.size()));
#endif
}

TEST(OverlappedWriting, LoadFailingAfterRowsWereHandedOverChangesNothing)
{
    const struct {
        const char *p_name;
        tarnwick::ImageLoader p_load;
        Bytes file;
        size_t n_kept; // bytes of the file kept
    } cases[] = {
        {"broken.tga", tarnwick::LoadTgaImage, TopDownRleTgaBrokenAt(250), 18 + 400 * 12},
        {"cut.jpg", tarnwick::LoadJpegImage, test::ReadFileBytes(test::Fixture("jpeg/cjpeg_420_1000x700.jpg")),
         25000},
        {"cut.png", tarnwick::LoadPngImage, test::ReadFileBytes(test::Fixture("png/flat_4000x4000.png")), 2100},
    };
    test::TempDir dir;
    for(const auto &c : cases) {
        SCOPED_TRACE(c.p_name);
        if(c.p_load == tarnwick::LoadPngImage && !tarnwick::b_IsPngSupportBuiltIn())
            continue;
        ASSERT_LE(c.n_kept, c.file.size());
        const Bytes cut(c.file.begin(), c.file.begin() + std::ptrdiff_t(c.n_kept));
        // The loader hands rows over, then fails and withdraws them.
        test::RowRecorder recorder;
        tarnwick::ImageInput input = test::MemoryInput(cut);
        input.p_row_sink = recorder.sink();
        tarnwick::LoadFailure failure;
        EXPECT_EQ(c.p_load(input, &failure), nullptr);
        EXPECT_EQ(recorder.n_withdrawals, 1);

        const std::string picture = dir.File(c.p_name), header = dir.File("out.h");
        ASSERT_TRUE(test::WriteFileBytes(picture, cut));
        for(const bool b_first_run : {true, false}) {
            std::remove(header.c_str());
            if(!b_first_run) {
                ASSERT_TRUE(test::WriteFileText(header, "an older header\n"));
            }
            const test::RunResult run = test::RunTarnwick({picture, header, "--rle"});
            EXPECT_EQ(run.n_exit_status, kFailure);
            EXPECT_EQ(test::FileExists(header), !b_first_run);
            if(!b_first_run) {
                EXPECT_EQ(test::ReadFileText(header), "an older header\n");
            }
        }
        std::remove(header.c_str());
        std::remove(picture.c_str());
        EXPECT_TRUE(test::b_IsEmptyFolder(dir.path())) << "a file of the failed runs was left behind";
    }
}

} // namespace
