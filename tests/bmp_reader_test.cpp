// BMP reader: real files (from Debian packages, ImageMagick, Pillow and GIMP)
// against their reference decodes, every prefix of a few of them, and
// hand-built byte strings for what no real file reaches: colour masks of
// every shape, run-length deltas and early ends, palettes that fall short,
// odd offsets and every refusal.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "bmp_reader.h"
#include "test_support.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::ImagePtr;

std::vector<uint32_t> Pixels(const Image &image)
{
    return std::vector<uint32_t>(image.p_buffer, image.p_buffer + n_PixelCount(image));
}

// The bytes as a picture read from a pipe (an empty pipe's bytes too have
// an address).
ImagePtr LoadBytes(const Bytes &bytes, LoadFailure &failure)
{
    static const uint8_t n_nothing = 0;
    return ImagePtr(LoadBmpImage(BytesInput(bytes.empty() ? &n_nothing : bytes.data(), bytes.size()), &failure));
}

// ---------------------------------------------------------------- real files

struct FixtureCase {
    const char *p_name;
    int32_t n_width;
    int32_t n_height;
    uint8_t n_bpp;
    bool b_alpha;
};

void PrintTo(const FixtureCase &c, std::ostream *p_os)
{
    *p_os << c.p_name;
}

class BmpFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

