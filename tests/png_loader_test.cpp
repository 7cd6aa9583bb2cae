// PNG loader: real files from ImageMagick and Pillow against ImageMagick's own
// decode, and damaged or hostile files built from them or byte by byte. In a
// build without libpng every file must be refused with kPngNotBuiltIn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "png_loader.h"
#include "test_support.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::ImagePtr;

// ---------------------------------------------------------------- file pieces

uint32_t n_Crc32(const uint8_t *p_bytes, size_t n_size)
{
    uint32_t n_crc = 0xFFFFFFFFu;
    for(size_t i = 0; i < n_size; ++i) {
        n_crc ^= p_bytes[i];
        for(int k = 0; k < 8; ++k)
            n_crc = (n_crc >> 1) ^ (0xEDB88320u & (0u - (n_crc & 1u)));
    }
    return ~n_crc;
}

Bytes Be32(uint32_t n_value)
{
    return Bytes{uint8_t(n_value >> 24), uint8_t(n_value >> 16), uint8_t(n_value >> 8), uint8_t(n_value)};
}

struct Chunk {
    std::string type;
    Bytes data;
};

const Bytes kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The signature and the chunks, each with its length and CRC.
Bytes PngFile(const std::vector<Chunk> &chunks)
{
    Bytes file = kSignature;
    for(const Chunk &chunk : chunks) {
        Bytes typed(chunk.type.begin(), chunk.type.end());
        typed.insert(typed.end(), chunk.data.begin(), chunk.data.end());
        file = test::Join({file, Be32(uint32_t(chunk.data.size())), typed, Be32(n_Crc32(typed.data(), typed.size()))});
    }
    return file;
}

// The chunks of a well-formed file.
std::vector<Chunk> ChunksOf(const Bytes &file)
{
    std::vector<Chunk> chunks;
    for(size_t n_at = kSignature.size(); n_at + 12 <= file.size();) {
        const uint32_t n_length = uint32_t(file[n_at] << 24 | file[n_at + 1] << 16 | file[n_at + 2] << 8 | file[n_at + 3]);
        chunks.push_back({std::string(file.begin() + long(n_at) + 4, file.begin() + long(n_at) + 8),
                          Bytes(file.begin() + long(n_at) + 8, file.begin() + long(n_at + 8 + n_length))});
        n_at += 12 + n_length;
    }
    return chunks;
}

Chunk Ihdr(uint32_t n_width, uint32_t n_height, uint8_t n_depth, uint8_t n_color_type, uint8_t n_interlace)
{
    return {"IHDR", test::Join({Be32(n_width), Be32(n_height), Bytes{n_depth, n_color_type, 0, 0, n_interlace}})};
}

// A file of exactly n_file_size bytes: the header, one IDAT of zero bytes
// (no valid zlib stream) and IEND.
Bytes DeclaringFile(const Chunk &ihdr, size_t n_file_size)
{
    return PngFile({ihdr, {"IDAT", Bytes(n_file_size - 57, 0)}, {"IEND", {}}});
}

class PngTest : public ::testing::Test {
protected:
    ImagePtr Load(const Bytes &bytes)
    {
        const std::string path = dir.File("image.png");
        EXPECT_TRUE(test::WriteFileBytes(path, bytes));
        return ImagePtr(LoadImageAtPath(LoadPngImage, path.c_str(), &failure));
    }

    // The cause with which the file is refused, or kNone when it loads.
    LoadFailure Refusal(const Bytes &bytes)
    {
        const ImagePtr p_image = Load(bytes);
        EXPECT_EQ(p_image == nullptr, failure != LoadFailure::kNone);
        return failure;
    }

    test::TempDir dir;
    LoadFailure failure = LoadFailure::kNone;
};

// ---------------------------------------------------------------- real files

struct FixtureCase {
    const char *p_name;
    uint8_t n_bpp;
    bool b_grayscale;
    bool b_alpha;
    int32_t n_width = 13;
    int32_t n_height = 7;
};

void PrintTo(const FixtureCase &c, std::ostream *p_os)
{
    *p_os << c.p_name;
}

class PngFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

