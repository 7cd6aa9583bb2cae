// WebP loader: headers and bitstreams built byte by byte (a lossless
// picture of one colour, whose pixels cost no bits, at any size), damaged
// and cut files. Real files against dwebp are in gif_webp_files_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "webp_loader.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::ImagePtr;

Bytes Le32(uint32_t n_value)
{
    return Bytes{uint8_t(n_value), uint8_t(n_value >> 8), uint8_t(n_value >> 16), uint8_t(n_value >> 24)};
}

// A RIFF WEBP file of one chunk.
Bytes WebpFile(const char *p_chunk_type, Bytes data)
{
    const uint32_t n_data = uint32_t(data.size());
    if(n_data & 1)
        data.push_back(0);
    return test::Join({Bytes{'R', 'I', 'F', 'F'}, Le32(uint32_t(12 + data.size())), Bytes{'W', 'E', 'B', 'P'},
                       Bytes(p_chunk_type, p_chunk_type + 4), Le32(n_data), data});
}

// A lossless bitstream of n_width x n_height pixels of one colour: the
// header, no transform, no colour cache, no entropy image, and five prefix
// codes of one symbol each (green, red, blue, alpha, distance), so that
// every pixel is read in zero bits.
Bytes FlatLosslessPicture(uint32_t n_width, uint32_t n_height, uint32_t n_argb)
{
    Bytes bytes;
    uint64_t n_bits = 0;
    uint32_t n_count = 0;
    const auto put = [&](uint32_t n_value, uint32_t n_width_bits) {
        n_bits |= uint64_t(n_value) << n_count;
        for(n_count += n_width_bits; n_count >= 8; n_count -= 8, n_bits >>= 8)
            bytes.push_back(uint8_t(n_bits));
    };
    put(0x2F, 8);
    put(n_width - 1, 14);
    put(n_height - 1, 14);
    put(1, 1); // alpha is used
    put(0, 3); // version
    put(0, 1); // no transform
    put(0, 1); // no colour cache
    put(0, 1); // no entropy image
    for(uint32_t n_symbol : {(n_argb >> 8) & 0xFF, (n_argb >> 16) & 0xFF, n_argb & 0xFF, n_argb >> 24, 0u}) {
        put(1, 1); // a simple code
        put(0, 1); // of one symbol
        put(1, 1); // of 8 bits
        put(n_symbol, 8);
    }
    if(n_count)
        bytes.push_back(uint8_t(n_bits));
    return WebpFile("VP8L", bytes);
}

class WebpTest : public ::testing::Test {
protected:
    ImagePtr Load(const Bytes &bytes, uint32_t n_frame = 0)
    {
        const ImageInput input = test::MemoryInput(bytes, n_frame);
        ImagePtr p_image(LoadWebpImage(input, &failure));
        EXPECT_EQ(p_image == nullptr, failure != LoadFailure::kNone);
        return p_image;
    }
    LoadFailure Refusal(const Bytes &bytes, uint32_t n_frame = 0)
    {
        Load(bytes, n_frame);
        return failure;
    }
    void SetUp() override
    {
        if(!b_IsWebpSupportBuiltIn())
            GTEST_SKIP() << "WebP support was not built in";
    }

    LoadFailure failure = LoadFailure::kNone;
};