// Each file decodes to exactly its reference (tests/fixtures/README.md says
// how each was made), from the file and from the same bytes in memory.
TEST_P(BmpFixtureTest, MatchesTheReference)
{
    const FixtureCase &c = GetParam();
    const std::string base = test::Fixture(std::string("bmp/") + c.p_name);
    LoadFailure failure;
    const ImagePtr p_image(LoadImageAtPath(LoadBmpImage, (base + ".bmp").c_str(), &failure));
    ASSERT_NE(p_image, nullptr) << DescribeLoadFailure(failure);
    EXPECT_EQ(failure, LoadFailure::kNone);
    ASSERT_EQ(p_image->n_width, c.n_width);
    ASSERT_EQ(p_image->n_height, c.n_height);
    EXPECT_EQ(p_image->n_bpp, c.n_bpp);
    EXPECT_EQ(p_image->b_alpha, c.b_alpha);
    EXPECT_EQ(p_image->b_grayscale, 0);
    const Bytes rgba = test::ReadFileBytes(base + ".rgba");
    ASSERT_EQ(rgba.size(), size_t(c.n_width) * size_t(c.n_height) * 4);
    for(size_t i = 0; i < rgba.size() / 4; ++i) {
        const uint32_t n_expected = (uint32_t(rgba[4 * i + 3]) << 24) | (uint32_t(rgba[4 * i]) << 16) |
                                    (uint32_t(rgba[4 * i + 1]) << 8) | rgba[4 * i + 2];
        ASSERT_EQ(p_image->p_buffer[i], n_expected) << "pixel " << i;
    }
    const ImagePtr p_piped = LoadBytes(test::ReadFileBytes(base + ".bmp"), failure);
    ASSERT_NE(p_piped, nullptr);
    EXPECT_EQ(Pixels(*p_piped), Pixels(*p_image));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BmpFixtureTest,
    ::testing::Values(
        // Debian packages: Windows 3 headers of every depth, 32-bit BI_RGB
        // with and without alpha, top-down, run-length, V4 and V5 headers,
        // OS/2 core headers.
        FixtureCase{"deb_starvoyager_2", 13, 7, 1, false}, FixtureCase{"deb_sdf_square_b", 10, 10, 1, false},
        FixtureCase{"deb_geki3_star", 3, 1, 4, false}, FixtureCase{"deb_wx_bullet", 5, 5, 4, false},
        FixtureCase{"deb_geki2_enemyshot1", 12, 12, 8, false}, FixtureCase{"deb_atanks_4", 1, 1, 24, false},
        FixtureCase{"deb_trustedqsl_pending", 16, 16, 32, true}, FixtureCase{"deb_dmaths_about_16", 16, 16, 32, false},
        FixtureCase{"deb_dmaths_ouvrirlatex_16", 16, 16, 32, true},
        FixtureCase{"deb_golang_yellow_rose_small", 16, 12, 32, true},
        FixtureCase{"deb_golang_yellow_rose_small_v5", 16, 12, 32, true},
        FixtureCase{"deb_dmaths_menu_triangle_16", 16, 16, 8, false},
        FixtureCase{"deb_overgod_gb_nmebm", 285, 72, 8, false}, FixtureCase{"deb_lgc_pg_attack", 7, 10, 24, false},
        FixtureCase{"deb_dmaths_ahmath3d", 32, 32, 8, false}, FixtureCase{"deb_rockdodger_deadrock7", 21, 22, 32, true},
        FixtureCase{"deb_sdl2_image_sample", 23, 42, 24, false},
        FixtureCase{"deb_sdl2_image_palette", 23, 42, 8, false}, FixtureCase{"deb_gemdropx_level", 48, 16, 4, false},
        FixtureCase{"deb_gemdropx_block", 48, 48, 8, false},
        // ImageMagick: Windows 3 headers, OS/2 core headers, V5 headers
        // with 16-bit bit fields of four kinds and 32-bit with alpha.
        FixtureCase{"im3_pal1", 13, 7, 1, false}, FixtureCase{"im3_pal4", 13, 7, 4, false},
        FixtureCase{"im3_pal8", 13, 7, 8, false}, FixtureCase{"im3_rle8", 13, 7, 8, false},
        FixtureCase{"im3_rgb24", 13, 7, 24, false}, FixtureCase{"im3_rgba32", 13, 7, 32, true},
        FixtureCase{"im2_pal1", 13, 7, 1, false}, FixtureCase{"im2_pal4", 13, 7, 4, false},
        FixtureCase{"im2_pal8", 13, 7, 8, false}, FixtureCase{"im2_rgb24", 13, 7, 24, false},
        FixtureCase{"im_v5_rgb24", 13, 7, 24, false}, FixtureCase{"im_v5_rgba32", 13, 7, 32, true},
        FixtureCase{"im_v5_rgb565", 13, 7, 16, false}, FixtureCase{"im_v5_rgb555", 13, 7, 16, false},
        FixtureCase{"im_v5_argb4444", 13, 7, 16, true}, FixtureCase{"im_v5_argb1555", 13, 7, 16, true},
        // Pillow: 1-bit, gray and colour palettes, 24-bit, 32-bit BI_RGB
        // with alpha.
        FixtureCase{"pil_pal1", 13, 7, 1, false}, FixtureCase{"pil_gray8", 13, 7, 8, false},
        FixtureCase{"pil_pal8", 13, 7, 8, false}, FixtureCase{"pil_rgb24", 13, 7, 24, false},
        FixtureCase{"pil_rgba32", 13, 7, 32, true},
        // GIMP: V3 headers with 16- and 32-bit bit fields, run-length files
        // of 4 and 8 bits.
        FixtureCase{"gimp_rgb565", 13, 7, 16, false}, FixtureCase{"gimp_rgb555", 13, 7, 16, false},
        FixtureCase{"gimp_rgba5551", 13, 7, 16, true}, FixtureCase{"gimp_rgb888", 13, 7, 24, false},
        FixtureCase{"gimp_rgba8888", 13, 7, 32, true}, FixtureCase{"gimp_rgbx8888", 13, 7, 32, false},
        FixtureCase{"gimp_pal4", 13, 7, 4, false}, FixtureCase{"gimp_pal4_rle", 13, 7, 4, false},
        FixtureCase{"gimp_pal8_rle", 13, 7, 8, false}),
    [](const ::testing::TestParamInfo<FixtureCase> &info) { return std::string(info.param.p_name); });

