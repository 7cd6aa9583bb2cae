// Real JPEG files decoded end to end through JpegDecoder::Decode and compared
// with libjpeg-turbo's float inverse DCT and replicating upsampler
// (djpeg -dct float -nosmooth; references committed next to the files).
//
// The two decoders differ by design: libjpeg rounds the inverse DCT and the
// colour conversion where this decoder truncates toward zero, so a channel
// may differ by a few levels. Over the fixtures the differences measure
// 43.7 to 45.1 dB PSNR with at most 4 levels for colour, and 50.9 to 51.2 dB
// with at most 1 level for gray. The limits below sit just outside that and
// well inside what real faults give: a swapped pair of zigzag entries, even
// the last two, gives differences of 10 or more levels; swapped chroma
// planes below 23 dB; a run or band of upsampling off by one pixel or row,
// below 33 dB and 20 levels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "jpeg_decoder.h"
#include "jpeg_test_support.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::ExpectCloseToReference;
using test::ImagePtr;

class JpegFile : public ::testing::TestWithParam<const char *> {};

TEST_P(JpegFile, MatchesLibjpegWithinTruncationDifferences)
{
    const std::string base = test::Fixture("jpeg/") + GetParam();
    const std::string reference = test::FileExists(base + ".pgm") ? base + ".pgm" : base + ".ppm";
    ExpectCloseToReference(base + ".jpg", reference);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, JpegFile,
    ::testing::Values(
        // cjpeg: every sampling, gray, sizes down to one pixel.
        "cjpeg_444", "cjpeg_422", "cjpeg_420", "cjpeg_440", "cjpeg_411", "cjpeg_gray", "cjpeg_gray_7x3",
        "cjpeg_420_1x1", "cjpeg_420_7x3", "cjpeg_420_17x9",
        // Restart intervals of one MCU row and of three MCUs; optimised tables.
        "cjpeg_420_restart_row", "cjpeg_444_restart_3b", "cjpeg_420_optimize",
        // One scan per component, and a gray component declaring 2 x 2.
        "cjpeg_444_scans", "cjpeg_420_scans_restart", "cjpeg_gray_2x2",
        // Other encoders; comment, EXIF and ICC segments.
        "magick_420", "magick_440", "magick_422_17x9_comment", "pillow_444", "pillow_422_comment",
        "pillow_420_exif_icc", "pillow_gray"),
    [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });

// About 1000 x 700 pixels: more than one 16 KiB input block, 2800 MCUs. The
// reference is too large to commit, so djpeg makes it when it is installed.
TEST(JpegLargeFile, MatchesLibjpegWithinTruncationDifferences)
{
    if(test::Shell("command -v djpeg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "djpeg is not installed";
    test::TempDir temp;
    const std::string jpeg = test::Fixture("jpeg/cjpeg_420_1000x700.jpg");
    const std::string reference = temp.File("reference.ppm");
    ASSERT_EQ(test::Shell("djpeg -dct float -nosmooth '" + jpeg + "' > '" + reference + "'"), 0);
    ExpectCloseToReference(jpeg, reference);
}

// Every prefix of real files, with and without an end-of-image marker
// appended: the decode fails or yields an image of the declared size, and
// never reads or writes outside its tables and planes (sanitizer build).
TEST(JpegTruncated, EveryPrefixFailsCleanly)
{
    for(const char *p_name : {"cjpeg_420_17x9.jpg", "cjpeg_420_scans_restart.jpg", "magick_422_17x9_comment.jpg",
                              "cjpeg_prog_420_17x9.jpg", "cjpeg_prog_gray_approximation_restart.jpg"}) {
        const Bytes whole = test::ReadFileBytes(test::Fixture(std::string("jpeg/") + p_name));
        ASSERT_FALSE(whole.empty()) << p_name;
        ASSERT_TRUE(test::DecodeJpegBytes(whole)) << p_name;
        for(size_t n_length = 0; n_length < whole.size(); ++n_length) {
            Bytes prefix(whole.begin(), whole.begin() + long(n_length));
            EXPECT_FALSE(test::DecodeJpegBytes(prefix)) << p_name << " cut to " << n_length << " bytes";
            prefix.insert(prefix.end(), {0xFF, 0xD9});
            ImagePtr p_image = test::DecodeJpegBytes(prefix);
            if(p_image) {
                const ImagePtr p_whole = test::DecodeJpegBytes(whole);
                EXPECT_EQ(p_image->n_width, p_whole->n_width) << p_name << " cut to " << n_length;
                EXPECT_EQ(p_image->n_height, p_whole->n_height) << p_name << " cut to " << n_length;
            }
        }
    }
}

// Each byte of a small file inverted in turn: whatever the decode makes of
// it, it ends, and within its memory.
TEST(JpegCorrupted, EveryInvertedByteEndsCleanly)
{
    for(const char *p_name : {"cjpeg_420_17x9.jpg", "cjpeg_prog_420_17x9.jpg"}) {
        const Bytes whole = test::ReadFileBytes(test::Fixture(std::string("jpeg/") + p_name));
        ASSERT_FALSE(whole.empty());
        int n_decoded = 0;
        for(size_t i = 0; i < whole.size(); ++i) {
            Bytes corrupted = whole;
            corrupted[i] ^= 0xFF;
            n_decoded += test::DecodeJpegBytes(corrupted) != nullptr;
        }
        // Inverting the skipped APP0 body, say, still decodes; inverting the
        // start-of-image marker never does.
        EXPECT_GT(n_decoded, 0) << p_name;
        EXPECT_LT(n_decoded, int(whole.size())) << p_name;
    }
}

// The typical run: a JPEG photo to a run-length packed header, verbose.
TEST(JpegConversion, PhotoToPackedHeaderPrintsExactlyTheProgressLines)
{
    test::TempDir dir;
    const std::string photo = dir.File("photo.jpg");
    ASSERT_TRUE(test::CopyFile(test::Fixture("jpeg/cjpeg_420_17x9.jpg"), photo));
    const test::RunResult result = test::RunTarnwick({photo, dir.File("photo.h"), "--rle", "--verbose"});
    EXPECT_EQ(result.n_exit_status, 0);
    EXPECT_EQ(result.out, "loading image in JPEG format ...\nwriting image data ... ok\n");
    EXPECT_EQ(result.err, "");
    // Names come from the paths as given, here with the temporary folder.
    const std::string header = test::ReadFileText(dir.File("photo.h"));
    EXPECT_NE(header.find("PHOTO_H_INCLUDED\n"), std::string::npos) << header;
    EXPECT_NE(header.find("_photo_jpg_width = 17;"), std::string::npos) << header;
    EXPECT_NE(header.find("_photo_jpg_height = 9;"), std::string::npos) << header;
}

} // namespace