TEST(WebpFiles, RefuseWhatIsNoWebpFile)
{
    // Built in or not: the RIFF header is checked first.
    const struct {
        Bytes bytes;
        LoadFailure failure;
    } cases[] = {
        {{}, LoadFailure::kNotWebp},
        {{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, LoadFailure::kNotWebp},
        {{'R', 'I', 'F'}, LoadFailure::kTruncated},
        {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B'}, LoadFailure::kTruncated},
        {test::ReadFileBytes(test::Fixture("gif/im_still.gif")), LoadFailure::kNotWebp},
    };
    for(const auto &c : cases) {
        LoadFailure failure;
        EXPECT_EQ(ImagePtr(LoadWebpImage(test::MemoryInput(c.bytes), &failure)), nullptr);
        EXPECT_EQ(failure, c.failure) << c.bytes.size() << " bytes";
    }
}

// Lossless data can cost no bits per pixel, so the picture is held against
// the file: more than 32768 pixels for each byte of the file is refused
// before the pixels are allocated.
TEST_F(WebpTest, RefusesPicturesTooLargeForTheFile)
{
    const ImagePtr p_small = Load(FlatLosslessPicture(5, 3, 0x80336699));
    ASSERT_NE(p_small, nullptr) << DescribeLoadFailure(failure);
    for(uint64_t i = 0; i < n_PixelCount(*p_small); ++i)
        ASSERT_EQ(p_small->p_buffer[i], 0x80336699u) << "pixel " << i;
    // The header's sizes do not change the file's length.
    const uint32_t n_rows = uint32_t(FlatLosslessPicture(1, 1, 0).size()) * 2;
    const ImagePtr p_limit = Load(FlatLosslessPicture(16384, n_rows, 0xFF102030));
    ASSERT_NE(p_limit, nullptr) << DescribeLoadFailure(failure);
    EXPECT_EQ(p_limit->p_buffer[n_PixelCount(*p_limit) - 1], 0xFF102030u);
    EXPECT_EQ(Refusal(FlatLosslessPicture(16384, n_rows + 1, 0xFF102030)), LoadFailure::kTooLarge);
    EXPECT_EQ(Refusal(FlatLosslessPicture(16383, 16383, 0xFF102030)), LoadFailure::kTooLarge);
}

TEST_F(WebpTest, RefusesDamagedFiles)
{
    // RIFF sizes of 0 to 3 leave out the form type, which is there: from a
    // file (read into a block of the declared size) and from memory.
    test::TempDir dir;
    for(uint8_t n_riff_size : {0, 3}) {
        const Bytes header = {'R', 'I', 'F', 'F', n_riff_size, 0, 0, 0, 'W', 'E', 'B', 'P', 0, 0, 0, 0};
        ASSERT_TRUE(test::WriteFileBytes(dir.File("short.webp"), header));
        EXPECT_EQ(ImagePtr(LoadImageAtPath(LoadWebpImage, dir.File("short.webp").c_str(), &failure)), nullptr);
        EXPECT_EQ(failure, LoadFailure::kCorruptData) << "RIFF size " << int(n_riff_size);
        EXPECT_EQ(Refusal(header), LoadFailure::kCorruptData) << "RIFF size " << int(n_riff_size);
    }

    const Bytes lossy = test::ReadFileBytes(test::Fixture("webp/cwebp_lossy_q50.webp"));
    ASSERT_EQ(std::string(lossy.begin() + 12, lossy.begin() + 16), "VP8 ");
    Bytes damaged = lossy;
    damaged[23] ^= 0xFF; // the key frame's start code 9d 01 2a
    EXPECT_EQ(Refusal(damaged), LoadFailure::kCorruptData) << "start code";
    damaged = lossy;
    damaged[12] = 'X'; // a chunk of no known type where the picture should be
    EXPECT_EQ(Refusal(damaged), LoadFailure::kCorruptData) << "chunk type";
    // The frame of an animation placed past its canvas (7 pixels wide at X
    // offset 24 of a 30 x 24 canvas).
    Bytes animation = test::ReadFileBytes(test::Fixture("webp/gif2webp_partial_screen.webp"));
    const size_t n_anmf = std::string(animation.begin(), animation.end()).find("ANMF");
    ASSERT_NE(n_anmf, std::string::npos);
    animation[n_anmf + 8] = 12; // X offset, in units of 2 pixels
    EXPECT_EQ(Refusal(animation), LoadFailure::kCorruptData) << "frame past the canvas";
}

// A file cut anywhere is shorter than its RIFF header declares and is
// refused unread. With the header's size made to agree with the cut, libwebp
// finds the chunks or the picture's data incomplete, unless the cut leaves
// whole chunks that hold the whole picture (the pad byte after a chunk of
// odd size, an animation's later frames): never a part of the picture.
TEST_F(WebpTest, CutAtEveryLength)
{
    for(const char *p_name : {"webp/cwebp_lossy_alpha_q50.webp", "webp/cwebp_lossless_alpha.webp",
                              "webp/gif2webp_disc.webp"}) {
        const Bytes file = test::ReadFileBytes(test::Fixture(p_name));
        const ImagePtr p_whole = Load(file);
        ASSERT_NE(p_whole, nullptr) << p_name;
        const std::vector<uint32_t> whole(p_whole->p_buffer, p_whole->p_buffer + n_PixelCount(*p_whole));
        size_t n_whole_pictures = 0;
        for(size_t n_keep = 0; n_keep < file.size(); ++n_keep) {
            Bytes cut(file.begin(), file.begin() + long(n_keep));
            ASSERT_EQ(Refusal(cut), n_keep ? LoadFailure::kTruncated : LoadFailure::kNotWebp) << p_name << " " << n_keep;
            if(n_keep < 20)
                continue;
            const Bytes riff_size = Le32(uint32_t(n_keep - 8));
            std::copy(riff_size.begin(), riff_size.end(), cut.begin() + 4);
            if(const ImagePtr p_image = Load(cut)) {
                ASSERT_EQ(std::vector<uint32_t>(p_image->p_buffer, p_image->p_buffer + n_PixelCount(*p_image)), whole)
                    << p_name << " " << n_keep;
                ++n_whole_pictures;
            } else {
                ASSERT_TRUE(failure == LoadFailure::kTruncated || failure == LoadFailure::kCorruptData)
                    << p_name << " " << n_keep << ": " << DescribeLoadFailure(failure);
            }
        }
        EXPECT_LE(n_whole_pictures, 8u) << p_name;
    }
}

} // namespace