// Every prefix of a few files is refused as truncated (below 2 bytes: not
// a BMP file; a run-length stream cut below 2 bytes per 255 pixels: too
// large for its data), or, when the cut falls where no pixel is lost (the
// last row's padding, or after a run-length stream's last row), loads the
// same picture. Nothing crashes or reads past the bytes.
TEST(BmpTruncation, EveryPrefixFailsCleanlyOrLoadsThePicture)
{
    for(const char *p_name : {"im2_pal4", "im3_rle8", "gimp_pal4_rle", "im_v5_argb4444", "deb_golang_yellow_rose_small",
                              "deb_dmaths_menu_triangle_16"}) {
        const Bytes file = test::ReadFileBytes(test::Fixture(std::string("bmp/") + p_name + ".bmp"));
        LoadFailure failure;
        const ImagePtr p_full = LoadBytes(file, failure);
        ASSERT_NE(p_full, nullptr) << p_name;
        const size_t n_offset = size_t(file[10] | file[11] << 8 | file[12] << 16 | file[13] << 24);
        const bool b_rle = file[30] == 1 || file[30] == 2;
        const size_t n_least_stream = 2 * size_t(n_PixelCount(*p_full) + 254) / 255;
        size_t n_loaded = 0;
        for(size_t n_keep = 0; n_keep < file.size(); ++n_keep) {
            const ImagePtr p_cut = LoadBytes(Bytes(file.begin(), file.begin() + long(n_keep)), failure);
            if(p_cut) {
                EXPECT_EQ(Pixels(*p_cut), Pixels(*p_full)) << p_name << " cut to " << n_keep;
                ++n_loaded;
            } else {
                const bool b_short_stream = b_rle && n_keep >= n_offset && n_keep < n_offset + n_least_stream;
                EXPECT_EQ(failure, n_keep < 2         ? LoadFailure::kNotBmp
                                   : b_short_stream ? LoadFailure::kTooLarge
                                                    : LoadFailure::kTruncated)
                    << p_name << " cut to " << n_keep;
            }
        }
        EXPECT_LT(n_loaded, 4u) << p_name;
    }
}

// ---------------------------------------------------------------- hand-built files

// The fields of a file to build; the offset is right after the palette
// unless one is given.
struct BmpFields {
    uint32_t n_header_bytes = 40;
    int32_t n_width = 1;
    int32_t n_height = 1;
    uint16_t n_planes = 1;
    uint16_t n_bits = 24;
    uint32_t n_compression = 0;
    uint32_t n_colors_used = 0;
    std::vector<uint32_t> masks; // in a V2+ header, or after a Windows 3 one
    Bytes palette;
    Bytes data;
    int64_t n_offset = -1;
};

void PutLe(Bytes &bytes, size_t n_at, uint64_t n_value, int n_bytes)
{
    for(int i = 0; i < n_bytes; ++i)
        bytes[n_at + size_t(i)] = uint8_t(n_value >> (8 * i));
}

Bytes BmpFile(const BmpFields &f)
{
    // Room for every field; a shorter header (OS/2 2.x's 16 bytes) is cut
    // to its size below.
    Bytes header(f.n_header_bytes > 40 ? f.n_header_bytes : 40, 0);
    PutLe(header, 0, f.n_header_bytes, 4);
    if(f.n_header_bytes == 12) {
        PutLe(header, 4, uint32_t(f.n_width), 2);
        PutLe(header, 6, uint32_t(f.n_height), 2);
        PutLe(header, 8, f.n_planes, 2);
        PutLe(header, 10, f.n_bits, 2);
    } else {
        PutLe(header, 4, uint32_t(f.n_width), 4);
        PutLe(header, 8, uint32_t(f.n_height), 4);
        PutLe(header, 12, f.n_planes, 2);
        PutLe(header, 14, f.n_bits, 2);
        PutLe(header, 16, f.n_compression, 4);
        PutLe(header, 32, f.n_colors_used, 4);
    }
    Bytes masks;
    for(size_t i = 0; i < f.masks.size(); ++i) {
        if(f.n_header_bytes > 40)
            PutLe(header, 40 + 4 * i, f.masks[i], 4);
        else
            masks.insert(masks.end(), {uint8_t(f.masks[i]), uint8_t(f.masks[i] >> 8), uint8_t(f.masks[i] >> 16),
                                       uint8_t(f.masks[i] >> 24)});
    }
    header.resize(f.n_header_bytes);
    const size_t n_offset = f.n_offset >= 0 ? size_t(f.n_offset) : 14 + header.size() + masks.size() + f.palette.size();
    Bytes file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    PutLe(file, 10, n_offset, 4);
    file = test::Join({file, header, masks, f.palette});
    file.resize(n_offset > file.size() ? n_offset : file.size(), 0);
    file = test::Join({file, f.data});
    PutLe(file, 2, file.size(), 4);
    return file;
}

