// TGA reader: real files from ImageMagick and Pillow against ImageMagick's own
// decode, and hand-built byte strings for the pixel kinds, colour maps, row
// orders, run-length packets and every refusal.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "test_support.h"
#include "tga_reader.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::ImagePtr;
using test::Join;

struct TgaFields {
    uint8_t n_id_length = 0;
    uint8_t n_image_type = 2;
    uint16_t n_first_entry = 0;
    uint16_t n_map_length = 0;
    uint8_t n_map_entry_bits = 0;
    uint16_t n_width = 1;
    uint16_t n_height = 1;
    uint8_t n_pixel_bits = 24;
    uint8_t n_descriptor = 0x20;
};

Bytes TgaHeaderBytes(const TgaFields &f)
{
    return Bytes{f.n_id_length, 0, f.n_image_type,
                 uint8_t(f.n_first_entry), uint8_t(f.n_first_entry >> 8),
                 uint8_t(f.n_map_length), uint8_t(f.n_map_length >> 8), f.n_map_entry_bits,
                 0, 0, 0, 0,
                 uint8_t(f.n_width), uint8_t(f.n_width >> 8),
                 uint8_t(f.n_height), uint8_t(f.n_height >> 8),
                 f.n_pixel_bits, f.n_descriptor};
}

class TgaTest : public ::testing::Test {
protected:
    // Loads a file holding the bytes; the cause goes to failure.
    ImagePtr Load(const Bytes &bytes)
    {
        const std::string path = dir.File("image.tga");
        EXPECT_TRUE(test::WriteFileBytes(path, bytes));
        return ImagePtr(LoadImageAtPath(LoadTgaImage, path.c_str(), &failure));
    }

    std::vector<uint32_t> Pixels(const Image &image)
    {
        return std::vector<uint32_t>(image.p_buffer, image.p_buffer + n_PixelCount(image));
    }

    test::TempDir dir;
    LoadFailure failure = LoadFailure::kNone;
};

const TgaColorMap kNoColorMap = {nullptr, 0, 0};

// ---------------------------------------------------------------- real files

struct FixtureCase {
    const char *p_name;
    uint8_t n_bpp;
    bool b_grayscale;
};

class TgaFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(TgaFixtureTest, MatchesImageMagicksDecode)
{
    const std::string base = test::Fixture(std::string("tga/") + GetParam().p_name);
    LoadFailure failure;
    ImagePtr p_image(LoadImageAtPath(LoadTgaImage, (base + ".tga").c_str(), &failure));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(failure, LoadFailure::kNone);
    const Bytes rgba = test::ReadFileBytes(base + ".rgba");
    ASSERT_EQ(p_image->n_width, 13);
    ASSERT_EQ(p_image->n_height, 7);
    ASSERT_EQ(rgba.size(), 13u * 7u * 4u);
    EXPECT_EQ(p_image->n_bpp, GetParam().n_bpp);
    EXPECT_EQ(p_image->b_grayscale, GetParam().b_grayscale);
    EXPECT_EQ(p_image->b_alpha, GetParam().n_bpp == 32);
    for(size_t i = 0; i < 13 * 7; ++i) {
        const uint32_t n_expected = (uint32_t(rgba[4 * i + 3]) << 24) | (uint32_t(rgba[4 * i]) << 16) |
                                    (uint32_t(rgba[4 * i + 1]) << 8) | rgba[4 * i + 2];
        ASSERT_EQ(p_image->p_buffer[i], n_expected) << "pixel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, TgaFixtureTest,
    ::testing::Values(
        FixtureCase{"im_rgb24", 24, false}, FixtureCase{"im_rgb24_rle", 24, false},
        FixtureCase{"im_rgba32", 32, false}, FixtureCase{"im_rgba32_rle", 32, false},
        FixtureCase{"im_gray", 8, true}, FixtureCase{"im_gray_rle", 8, true},
        FixtureCase{"im_pal24", 24, false}, FixtureCase{"im_pal24_rle", 24, false},
        FixtureCase{"pil_rgb24_top", 24, false}, FixtureCase{"pil_rgb24_top_rle", 24, false},
        FixtureCase{"pil_rgb24_bottom", 24, false}, FixtureCase{"pil_rgb24_bottom_rle", 24, false},
        FixtureCase{"pil_rgba32_top", 32, false}, FixtureCase{"pil_rgba32_top_rle", 32, false},
        FixtureCase{"pil_rgba32_bottom", 32, false}, FixtureCase{"pil_rgba32_bottom_rle", 32, false},
        FixtureCase{"pil_gray_top", 8, true}, FixtureCase{"pil_gray_top_rle", 8, true},
        FixtureCase{"pil_gray_bottom", 8, true}, FixtureCase{"pil_gray_bottom_rle", 8, true},
        FixtureCase{"pil_pal24_top", 24, false}, FixtureCase{"pil_pal24_top_rle", 24, false},
        FixtureCase{"pil_pal24_bottom", 24, false}, FixtureCase{"pil_pal24_bottom_rle", 24, false}),
    [](const ::testing::TestParamInfo<FixtureCase> &info) { return std::string(info.param.p_name); });

// --------------------------------------------------------------- pixel kinds

TEST(TgaPixelKinds, Expand16BitPixelWidensByTruncatedScaling)
{
    EXPECT_EQ(Expand16BitPixel(0x7FFF), 0xFFFFFFFFu);
    EXPECT_EQ(Expand16BitPixel(0x8000), 0xFF000000u); // bit 15 ignored
    EXPECT_EQ(Expand16BitPixel(0x7C00), 0xFFFF0000u);
    EXPECT_EQ(Expand16BitPixel(0x03E0), 0xFF00FF00u);
    EXPECT_EQ(Expand16BitPixel(0x001F), 0xFF0000FFu);
    EXPECT_EQ(Expand16BitPixel(0x0421), 0xFF080808u);
    // Channel values 3, 4, 5, 30 give 24, 32, 41, 246: neither rounding nor bit replication.
    const uint8_t expected[] = {24, 32, 41, 246};
    const uint16_t channels[] = {3, 4, 5, 30};
    for(int i = 0; i < 4; ++i)
        EXPECT_EQ(Expand16BitPixel(channels[i]), 0xFF000000u | expected[i]) << channels[i];
}

TEST_F(TgaTest, RawKindsConvertEachFilePixel)
{
    uint32_t pixel = 0;
    test::BytesStream rgb({0x10, 0x20, 0x30});
    EXPECT_TRUE(ReadRawPixels(&pixel, 1, rgb.get(), TgaPixelKind::k24Bit, kNoColorMap));
    EXPECT_EQ(pixel, 0xFF302010u);

    test::BytesStream rgba({0x10, 0x20, 0x30, 0x00});
    EXPECT_TRUE(ReadRawPixels(&pixel, 1, rgba.get(), TgaPixelKind::k32Bit, kNoColorMap));
    EXPECT_EQ(pixel, 0x00302010u); // an alpha of 0 stays 0

    test::BytesStream sixteen({0x21, 0x04});
    EXPECT_TRUE(ReadRawPixels(&pixel, 1, sixteen.get(), TgaPixelKind::k16Bit, kNoColorMap));
    EXPECT_EQ(pixel, 0xFF080808u);
}

TEST_F(TgaTest, RawReadsStopExactlyAfterTheirPixels)
{
    Bytes data(300, 0x55);
    data.push_back(0xEE); // must not be consumed
    test::BytesStream file(data);
    std::vector<uint32_t> pixels(300, 0xDEADBEEF);

    EXPECT_TRUE(ReadRawPixels(pixels.data(), 0, file.get(), TgaPixelKind::k24Bit, kNoColorMap));
    EXPECT_EQ(file.position(), 0u);
    EXPECT_EQ(pixels[0], 0xDEADBEEFu);

    EXPECT_TRUE(ReadRawPixels(pixels.data(), 100, file.get(), TgaPixelKind::k24Bit, kNoColorMap));
    EXPECT_EQ(file.position(), 300u);
    EXPECT_EQ(pixels[99], 0xFF555555u);
    EXPECT_EQ(pixels[100], 0xDEADBEEFu);

    // 257 one-byte pixels span two staging blocks.
    Bytes indexes(258);
    for(size_t i = 0; i < indexes.size(); ++i)
        indexes[i] = uint8_t(i);
    test::BytesStream index_file(indexes);
    uint32_t ramp[256];
    for(uint32_t i = 0; i < 256; ++i)
        ramp[i] = 0xFF000000u + i * 0x010101u;
    std::vector<uint32_t> out(257, 0);
    EXPECT_TRUE(ReadRawPixels(out.data(), 257, index_file.get(), TgaPixelKind::kIndex, TgaColorMap{ramp, 256, 0}));
    EXPECT_EQ(index_file.position(), 257u);
    EXPECT_EQ(out[255], 0xFFFFFFFFu);
    EXPECT_EQ(out[256], 0xFF000000u); // byte 256 & 0xFF = 0
    EXPECT_FALSE(ReadRawPixels(out.data(), 2, index_file.get(), TgaPixelKind::kIndex, TgaColorMap{ramp, 256, 0}));
}

// ------------------------------------------------------------ whole images

TEST_F(TgaTest, SixteenBitTrueColourInBothRowOrders)
{
    // 2 x 2: top row red, white; bottom row green, blue.
    const Bytes top = {0x00, 0x7C, 0xFF, 0x7F}, bottom = {0xE0, 0x03, 0x1F, 0x00};
    TgaFields fields;
    fields.n_width = 2;
    fields.n_height = 2;
    fields.n_pixel_bits = 16;
    fields.n_descriptor = 0x20;
    ImagePtr p_top_first = Load(Join({TgaHeaderBytes(fields), top, bottom}));
    fields.n_descriptor = 0x00;
    ImagePtr p_bottom_first = Load(Join({TgaHeaderBytes(fields), bottom, top}));
    ASSERT_NE(p_top_first, nullptr);
    ASSERT_NE(p_bottom_first, nullptr);
    const std::vector<uint32_t> expected = {0xFFFF0000, 0xFFFFFFFF, 0xFF00FF00, 0xFF0000FF};
    EXPECT_EQ(Pixels(*p_top_first), expected);
    EXPECT_EQ(Pixels(*p_bottom_first), expected);
    EXPECT_EQ(p_top_first->n_bpp, 16);
    EXPECT_FALSE(p_top_first->b_alpha);
    EXPECT_FALSE(p_top_first->b_grayscale);
}

TEST_F(TgaTest, ColourMapsOfEveryEntrySize)
{
    TgaFields fields;
    fields.n_image_type = 1;
    fields.n_map_length = 2;
    fields.n_width = 3;
    fields.n_pixel_bits = 8;
    const Bytes indexes = {1, 0, 1};

    fields.n_map_entry_bits = 16;
    ImagePtr p_image = Load(Join({TgaHeaderBytes(fields), {0x00, 0x7C, 0x1F, 0x00}, indexes}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000, 0xFF0000FF}));
    EXPECT_EQ(p_image->n_bpp, 16);