// Each file decodes to exactly ImageMagick's pixels (on a big-endian machine
// too, where libpng is asked for the other byte order).
TEST_P(PngFixtureTest, MatchesImageMagicksDecode)
{
    const FixtureCase &c = GetParam();
    const std::string base = test::Fixture(std::string("png/") + c.p_name);
    LoadFailure failure;
    const ImagePtr p_image(LoadImageAtPath(LoadPngImage, (base + ".png").c_str(), &failure));
    if(!b_IsPngSupportBuiltIn()) {
        EXPECT_EQ(p_image, nullptr);
        EXPECT_EQ(failure, LoadFailure::kPngNotBuiltIn);
        return;
    }
    ASSERT_NE(p_image, nullptr) << DescribeLoadFailure(failure);
    EXPECT_EQ(failure, LoadFailure::kNone);
    ASSERT_EQ(p_image->n_width, c.n_width);
    ASSERT_EQ(p_image->n_height, c.n_height);
    EXPECT_EQ(p_image->n_bpp, c.n_bpp);
    EXPECT_EQ(p_image->b_grayscale, c.b_grayscale);
    EXPECT_EQ(p_image->b_alpha, c.b_alpha);
    const Bytes rgba = test::ReadFileBytes(base + ".rgba");
    ASSERT_EQ(rgba.size(), size_t(c.n_width) * size_t(c.n_height) * 4);
    for(size_t i = 0; i < rgba.size() / 4; ++i) {
        const uint32_t n_expected = (uint32_t(rgba[4 * i + 3]) << 24) | (uint32_t(rgba[4 * i]) << 16) |
                                    (uint32_t(rgba[4 * i + 1]) << 8) | rgba[4 * i + 2];
        ASSERT_EQ(p_image->p_buffer[i], n_expected) << "pixel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PngFixtureTest,
    ::testing::Values(
        // Gray, every depth; gray with alpha; gray with tRNS.
        FixtureCase{"im_gray1", 1, true, false}, FixtureCase{"im_gray2", 2, true, false},
        FixtureCase{"im_gray4", 4, true, false}, FixtureCase{"im_gray8", 8, true, false},
        FixtureCase{"im_gray16", 16, true, false}, FixtureCase{"im_ga8", 8, true, true},
        FixtureCase{"im_ga16", 16, true, true}, FixtureCase{"pil_la8", 8, true, true},
        FixtureCase{"pil_gray1_trns", 1, true, true}, FixtureCase{"pil_gray8_trns", 8, true, true},
        FixtureCase{"pil_gray16_trns", 16, true, true},
        // Truecolour with and without alpha or tRNS.
        FixtureCase{"im_rgb8", 8, false, false}, FixtureCase{"im_rgb16", 16, false, false},
        FixtureCase{"im_rgba8", 8, false, true}, FixtureCase{"im_rgba16", 16, false, true},
        FixtureCase{"pil_rgb8_trns", 8, false, true}, FixtureCase{"im_rgb16_trns", 16, false, true},
        // Palette of every depth, with and without tRNS.
        FixtureCase{"pil_pal1", 1, false, false}, FixtureCase{"pil_pal2_trns", 2, false, true},
        FixtureCase{"pil_pal4", 4, false, false}, FixtureCase{"pil_pal4_trns", 4, false, true},
        FixtureCase{"pil_pal8", 8, false, false}, FixtureCase{"pil_pal8_trns", 8, false, true},
        // Adam7.
        FixtureCase{"im_rgb8_interlaced", 8, false, false}, FixtureCase{"im_rgba16_interlaced", 16, false, true},
        FixtureCase{"im_gray1_interlaced", 1, true, false}, FixtureCase{"im_pal_interlaced", 8, false, false},
        FixtureCase{"im_rgba8_interlaced_3x2", 8, false, true, 3, 2},
        FixtureCase{"im_rgb8_interlaced_1x1", 8, false, false, 1, 1},
        // Colour-space chunks change nothing.
        FixtureCase{"im_rgb8_gama1", 8, false, false}, FixtureCase{"pil_rgb8_srgb", 8, false, false},
        FixtureCase{"pil_rgb8_iccp", 8, false, false}),
    [](const ::testing::TestParamInfo<FixtureCase> &info) { return std::string(info.param.p_name); });

// 2 KB holding 64 MB of pixels: the data check must not refuse what deflate
// really compressed that well.
TEST_F(PngTest, HighlyCompressedPictureLoads)
{
    const ImagePtr p_image = Load(test::ReadFileBytes(test::Fixture("png/flat_4000x4000.png")));
    if(!b_IsPngSupportBuiltIn())
        GTEST_SKIP() << "PNG support was not built in";
    ASSERT_NE(p_image, nullptr) << DescribeLoadFailure(failure);
    ASSERT_EQ(n_PixelCount(*p_image), 4000u * 4000u);
    for(uint64_t i = 0; i < n_PixelCount(*p_image); ++i)
        ASSERT_EQ(p_image->p_buffer[i], 0xFF3366CCu) << "pixel " << i;
}

// ---------------------------------------------------------------- refusals

TEST_F(PngTest, RefusesWhatIsNoPngFile)
{
    EXPECT_EQ(Refusal(test::ReadFileBytes(test::Fixture("tga/im_rgb24.tga"))), LoadFailure::kNotPng);
    EXPECT_EQ(Refusal({}), LoadFailure::kNotPng);
    EXPECT_EQ(Refusal({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, 'x'}), LoadFailure::kNotPng);
    const std::string missing = dir.File("missing.png");
    EXPECT_EQ(ImagePtr(LoadImageAtPath(LoadPngImage, missing.c_str(), &failure)), nullptr);
    EXPECT_EQ(failure, LoadFailure::kCannotOpen);
}

TEST_F(PngTest, RefusesDamagedFiles)
{
    if(!b_IsPngSupportBuiltIn()) {
        EXPECT_EQ(Refusal(test::ReadFileBytes(test::Fixture("png/im_rgb8.png"))), LoadFailure::kPngNotBuiltIn);
        GTEST_SKIP() << "PNG support was not built in";
    }
    // Signature, IHDR (8..32), gAMA (33..48), cHRM, bKGD, IDAT (111..851,
    // 729 bytes of data), IEND (the last 12 bytes).
    const Bytes file = test::ReadFileBytes(test::Fixture("png/im_rgba16_interlaced.png"));
    ASSERT_EQ(file.size(), 864u);
    for(size_t n_keep : {size_t(4), size_t(8), size_t(20), size_t(33), size_t(40), size_t(116), size_t(120),
                         size_t(500), size_t(851), file.size() - 12, file.size() - 1})
        EXPECT_EQ(Refusal(Bytes(file.begin(), file.begin() + long(n_keep))), LoadFailure::kTruncated) << n_keep;

    std::vector<Chunk> chunks = ChunksOf(file);
    ASSERT_EQ(chunks[4].type, "IDAT");
    const auto with = [&chunks](size_t n_chunk, const Bytes &data) {
        std::vector<Chunk> changed = chunks;
        changed[n_chunk].data = data;
        return PngFile(changed);
    };
    const auto flipped = [&file](size_t n_at) {
        Bytes changed = file;
        changed[n_at] ^= 0x01;
        return changed;
    };
    EXPECT_EQ(Refusal(flipped(32)), LoadFailure::kCorruptData) << "IHDR's CRC";
    EXPECT_EQ(Refusal(flipped(851)), LoadFailure::kCorruptData) << "IDAT's CRC";
    Bytes idat = chunks[4].data;
    idat[2] |= 0x06; // the first deflate block of the reserved type 3
    EXPECT_EQ(Refusal(with(4, idat)), LoadFailure::kCorruptData) << "deflate block type";
    idat = chunks[4].data;
    idat.resize(idat.size() / 2);
    EXPECT_EQ(Refusal(with(4, idat)), LoadFailure::kCorruptData) << "half the rows, then IEND";
    EXPECT_EQ(Refusal(with(0, Ihdr(13, 7, 16, 5, 1).data)), LoadFailure::kCorruptData) << "colour type 5";
    EXPECT_EQ(Refusal(with(0, Ihdr(13, 7, 3, 6, 1).data)), LoadFailure::kCorruptData) << "bit depth 3";
    EXPECT_EQ(Refusal(with(0, Ihdr(0, 7, 16, 6, 1).data)), LoadFailure::kCorruptData) << "width 0";

    // An ancillary chunk (gAMA) with a wrong CRC is skipped, not fatal.
    EXPECT_EQ(Refusal(flipped(47)), LoadFailure::kNone);
}

// A palette index with no palette entry is read as libpng reads it, opaque
// black, rather than from outside the palette.
TEST_F(PngTest, IndexBeyondThePaletteIsOpaqueBlack)
{
    if(!b_IsPngSupportBuiltIn())
        GTEST_SKIP() << "PNG support was not built in";
    const Bytes file = test::ReadFileBytes(test::Fixture("png/pil_pal1.png"));
    std::vector<Chunk> chunks = ChunksOf(file);
    ASSERT_EQ(chunks[1].type, "PLTE");
    ASSERT_EQ(chunks[1].data.size(), 6u);
    const ImagePtr p_full = Load(file);
    ASSERT_NE(p_full, nullptr);
    const uint32_t n_second_entry = 0xFF000000u | uint32_t(chunks[1].data[3] << 16 | chunks[1].data[4] << 8 | chunks[1].data[5]);
    chunks[1].data.resize(3); // index 1 loses its entry
    const ImagePtr p_cut = Load(PngFile(chunks));
    ASSERT_NE(p_cut, nullptr) << DescribeLoadFailure(failure);
    size_t n_black = 0;
    for(uint64_t i = 0; i < n_PixelCount(*p_full); ++i) {
        const bool b_lost = p_full->p_buffer[i] == n_second_entry;
        EXPECT_EQ(p_cut->p_buffer[i], b_lost ? 0xFF000000u : p_full->p_buffer[i]) << "pixel " << i;
        n_black += b_lost;
    }
    EXPECT_GT(n_black, 0u);
}

// The header is held against the file's size before anything is allocated:
// deflate gives at most 1032 bytes a byte, so more than 1032 x the file size
// plus 1024 of decoded rows (filter byte and samples, every Adam7 pass)
// cannot be there.
TEST_F(PngTest, RefusesPicturesTheDataCannotHold)
{
    if(!b_IsPngSupportBuiltIn())
        GTEST_SKIP() << "PNG support was not built in";
    // 1 KB declaring 65535 x 65535 of 16-bit RGBA.
    EXPECT_EQ(Refusal(DeclaringFile(Ihdr(65535, 65535, 16, 6, 0), 1024)), LoadFailure::kTooLarge);
    EXPECT_EQ(Refusal(DeclaringFile(Ihdr(65535, 65535, 1, 0, 1), 1024)), LoadFailure::kTooLarge);
    // More pixels than the Image can hold, whatever the data.
    EXPECT_EQ(Refusal(DeclaringFile(Ihdr(0x7FFFFFFF, 1, 1, 0, 0), 1024)), LoadFailure::kTooLarge);

    // The boundary, for a 1000-byte file: 1032 x 1000 + 1024 = 1033024
    // bytes; 8-bit gray rows of 1000 pixels take 1001 bytes, so 1031 rows fit
    // and 1032 do not. The rows that fit are then refused for their data.
    EXPECT_EQ(Refusal(DeclaringFile(Ihdr(1000, 1031, 8, 0, 0), 1000)), LoadFailure::kCorruptData);
    EXPECT_EQ(Refusal(DeclaringFile(Ihdr(1000, 1032, 8, 0, 0), 1000)), LoadFailure::kTooLarge);
    // 1-bit gray, 8 pixels wide: 2 bytes a row, but interlaced each of the
    // 15/8 x height pass rows takes 2 bytes as well.
    EXPECT_EQ(Refusal(DeclaringFile(Ihdr(8, 300000, 1, 0, 0), 1000)), LoadFailure::kCorruptData);
    EXPECT_EQ(Refusal(DeclaringFile(Ihdr(8, 300000, 1, 0, 1), 1000)), LoadFailure::kTooLarge);
}

} // namespace