// The data of one pixel of n_bytes, little-endian, in a row padded to 4.
Bytes PixelRow(const std::vector<uint32_t> &values, int n_bytes)
{
    Bytes row;
    for(uint32_t n_value : values)
        for(int i = 0; i < n_bytes; ++i)
            row.push_back(uint8_t(n_value >> (8 * i)));
    row.resize((row.size() + 3) / 4 * 4, 0);
    return row;
}

// The pixels of the file, or an empty list with the cause.
std::vector<uint32_t> Decode(const BmpFields &fields, LoadFailure &failure)
{
    const ImagePtr p_image = LoadBytes(BmpFile(fields), failure);
    return p_image ? Pixels(*p_image) : std::vector<uint32_t>();
}

LoadFailure Refusal(const BmpFields &fields)
{
    LoadFailure failure;
    const ImagePtr p_image = LoadBytes(BmpFile(fields), failure);
    EXPECT_EQ(p_image == nullptr, failure != LoadFailure::kNone);
    return failure;
}

// Channels of any width, anywhere in the pixel, scaled by rounding
// v * 255 / max; the masks after a Windows 3 header (three, or four for
// BI_ALPHABITFIELDS) or in a V2 or V3 header.
TEST(BmpBitFields, ChannelsOfAnyWidthAreScaledByRounding)
{
    LoadFailure failure;
    // 10-10-10 and 2 bits of alpha, BI_ALPHABITFIELDS after a 40-byte
    // header: 1023 -> 255, 512 -> 128 (127.6), 1 -> 0 (0.25); alpha 1 -> 85.
    BmpFields f;
    f.n_width = 3;
    f.n_bits = 32;
    f.n_compression = 6;
    f.masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
    f.data = PixelRow({1023u << 20 | 512u << 10 | 1u | 3u << 30, 0u | 1u << 30, 2u << 30 | 1022u << 10}, 4);
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFFFF8000u, 0x55000000u, 0xAA00FF00u}))
        << DescribeLoadFailure(failure);
    // The same masks as BI_BITFIELDS after a 40-byte header: three masks,
    // no alpha, the top bits ignored.
    f.n_compression = 3;
    f.masks.pop_back();
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFFFF8000u, 0xFF000000u, 0xFF00FF00u}));
    // 24-bit pixels with blue in the top byte, red in the bottom one.
    f = BmpFields{};
    f.n_width = 2;
    f.n_compression = 3;
    f.masks = {0x0000FF, 0x00FF00, 0xFF0000};
    f.data = PixelRow({0x123456, 0xABCDEF}, 3);
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFF563412u, 0xFFEFCDABu}));
    // A V2 header (52 bytes): 16-bit 4-4-4 in the low bits, 3 -> 51.
    f = BmpFields{};
    f.n_header_bytes = 52;
    f.n_width = 2;
    f.n_bits = 16;
    f.n_compression = 3;
    f.masks = {0xF00, 0x0F0, 0x00F};
    f.data = PixelRow({0xF03, 0x0A0}, 2);
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFFFF0033u, 0xFF00AA00u}));
    // A V3 header (56 bytes) adds an alpha mask: 1-bit alpha, 5-5-5.
    f.n_header_bytes = 56;
    f.masks = {0x7C00, 0x03E0, 0x001F, 0x8000};
    f.data = PixelRow({0x8000 | 3u << 10, 0x001F}, 2);
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFF190000u, 0x000000FFu}));
    // One channel of all 32 bits; a zero mask gives 0.
    f = BmpFields{};
    f.n_header_bytes = 124;
    f.n_width = 3;
    f.n_bits = 32;
    f.n_compression = 3;
    f.masks = {0xFFFFFFFF, 0, 0, 0};
    f.data = PixelRow({0xFFFFFFFF, 0x80000000, 0x00800000}, 4);
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFFFF0000u, 0xFF800000u, 0xFF000000u}));
}