    fields.n_map_entry_bits = 24;
    p_image = Load(Join({TgaHeaderBytes(fields), {1, 2, 3, 4, 5, 6}, indexes}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0xFF060504, 0xFF030201, 0xFF060504}));

    // A 32-bit map gives each pixel the alpha of its entry.
    fields.n_map_entry_bits = 32;
    p_image = Load(Join({TgaHeaderBytes(fields), {1, 2, 3, 0x40, 5, 6, 7, 0x80}, indexes}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0x80070605, 0x40030201, 0x80070605}));
    EXPECT_EQ(p_image->n_bpp, 32);
    EXPECT_TRUE(p_image->b_alpha);
}

TEST_F(TgaTest, IndexesOutsideTheColourMapGiveTransparentBlack)
{
    TgaFields fields;
    fields.n_image_type = 1;
    fields.n_first_entry = 16;
    fields.n_map_length = 4;
    fields.n_map_entry_bits = 24;
    fields.n_width = 4;
    const Bytes map = {0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4};
    ImagePtr p_image = Load(Join({TgaHeaderBytes(fields), map, {15, 16, 19, 20}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0x00000000, 0xFF010000, 0xFF040000, 0x00000000}));

    // No colour map at all: every pixel is 0, whatever the entry size says.
    fields.n_map_length = 0;
    fields.n_map_entry_bits = 15;
    p_image = Load(Join({TgaHeaderBytes(fields), {0, 1, 255, 16}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>(4, 0)));
    EXPECT_EQ(p_image->n_bpp, 15);
}

TEST_F(TgaTest, GrayImagesUseARampAndIgnoreTheirDeclaredMap)
{
    TgaFields fields;
    fields.n_image_type = 3;
    fields.n_map_length = 7; // no effect: no entries are stored for gray images
    fields.n_map_entry_bits = 24;
    fields.n_pixel_bits = 16; // not consulted
    fields.n_width = 3;
    ImagePtr p_image = Load(Join({TgaHeaderBytes(fields), {0x00, 0x4C, 0xFF}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0xFF000000, 0xFF4C4C4C, 0xFFFFFFFF}));
    EXPECT_EQ(p_image->n_bpp, 8);
    EXPECT_TRUE(p_image->b_grayscale);
    EXPECT_FALSE(p_image->b_alpha);

    // A first entry index shifts the ramp like any colour map.
    fields.n_first_entry = 1;
    p_image = Load(Join({TgaHeaderBytes(fields), {0x00, 0x01, 0xFF}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0x00000000, 0xFF000000, 0xFFFEFEFE}));
}

TEST_F(TgaTest, ImageIdTrueColourMapAndFooterArePassedOver)
{
    TgaFields fields;
    fields.n_id_length = 3;
    fields.n_map_length = 2;
    fields.n_map_entry_bits = 15; // two bytes per entry
    fields.n_width = 2;
    fields.n_image_type = 33;     // only the low bits count: 33 reads as class 1
    const Bytes id = {'a', 'b', 'c'}, map = {0xFF, 0x7F, 0x00, 0x00};
    ImagePtr p_image = Load(Join({TgaHeaderBytes(fields), id, map, {1, 0}}));
    ASSERT_EQ(p_image, nullptr); // a 15-bit colour map is refused
    EXPECT_EQ(failure, LoadFailure::kUnsupportedTgaDepth);

    fields.n_image_type = 2;      // true colour: the map is skipped
    p_image = Load(Join({TgaHeaderBytes(fields), id, map, {1, 2, 3, 4, 5, 6}, {'f', 'o', 'o', 't'}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0xFF030201, 0xFF060504}));

    fields.n_image_type = 33;
    fields.n_map_entry_bits = 16;
    p_image = Load(Join({TgaHeaderBytes(fields), id, map, {1, 0}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0xFF000000, 0xFFFFFFFF}));
}

// A picture without pixels would give an array of no items, which does not
// compile: refused whatever its depth.
TEST_F(TgaTest, EmptyImagesAreRefused)
{
    for(uint8_t n_depth : {8, 15, 24}) {
        TgaFields fields;
        fields.n_pixel_bits = n_depth;
        fields.n_width = 0;
        fields.n_height = 5;
        EXPECT_EQ(Load(TgaHeaderBytes(fields)), nullptr) << int(n_depth);
        EXPECT_EQ(failure, LoadFailure::kEmptyImage);
        fields.n_width = 5;
        fields.n_height = 0;
        EXPECT_EQ(Load(TgaHeaderBytes(fields)), nullptr) << int(n_depth);
        EXPECT_EQ(failure, LoadFailure::kEmptyImage);
    }
}

TEST_F(TgaTest, RefusesWhatItCannotReadWithTheCause)
{
    TgaFields fields;
    for(uint8_t n_type : {0, 4, 5, 6, 7, 12, 15}) {
        fields.n_image_type = n_type;
        EXPECT_EQ(Load(Join({TgaHeaderBytes(fields), {1, 2, 3}})), nullptr) << int(n_type);
        EXPECT_EQ(failure, LoadFailure::kUnsupportedTgaClass) << int(n_type);
    }
    fields.n_image_type = 2;
    for(uint8_t n_depth : {0, 8, 15, 33}) {
        fields.n_pixel_bits = n_depth;
        EXPECT_EQ(Load(Join({TgaHeaderBytes(fields), {1, 2, 3, 4}})), nullptr) << int(n_depth);
        EXPECT_EQ(failure, LoadFailure::kUnsupportedTgaDepth) << int(n_depth);
    }
    // A JPEG file: its third byte 0xFF makes class 7.
    EXPECT_EQ(Load({0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}), nullptr);
    EXPECT_EQ(failure, LoadFailure::kUnsupportedTgaClass);
    EXPECT_EQ(Load({}), nullptr);
    EXPECT_EQ(failure, LoadFailure::kTruncated);
    EXPECT_EQ(LoadImageAtPath(LoadTgaImage, dir.File("missing.tga").c_str(), &failure), nullptr);
    EXPECT_EQ(failure, LoadFailure::kCannotOpen);
}

TEST_F(TgaTest, TruncationAtEveryLengthIsRefused)
{
    TgaFields fields;
    fields.n_image_type = 1;
    fields.n_id_length = 2;
    fields.n_map_length = 2;
    fields.n_map_entry_bits = 24;
    fields.n_width = 3;
    fields.n_height = 2;
    const Bytes full = Join({TgaHeaderBytes(fields), {'i', 'd'}, {1, 2, 3, 4, 5, 6}, {0, 1, 0, 1, 1, 1}});
    ASSERT_NE(Load(full), nullptr);
    // Every prefix that ends before the last pixel byte is refused; the image
    // ID is skipped with a seek, so only the prefixes past it are meaningful.
    for(size_t n_length = 0; n_length < full.size(); ++n_length) {
        EXPECT_EQ(Load(Bytes(full.begin(), full.begin() + long(n_length))), nullptr) << n_length;
        EXPECT_EQ(failure, LoadFailure::kTruncated) << n_length;
    }

    fields.n_image_type = 2;
    fields.n_map_length = 100; // declared map of a true-colour file ends early
    EXPECT_EQ(Load(Join({TgaHeaderBytes(fields), {'i', 'd'}, Bytes(50, 0)})), nullptr);
    EXPECT_EQ(failure, LoadFailure::kTruncated);
}

TEST_F(TgaTest, HugeDeclaredSizesWithLittleDataAreRefused)
{
    // 65535 x 16383 pixels declared, one row of data present.
    TgaFields fields;
    fields.n_width = 65535;
    fields.n_height = 16383;
    EXPECT_EQ(Load(Join({TgaHeaderBytes(fields), Bytes(65535 * 3, 0x11)})), nullptr);
    EXPECT_EQ(failure, LoadFailure::kTruncated);
    fields.n_image_type = 10; // one row of repetition packets
    Bytes row;
    for(int i = 0; i < 511; ++i)
        row.insert(row.end(), {0xFF, 1, 2, 3});
    row.insert(row.end(), {0xFE, 1, 2, 3}); // 511 x 128 + 127 = 65535 pixels
    EXPECT_EQ(Load(Join({TgaHeaderBytes(fields), row})), nullptr);
    EXPECT_EQ(failure, LoadFailure::kTruncated);
    // 65535 x 16385 pixels need more than 2^32 bytes: too large, whatever follows.
    fields.n_height = 16385;
    EXPECT_EQ(Load(Join({TgaHeaderBytes(fields), row})), nullptr);
    EXPECT_EQ(failure, LoadFailure::kTooLarge);
    // The same declared width with the one row it declares loads.
    fields.n_height = 1;
    ImagePtr p_image = Load(Join({TgaHeaderBytes(fields), row}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(p_image->p_buffer[65534], 0xFF030201u);
}

// ------------------------------------------------------- run-length packets

class TgaRleTest : public TgaTest {
protected:
    // Runs ReadRlePixels over the bytes with one-byte gray pixels.
    bool Decode(const Bytes &bytes, int32_t n_count, std::vector<uint32_t> &out, long *p_position = nullptr)
    {
        for(uint32_t i = 0; i < 256; ++i)
            m_ramp[i] = 0xFF000000u + i * 0x010101u;
        out.assign(size_t(n_count > 0 ? n_count : 0) + 1, 0xDEADBEEF);
        test::BytesStream file(bytes);
        const bool b_ok =
            ReadRlePixels(out.data(), n_count, file.get(), TgaPixelKind::kIndex, TgaColorMap{m_ramp, 256, 0});
        if(p_position)
            *p_position = long(file.position());
        return b_ok;
    }

    uint32_t m_ramp[256];
};

TEST_F(TgaRleTest, PacketHeadersGiveTheirLengths)
{
    std::vector<uint32_t> out;
    long n_position = -1;
    EXPECT_TRUE(Decode({0xEE}, 0, out, &n_position));
    EXPECT_EQ(n_position, 0);

    EXPECT_TRUE(Decode({0x80, 7, 0xEE}, 1, out, &n_position)); // repetition of 1
    EXPECT_EQ(out[0], 0xFF070707u);
    EXPECT_EQ(out[1], 0xDEADBEEFu);
    EXPECT_EQ(n_position, 2);

    EXPECT_TRUE(Decode({0xFF, 9}, 128, out)); // repetition of 128
    EXPECT_EQ(out[127], 0xFF090909u);
    EXPECT_EQ(out[128], 0xDEADBEEFu);

    EXPECT_TRUE(Decode({0x00, 5}, 1, out)); // one raw pixel
    EXPECT_EQ(out[0], 0xFF050505u);

    Bytes raw = {0x7F};
    for(int i = 0; i < 128; ++i)
        raw.push_back(uint8_t(i));
    EXPECT_TRUE(Decode(raw, 128, out)); // 128 raw pixels
    EXPECT_EQ(out[127], 0xFF7F7F7Fu);

    EXPECT_TRUE(Decode({0x81, 3, 0x00, 4}, 3, out));
    EXPECT_EQ(std::vector<uint32_t>(out.begin(), out.begin() + 3),
              (std::vector<uint32_t>{0xFF030303, 0xFF030303, 0xFF040404}));
}

TEST_F(TgaRleTest, APacketMustEndWithinItsSpan)
{
    std::vector<uint32_t> out;
    EXPECT_TRUE(Decode({0xE3, 1}, 100, out));
    EXPECT_FALSE(Decode({0xE4, 1}, 100, out)); // run of 101, though its pixel is there
    EXPECT_FALSE(Decode({0x02, 1, 2, 3}, 2, out));
}

TEST_F(TgaRleTest, DataEndingInsideAPacketFailsAndKeepsEarlierPixels)
{
    std::vector<uint32_t> out;
    EXPECT_FALSE(Decode({0x81, 6, 0x03, 1, 2}, 6, out));
    EXPECT_EQ(out[0], 0xFF060606u);
    EXPECT_EQ(out[1], 0xFF060606u);
    EXPECT_FALSE(Decode({0x81}, 2, out));   // repetition without its pixel
    EXPECT_FALSE(Decode({0x80, 1}, 2, out)); // no next header
}

TEST_F(TgaRleTest, RowsNeverShareAPacket)
{
    TgaFields fields;
    fields.n_image_type = 10;
    fields.n_width = 2;
    fields.n_height = 2;
    // A run of 4 would cover both rows: refused (the file holds enough bytes
    // for the two rows it declares).
    EXPECT_EQ(Load(Join({TgaHeaderBytes(fields), {0x83, 1, 2, 3}, Bytes(4, 0)})), nullptr);
    EXPECT_EQ(failure, LoadFailure::kCorruptData);
    // The same pixels in one packet per row load, in both row orders.
    ImagePtr p_image = Load(Join({TgaHeaderBytes(fields), {0x81, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0xFF030201, 0xFF030201, 0xFF060504, 0xFF090807}));
    fields.n_descriptor = 0;
    p_image = Load(Join({TgaHeaderBytes(fields), {0x01, 4, 5, 6, 7, 8, 9, 0x81, 1, 2, 3}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0xFF030201, 0xFF030201, 0xFF060504, 0xFF090807}));
}

TEST_F(TgaRleTest, SixteenAndThirtyTwoBitPackets)
{
    TgaFields fields;
    fields.n_image_type = 10;
    fields.n_width = 3;
    fields.n_pixel_bits = 16;
    ImagePtr p_image = Load(Join({TgaHeaderBytes(fields), {0x82, 0x1F, 0x00}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>(3, 0xFF0000FF)));
    fields.n_pixel_bits = 32;
    p_image = Load(Join({TgaHeaderBytes(fields), {0x00, 1, 2, 3, 4, 0x81, 5, 6, 7, 0}}));
    ASSERT_NE(p_image, nullptr);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{0x04030201, 0x00070605, 0x00070605}));
}

} // namespace
