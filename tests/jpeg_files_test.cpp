// Real JPEG files, sequential and progressive, decoded end to end through
// JpegDecoder::Decode and compared with libjpeg-turbo's float inverse DCT and
// replicating upsampler (djpeg -dct float -nosmooth); every inverted byte of
// two of them; and a conversion of one to a header.
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

// The reference is committed next to the file (NAME.ppm, or NAME.pgm for
// gray); a file whose reference is too large to commit gets it from djpeg
// at test time.
TEST_P(JpegFile, MatchesLibjpegWithinTruncationDifferences)
{
    const std::string base = test::Fixture("jpeg/") + GetParam();
    for(const char *p_extension : {".pgm", ".ppm"})
        if(test::FileExists(base + p_extension)) {
            ExpectCloseToReference(base + ".jpg", base + p_extension);
            return;
        }
    if(test::Shell("command -v djpeg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "djpeg is not installed";
    test::TempDir temp;
    const std::string reference = temp.File("reference.ppm");
    ASSERT_EQ(test::Shell("djpeg -dct float -nosmooth '" + base + ".jpg' > '" + reference + "'"), 0);
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
        "pillow_420_exif_icc", "pillow_gray",
        // About 1000 x 700 pixels: more than one 16 KiB input block, 2800 MCUs.
        "cjpeg_420_1000x700",
        // cjpeg's progressive script: 4:4:4, 4:2:2, 4:2:0, gray, 17 x 9,
        // restart intervals of one MCU row and of three blocks.
        "cjpeg_prog_444", "cjpeg_prog_422", "cjpeg_prog_420", "cjpeg_prog_gray", "cjpeg_prog_420_17x9",
        "cjpeg_prog_420_restart_row", "cjpeg_prog_444_restart_3b",
        // Scripts of cjpeg -scans: successive approximation down from bit 3,
        // DC scans of one and two components; gray with restarts.
        "cjpeg_prog_420_approximation", "cjpeg_prog_gray_approximation_restart",
        // Progressive files of jpegtran, ImageMagick and Pillow.
        "jpegtran_prog_411_restart", "magick_prog_420", "magick_prog_422_17x9", "pillow_prog_422",
        "pillow_prog_420_optimize", "pillow_prog_gray",
        // RGB: IDs 'R', 'G', 'B' and an Adobe segment of transform 0.
        "cjpeg_rgb", "cjpeg_rgb_prog_17x9"),
    [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });

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