TEST(BmpBitFields, MasksThatOverlapHaveGapsOrLeaveThePixelAreRefused)
{
    BmpFields f;
    f.n_bits = 16;
    f.n_compression = 3;
    f.data = PixelRow({0}, 2);
    for(const std::vector<uint32_t> &masks :
        {std::vector<uint32_t>{0xF0F0, 0x0F00, 0x000F}, std::vector<uint32_t>{0xFF00, 0x0FF0, 0x000F},
         std::vector<uint32_t>{0x1F0000, 0x07E0, 0x001F}}) {
        f.masks = masks;
        EXPECT_EQ(Refusal(f), LoadFailure::kBmpMasks) << std::hex << masks[0] << " " << masks[1];
    }
    f.n_header_bytes = 56; // the alpha mask counts too
    f.masks = {0x7C00, 0x03E0, 0x001F, 0x8001};
    EXPECT_EQ(Refusal(f), LoadFailure::kBmpMasks);
    f.masks = {0x7C00, 0x03E0, 0x001F, 0x8000};
    EXPECT_EQ(Refusal(f), LoadFailure::kNone);
}

// 32-bit BI_RGB: the fourth byte is alpha when any pixel's is not 0, in any
// header (a V5 header's alpha mask does not count without bit fields); a
// bit-field alpha mask gives alpha even when every value is 0.
TEST(BmpAlpha, FourthByteIsAlphaWhenAnyIsNotZero)
{
    BmpFields f;
    f.n_width = 2;
    f.n_bits = 32;
    f.data = PixelRow({0x00102030, 0x00405060}, 4);
    LoadFailure failure;
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFF102030u, 0xFF405060u}));
    f.data = PixelRow({0x00102030, 0x01405060}, 4);
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0x00102030u, 0x01405060u}));
    f.n_header_bytes = 124;
    f.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    f.data = PixelRow({0x00102030, 0x00405060}, 4);
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFF102030u, 0xFF405060u}));
    f.n_compression = 3;
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0x00102030u, 0x00405060u}));
}

TEST(BmpRows, TopDownAndBottomUpRowsAndTheLastRowsPadding)
{
    BmpFields f;
    f.n_width = 1;
    f.n_height = -3;
    f.data = test::Join({PixelRow({0x010101}, 3), PixelRow({0x020202}, 3), PixelRow({0x030303}, 3)});
    LoadFailure failure;
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFF010101u, 0xFF020202u, 0xFF030303u}));
    f.n_height = 3;
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFF030303u, 0xFF020202u, 0xFF010101u}));
    f.data.resize(f.data.size() - 1); // the last row without its padding byte
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFF030303u, 0xFF020202u, 0xFF010101u}));
    f.data.resize(f.data.size() - 1); // and without a pixel byte
    EXPECT_EQ(Refusal(f), LoadFailure::kTruncated);
}

// 2-bit palettes (Windows CE; no common writer makes them); indices beyond
// the palette, and entries the pixel rows' offset cuts off, are opaque
// black; more declared entries than the depth has are passed over.
TEST(BmpPalette, ShortPalettesGiveOpaqueBlack)
{
    const Bytes palette = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0, 0x70, 0x80, 0x90, 0, 0xA0, 0xB0, 0xC0, 0};
    BmpFields f;
    f.n_width = 5;
    f.n_bits = 2;
    f.palette = palette;
    f.data = {0x1B, 0x40, 0, 0}; // 0 1 2 3 1
    LoadFailure failure;
    EXPECT_EQ(Decode(f, failure),
              (std::vector<uint32_t>{0xFF302010u, 0xFF605040u, 0xFF908070u, 0xFFC0B0A0u, 0xFF605040u}));
    f.n_colors_used = 2; // indices 2 and 3 have no entry
    f.palette.resize(8);
    EXPECT_EQ(Decode(f, failure),
              (std::vector<uint32_t>{0xFF302010u, 0xFF605040u, 0xFF000000u, 0xFF000000u, 0xFF605040u}));
    f.n_colors_used = 0; // four declared, the pixels start after two
    EXPECT_EQ(Decode(f, failure),
              (std::vector<uint32_t>{0xFF302010u, 0xFF605040u, 0xFF000000u, 0xFF000000u, 0xFF605040u}));
    f.n_colors_used = 1000; // more than 2 bits can index: the offset is what counts
    f.palette = test::Join({palette, Bytes(16, 0xEE)});
    EXPECT_EQ(Decode(f, failure),
              (std::vector<uint32_t>{0xFF302010u, 0xFF605040u, 0xFF908070u, 0xFFC0B0A0u, 0xFF605040u}));
    // An OS/2 core header: 3-byte entries.
    f = BmpFields{};
    f.n_header_bytes = 12;
    f.n_width = 2;
    f.n_bits = 1;
    f.palette = {1, 2, 3, 4, 5, 6};
    f.data = {0x40, 0, 0, 0};
    EXPECT_EQ(Decode(f, failure), (std::vector<uint32_t>{0xFF030201u, 0xFF060504u}));
}

// ---------------------------------------------------------------- run-length streams

BmpFields RleFile(uint32_t n_compression, int32_t n_width, int32_t n_height, const Bytes &stream)
{
    BmpFields f;
    f.n_width = n_width;
    f.n_height = n_height;
    f.n_bits = n_compression == 1 ? 8 : 4;
    f.n_compression = n_compression;
    f.n_colors_used = 3;
    f.palette = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0}; // red, green, blue
    f.data = stream;
    return f;
}

constexpr uint32_t R = 0xFFFF0000u, G = 0xFF00FF00u, B = 0xFF0000FFu, K = 0xFF000000u, T = 0x00000000u;

// Deltas, ends of line and the end of the picture skip pixels, which stay
// transparent black; runs and literals reaching past the row are cut.
TEST(BmpRle, SkippedPixelsAreTransparentBlack)
{
    LoadFailure failure;
    // 4 x 3, bottom row first: two green; a delta of 1 right and 1 up;
    // one blue; end of picture.
    const ImagePtr p_image = LoadBytes(BmpFile(RleFile(1, 4, 3, {2, 1, 0, 2, 1, 1, 1, 2, 0, 1})), failure);
    ASSERT_NE(p_image, nullptr) << DescribeLoadFailure(failure);
    EXPECT_EQ(Pixels(*p_image), (std::vector<uint32_t>{T, T, T, T, T, T, T, B, G, G, T, T}));
    EXPECT_TRUE(p_image->b_alpha);
    // A literal of 3 (padded to 4 bytes), a run cut at the row's end, an
    // end of line, a run of 6 where 4 fit; no end of picture: the end of
    // the last line ends the stream.
    EXPECT_EQ(Decode(RleFile(1, 4, 2, {0, 3, 0, 1, 2, 0, 9, 1, 0, 0, 6, 2, 0, 0}), failure),
              (std::vector<uint32_t>{B, B, B, B, R, G, B, G}));
    // A delta past the last row ends the picture.
    EXPECT_EQ(Decode(RleFile(1, 2, 2, {1, 1, 0, 2, 0, 5, 2, 2}), failure), (std::vector<uint32_t>{T, T, G, T}));
    // Top-down: the stream's first row is the top one.
    BmpFields top_down = RleFile(1, 2, -2, {2, 0, 0, 0, 1, 2, 0, 1});
    EXPECT_EQ(Decode(top_down, failure), (std::vector<uint32_t>{R, R, B, T}));
    // An index beyond the palette is opaque black, as in uncompressed rows.
    EXPECT_EQ(Decode(RleFile(1, 2, 1, {2, 200, 0, 1}), failure), (std::vector<uint32_t>{K, K}));
}

TEST(BmpRle, FourBitRunsAlternateTheirTwoIndices)
{
    LoadFailure failure;
    // A run of 5 of indices 1 and 2, cut to the row of 4; end of line; a
    // literal of 3 (two bytes, already even); a run of one.
    EXPECT_EQ(Decode(RleFile(2, 4, 2, {5, 0x12, 0, 0, 0, 3, 0x01, 0x20, 1, 0x21, 0, 1}), failure),
              (std::vector<uint32_t>{R, G, B, B, G, B, G, B}));
    // A literal of 5 takes three bytes and one of padding.
    EXPECT_EQ(Decode(RleFile(2, 5, 1, {0, 5, 0x01, 0x21, 0x00, 0xEE, 0, 1}), failure),
              (std::vector<uint32_t>{R, G, B, G, R}));
}

TEST(BmpRle, AStreamThatEndsEarlyIsTruncated)
{
    for(const Bytes &stream : {Bytes{2, 1}, Bytes{2, 1, 0}, Bytes{0, 2, 1}, Bytes{0, 5, 1, 1, 1}, Bytes{2, 1, 0, 0, 1}})
        EXPECT_EQ(Refusal(RleFile(1, 2, 2, stream)), LoadFailure::kTruncated) << stream.size();
}

// ---------------------------------------------------------------- refusals

TEST(BmpRefusals, EachVariantNotReadHasItsCause)
{
    const auto with = [](void (*p_change)(BmpFields &)) {
        BmpFields f;
        f.data = PixelRow({0x123456}, 3);
        p_change(f);
        return Refusal(f);
    };
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 4; }), LoadFailure::kEmbeddedBmp);
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 5, f.n_bits = 0; }), LoadFailure::kEmbeddedBmp);
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 11, f.n_bits = 32; }), LoadFailure::kCmykBmp);
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 12, f.n_bits = 8; }), LoadFailure::kCmykBmp);
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 13, f.n_bits = 4; }), LoadFailure::kCmykBmp);
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 7; }), LoadFailure::kUnsupportedBmpCompression);
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 0xFFFFFFFF; }), LoadFailure::kUnsupportedBmpCompression);
    EXPECT_EQ(with([](BmpFields &f) { f.n_header_bytes = 64; }), LoadFailure::kUnsupportedBmpHeader); // OS/2 2.x
    EXPECT_EQ(with([](BmpFields &f) { f.n_header_bytes = 16; }), LoadFailure::kUnsupportedBmpHeader);
    EXPECT_EQ(with([](BmpFields &f) { f.n_bits = 0; }), LoadFailure::kUnsupportedBmpDepth);
    EXPECT_EQ(with([](BmpFields &f) { f.n_bits = 3; }), LoadFailure::kUnsupportedBmpDepth);
    EXPECT_EQ(with([](BmpFields &f) { f.n_bits = 64; }), LoadFailure::kUnsupportedBmpDepth);
    // Fields that break the format.
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 1; }), LoadFailure::kCorruptData);          // RLE8 of 24 bits
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 2, f.n_bits = 8; }), LoadFailure::kCorruptData);
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 3, f.n_bits = 8; }), LoadFailure::kCorruptData);
    EXPECT_EQ(with([](BmpFields &f) { f.n_planes = 2; }), LoadFailure::kCorruptData);
    EXPECT_EQ(with([](BmpFields &f) { f.n_width = -1; }), LoadFailure::kCorruptData);
    EXPECT_EQ(with([](BmpFields &f) { f.n_offset = 40; }), LoadFailure::kCorruptData); // inside the header
    // A picture without pixels; sizes beyond the Image's limit.
    EXPECT_EQ(with([](BmpFields &f) { f.n_width = 0; }), LoadFailure::kEmptyImage);
    EXPECT_EQ(with([](BmpFields &f) { f.n_height = 0; }), LoadFailure::kEmptyImage);
    EXPECT_EQ(with([](BmpFields &f) { f.n_header_bytes = 12, f.n_width = 0; }), LoadFailure::kEmptyImage);
    EXPECT_EQ(with([](BmpFields &f) { f.n_height = INT_MIN; }), LoadFailure::kTooLarge);
    EXPECT_EQ(with([](BmpFields &f) { f.n_width = 65536, f.n_height = 16384; }), LoadFailure::kTooLarge);
    // Data that the file does not hold.
    EXPECT_EQ(with([](BmpFields &f) { f.n_height = 2; }), LoadFailure::kTruncated);
    EXPECT_EQ(with([](BmpFields &f) { f.n_compression = 3; }), LoadFailure::kTruncated); // its masks are missing
}

TEST(BmpRefusals, WhatIsNoBmpFileAndHeadersCutShort)
{
    LoadFailure failure;
    const Bytes file = BmpFile(BmpFields{});
    for(const Bytes &bytes : {Bytes{}, Bytes{'B'}, Bytes{'B', 'A', 0, 0}, Bytes{'#', 'd', 'e', 'f', 'i', 'n', 'e'},
                              test::ReadFileBytes(test::Fixture("tga/im_rgb24.tga"))}) {
        EXPECT_EQ(LoadBytes(bytes, failure), nullptr);
        EXPECT_EQ(failure, LoadFailure::kNotBmp) << bytes.size();
    }
    for(size_t n_keep : {size_t(2), size_t(17), size_t(18), size_t(53)}) {
        EXPECT_EQ(LoadBytes(Bytes(file.begin(), file.begin() + long(n_keep)), failure), nullptr);
        EXPECT_EQ(failure, LoadFailure::kTruncated) << n_keep;
    }
    Bytes far_offset = file;
    far_offset[11] = 0x10; // the rows at 4096 + 54, past the end
    EXPECT_EQ(LoadBytes(far_offset, failure), nullptr);
    EXPECT_EQ(failure, LoadFailure::kTruncated);
    test::TempDir dir;
    EXPECT_EQ(ImagePtr(LoadImageAtPath(LoadBmpImage, dir.File("missing.bmp").c_str(), &failure)), nullptr);
    EXPECT_EQ(failure, LoadFailure::kCannotOpen);
}

// The declared picture is held against the bytes after the rows' offset
// before anything is allocated: uncompressed rows must all be there, and a
// run-length stream gives at most 255 pixels per two bytes.
TEST(BmpRefusals, PicturesTheDataCannotHold)
{
    BmpFields f;
    f.n_width = 65535;
    f.n_height = 65535;
    f.data = Bytes(6, 0);
    EXPECT_EQ(Refusal(f), LoadFailure::kTooLarge); // 17 GB of pixels in 60 bytes
    f.n_bits = 1;
    f.n_width = 30000;
    f.n_height = 30000;
    f.palette = Bytes(8, 0);
    EXPECT_EQ(Refusal(f), LoadFailure::kTruncated); // 113 MB of rows
    // 100 bytes of stream: 50 x 255 = 12750 pixels at most. 49 runs of 255
    // red pixels, then the end of the picture.
    Bytes stream(100, 0);
    for(size_t i = 0; i < 98; i += 2)
        stream[i] = 255;
    stream[99] = 1;
    BmpFields rle = RleFile(1, 12750, 1, stream);
    LoadFailure failure;
    std::vector<uint32_t> expected(12750, T);
    std::fill(expected.begin(), expected.begin() + 49 * 255, R);
    EXPECT_EQ(Decode(rle, failure), expected) << DescribeLoadFailure(failure);
    rle = RleFile(1, 12751, 1, stream);
    EXPECT_EQ(Refusal(rle), LoadFailure::kTooLarge);
    rle = RleFile(2, 30000, 30000, {0, 1});
    EXPECT_EQ(Refusal(rle), LoadFailure::kTooLarge);
}

} // namespace
