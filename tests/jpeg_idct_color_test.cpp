// Inverse DCT, block store, colour conversion and upsampling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jpeg_color.h"
#include "jpeg_decoder.h"
#include "jpeg_idct.h"
#include "jpeg_test_support.h"

namespace {

using namespace tarnwick;

// A block whose only coefficient is the DC term D stores D / 8 everywhere,
// clamped and truncated toward zero.
int8_t StoredDcSample(float f_dc)
{
    float coefficients[64] = {};
    coefficients[0] = f_dc;
    int8_t block[64];
    StoreBlock(coefficients, block, 8);
    int8_t shortcut[64];
    StoreDcOnlyBlock(f_dc, shortcut, 8);
    for(int i = 0; i < 64; ++i) {
        EXPECT_EQ(block[i], block[0]) << "D = " << f_dc << ", sample " << i;
        EXPECT_EQ(shortcut[i], block[0]) << "D = " << f_dc << ", StoreDcOnlyBlock sample " << i;
    }
    return block[0];
}

TEST(StoreBlock, DcOnlyBlocksClampAndTruncateTowardZero)
{
    EXPECT_EQ(StoredDcSample(160.0f), 20);
    EXPECT_EQ(StoredDcSample(-5.0f), 0);       // -0.625
    EXPECT_EQ(StoredDcSample(1020.0f), 127);   // 127.5
    EXPECT_EQ(StoredDcSample(-1030.0f), -128); // -128.75
    EXPECT_EQ(StoredDcSample(0.0f), 0);
    EXPECT_EQ(StoredDcSample(1016.0f), 127);   // exactly 127.0
    EXPECT_EQ(StoredDcSample(-1024.0f), -128); // exactly -128.0
    EXPECT_EQ(StoredDcSample(1015.2f), 126);   // 126.9
    EXPECT_EQ(StoredDcSample(-12.0f), -1);     // -1.5
    EXPECT_EQ(StoredDcSample(-5.6f), 0);       // -0.7
    EXPECT_EQ(StoredDcSample(1.0e6f), 127);
}

// The shortcut for DC-only blocks gives StoreBlock's samples for every DC
// value a scan can form: each 16-bit predictor times quantisation factors
// with the scale factors folded in, down to the smallest and up to the
// largest.
TEST(StoreBlock, DcOnlyShortcutAgreesForEverySixteenBitDc)
{
    for(float f_factor : {1.0f, 8.0f, 3.7071f, 255.0f, 65535.0f, 0.271f}) {
        for(int n_dc = -32768; n_dc < 32768; ++n_dc) {
            float coefficients[64] = {};
            coefficients[0] = float(n_dc) * f_factor;
            int8_t expected[64], shortcut[64];
            StoreBlock(coefficients, expected, 8);
            StoreDcOnlyBlock(coefficients[0], shortcut, 8);
            ASSERT_EQ(std::vector<int8_t>(shortcut, shortcut + 64), std::vector<int8_t>(expected, expected + 64))
                << n_dc << " x " << f_factor;
        }
    }
}

TEST(StoreBlock, RowsLandOneStrideApartAndNothingElseIsTouched)
{
    const int n_stride = 24;
    std::vector<int8_t> plane(n_stride * 10, int8_t(0x55));
    float coefficients[64] = {};
    coefficients[0] = 160.0f;
    StoreBlock(coefficients, plane.data() + n_stride + 8, n_stride); // block at (8, 1)
    for(int y = 0; y < 10; ++y)
        for(int x = 0; x < n_stride; ++x) {
            const bool b_inside = y >= 1 && y < 9 && x >= 8 && x < 16;
            EXPECT_EQ(plane[y * n_stride + x], b_inside ? 20 : 0x55) << x << "," << y;
        }
}

// The 2-D inverse DCT of ITU-T T.81 A.3.3 in double precision, on the
// unscaled coefficients.
void ReferenceIdct(const double *p_coefficients, double *p_samples)
{
    const double kPi = std::acos(-1.0);
    for(int y = 0; y < 8; ++y)
        for(int x = 0; x < 8; ++x) {
            double sum = 0.0;
            for(int u = 0; u < 8; ++u)
                for(int v = 0; v < 8; ++v) {
                    const double cu = u ? 1.0 : 1.0 / std::sqrt(2.0);
                    const double cv = v ? 1.0 : 1.0 / std::sqrt(2.0);
                    sum += cu * cv * p_coefficients[8 * u + v] * std::cos((2 * y + 1) * u * kPi / 16) *
                           std::cos((2 * x + 1) * v * kPi / 16);
                }
            p_samples[8 * y + x] = sum / 4.0;
        }
}

// Every coefficient position and every butterfly constant contributes: random
// blocks, pre-scaled as the quantisation tables deliver them, must match the
// textbook transform to single-precision accuracy.
TEST(InverseDct, MatchesTheTextbookTransformOnPreScaledCoefficients)
{
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> value(-300, 300);
    for(int n_block = 0; n_block < 200; ++n_block) {
        double coefficients[64];
        float scaled[64];
        for(int i = 0; i < 64; ++i) {
            // Sparse blocks too, so that single positions are tested alone.
            coefficients[i] = (n_block < 64 ? i == n_block : true) ? value(random) : 0;
            scaled[i] = float(coefficients[i] * test::IdctScaleFactor(i / 8) * test::IdctScaleFactor(i % 8));
        }
        double expected[64];
        float output[64];
        ReferenceIdct(coefficients, expected);
        InverseDct(output, scaled);
        for(int i = 0; i < 64; ++i)
            ASSERT_NEAR(output[i], expected[i], 2e-3) << "block " << n_block << ", sample " << i;
    }
}

// The transform runs eight lines at once and transposes between its passes;
// that must not change a single bit. The reference applies the one-line
// butterflies IdctColumn and IdctRow in the plain order, scales by 1/8 and
// clamps and truncates sample by sample. Blocks of large coefficients too,
// far outside the sample range, and huge ones as a hostile file could carry.
TEST(InverseDct, LineParallelPassesGiveTheOneLineButterflysBitsExactly)
{
    std::mt19937 random(99);
    std::uniform_real_distribution<float> small(-300.0f, 300.0f), large(-40000.0f, 40000.0f);
    for(int n_block = 0; n_block < 3000; ++n_block) {
        float coefficients[64];
        for(int i = 0; i < 64; ++i)
            coefficients[i] = n_block % 3 == 2 ? large(random) : (random() % 4 ? 0.0f : small(random));
        if(n_block % 100 == 99)
            coefficients[random() % 64] = n_block % 200 == 99 ? 3.0e11f : -3.0e11f;

        float work[64], expected[64];
        for(int v = 0; v < 8; ++v)
            IdctColumn(work + v, coefficients + v);
        for(int y = 0; y < 8; ++y)
            IdctRow(expected + 8 * y, work + 8 * y);
        for(float &f : expected)
            f *= 0.125f;
        float output[64];
        InverseDct(output, coefficients);
        int8_t stored[8 * 16];
        StoreBlock(coefficients, stored + 3, 16);
        for(int i = 0; i < 64; ++i) {
            ASSERT_EQ(std::memcmp(&output[i], &expected[i], sizeof(float)), 0)
                << "block " << n_block << ", value " << i << ": " << output[i] << " != " << expected[i];
            const float f = expected[i];
            const int n_expected = f < -128.0f ? -128 : f > 127.0f ? 127 : int(f);
            ASSERT_EQ(stored[3 + 16 * (i / 8) + i % 8], n_expected) << "block " << n_block << ", sample " << i;
        }
    }
}

TEST(YccTables, EntriesAreTruncatedProducts)
{
    YccTables tables;
    BuildYccTables(tables);
    EXPECT_EQ(tables.cr_to_r[0], -179);
    EXPECT_EQ(tables.cr_to_r[255], 178);
    EXPECT_EQ(tables.cb_to_g[0], 44);
    EXPECT_EQ(tables.cb_to_g[255], -43);
    EXPECT_EQ(tables.cr_to_g[0], 91);
    EXPECT_EQ(tables.cr_to_g[255], -90);
    EXPECT_EQ(tables.cb_to_b[0], -226);
    EXPECT_EQ(tables.cb_to_b[255], 225);
    EXPECT_EQ(tables.cr_to_r[127], -1);
    EXPECT_EQ(tables.cr_to_r[128], 0);
    EXPECT_EQ(tables.cr_to_r[129], 1);
}

// YCbCr to RGB worked out here in double precision, apart from the
// decoder's tables: each chroma term (chroma - 128) times its factor,
// truncated toward zero, added to Y, and each channel clamped to 0..255.
uint32_t ReferencePixel(int n_y, int n_cb, int n_cr)
{
    const auto term = [](int n_chroma, double f_factor) { return int(std::trunc((n_chroma - 128) * f_factor)); };
    const auto clamp = [](int n_value) { return uint32_t(n_value < 0 ? 0 : n_value > 255 ? 255 : n_value); };
    return 0xFF000000u | clamp(n_y + term(n_cr, 1.402)) << 16 |
           clamp(n_y + term(n_cb, -0.34414) + term(n_cr, -0.71414)) << 8 | clamp(n_y + term(n_cb, 1.772));
}

TEST(YccToPixel, ConvertsAndClampsEachChannel)
{
    YccTables tables;
    BuildYccTables(tables);
    EXPECT_EQ(YccToPixel(tables, 128, 128, 128), 0xFF808080u);
    EXPECT_EQ(YccToPixel(tables, 0, 128, 255), 0xFFB20000u);
    EXPECT_EQ(YccToPixel(tables, 255, 0, 128), 0xFFFFFF1Du);
    EXPECT_EQ(YccToPixel(tables, 100, 200, 50), 0xFF0083E3u);
    EXPECT_EQ(YccToPixel(tables, 0, 0, 0), 0xFF008700u);
    EXPECT_EQ(YccToPixel(tables, 255, 255, 255), 0xFFFF7AFFu);
    // Every chroma pair under dark, middle and light luma.
    for(int n_y : {0, 17, 128, 240, 255})
        for(int n_cb = 0; n_cb < 256; ++n_cb)
            for(int n_cr = 0; n_cr < 256; ++n_cr)
                ASSERT_EQ(YccToPixel(tables, uint8_t(n_y), uint8_t(n_cb), uint8_t(n_cr)),
                          ReferencePixel(n_y, n_cb, n_cr))
                    << n_y << " " << n_cb << " " << n_cr;
}

// Planes of one frame, allocated like the frame header does (zero-filled),
// by the component's position in the frame counted from 1.
struct TestPlanes {
    std::vector<int8_t> storage[4];
    int8_t *p_planes[4] = {};
    uint16_t n_widths[4] = {};

    void Add(int n_position, int n_width, int n_height)
    {
        storage[n_position - 1].assign(size_t(n_width) * n_height, 0);
        p_planes[n_position - 1] = storage[n_position - 1].data();
        n_widths[n_position - 1] = uint16_t(n_width);
    }
    int8_t &At(int n_position, int x, int y)
    {
        return storage[n_position - 1][size_t(y) * n_widths[n_position - 1] + x];
    }
};

struct TestImage {
    std::vector<uint32_t> pixels;
    Image image{};

    TestImage(int n_width, int n_height) : pixels(size_t(n_width) * n_height, 0xDEADBEEFu)
    {
        image.n_width = n_width;
        image.n_height = n_height;
        image.p_buffer = pixels.data();
    }
    uint32_t At(int x, int y) const { return pixels[size_t(y) * image.n_width + x]; }
};

FrameComponent Component(int n_id, int n_h, int n_v, int n_hmax, int n_vmax)
{
    return FrameComponent{uint8_t(n_id), uint8_t(n_h), uint8_t(n_v), uint8_t(n_hmax / n_h),
                          uint8_t(n_vmax / n_v), 0, 0, 0};
}

// Distinct, position-dependent samples in every plane position, padding too,
// so that any misplaced read shows in the pixels.
void FillPattern(TestPlanes &planes, int n_id, int n_width, int n_height)
{
    for(int y = 0; y < n_height; ++y)
        for(int x = 0; x < n_width; ++x)
            planes.At(n_id, x, y) = int8_t((x * 7 + y * 29 + n_id * 53) % 256 - 128);
}

uint8_t Level(int8_t n_sample)
{
    return uint8_t(n_sample + 128);
}

// Assembles an image from patterned planes of the given sizes (IDs 1, 2, 3
// in frame order) and checks every pixel against ReferencePixel of the
// samples that cover it: each component's at (x / n_h_upsample, y /
// n_v_upsample).
void ExpectPixelsOfCoveringSamples(TestPlanes &planes, const FrameComponent (&components)[3],
                                   const int (&plane_sizes)[3][2], TestImage &test)
{
    for(int n_id = 1; n_id <= 3; ++n_id) {
        planes.Add(n_id, plane_sizes[n_id - 1][0], plane_sizes[n_id - 1][1]);
        FillPattern(planes, n_id, plane_sizes[n_id - 1][0], plane_sizes[n_id - 1][1]);
    }
    AssembleColorImage(test.image, components, planes.p_planes, planes.n_widths);
    const auto sample = [&](int j, int x, int y) {
        return Level(planes.At(j + 1, x / components[j].n_h_upsample, y / components[j].n_v_upsample));
    };
    for(int y = 0; y < test.image.n_height; ++y)
        for(int x = 0; x < test.image.n_width; ++x)
            ASSERT_EQ(test.At(x, y), ReferencePixel(sample(0, x, y), sample(1, x, y), sample(2, x, y)))
                << x << "," << y;
}

TEST(AssembleColorImage, ChromaSampledTwoByTwoCoversSquaresCutAtTheEdges)
{
    TestPlanes planes;
    const FrameComponent components[3] = {Component(1, 2, 2, 2, 2), Component(2, 1, 1, 2, 2),
                                          Component(3, 1, 1, 2, 2)};
    TestImage test(17, 9);
    ExpectPixelsOfCoveringSamples(planes, components, {{24, 16}, {16, 8}, {16, 8}}, test);
    // Column 16 alone takes chroma column 8; row 8 alone takes chroma row 4.
    planes.At(2, 8, 4) = 127;
    AssembleColorImage(test.image, components, planes.p_planes, planes.n_widths);
    EXPECT_EQ(test.At(16, 8), ReferencePixel(Level(planes.At(1, 16, 8)), 255, Level(planes.At(3, 8, 4))));
}

// Every Cb, Cr pair (Cb by chroma row, Cr by chroma column) under varying
// luma, chroma at full and half resolution each way, in a picture wide
// enough for whole groups of sixteen pixels and a few more: each pixel is
// ReferencePixel of its samples, however the rows are converted.
TEST(AssembleColorImage, EveryChromaPairAtFullAndHalfResolution)
{
    for(int n_hs : {1, 2}) {
        for(int n_vs : {1, 2}) {
            SCOPED_TRACE(std::to_string(n_hs) + " x " + std::to_string(n_vs));
            const int n_width = 256 * n_hs + 7, n_height = 256 * n_vs + 1;
            const FrameComponent components[3] = {Component(1, n_hs, n_vs, n_hs, n_vs),
                                                  Component(2, 1, 1, n_hs, n_vs), Component(3, 1, 1, n_hs, n_vs)};
            TestPlanes planes;
            planes.Add(1, (n_width + 7) / 8 * 8, (n_height + 7) / 8 * 8);
            planes.Add(2, 264, 264);
            planes.Add(3, 264, 264);
            for(int y = 0; y < n_height; ++y)
                for(int x = 0; x < n_width; ++x)
                    planes.At(1, x, y) = int8_t((x * 11 + y * 3) % 256 - 128);
            for(int y = 0; y < 264; ++y)
                for(int x = 0; x < 264; ++x) {
                    planes.At(2, x, y) = int8_t(y % 256 - 128);
                    planes.At(3, x, y) = int8_t(x % 256 - 128);
                }
            TestImage test(n_width, n_height);
            AssembleColorImage(test.image, components, planes.p_planes, planes.n_widths);
            for(int y = 0; y < n_height; ++y)
                for(int x = 0; x < n_width; ++x)
                    ASSERT_EQ(test.At(x, y), ReferencePixel(Level(planes.At(1, x, y)),
                                                            Level(planes.At(2, x / n_hs, y / n_vs)),
                                                            Level(planes.At(3, x / n_hs, y / n_vs))))
                        << x << "," << y;
        }
    }
}

// Cb and Cr sampled differently: each pixel still takes the samples that
// cover it, Cb and Cr from planes of different sizes.
TEST(AssembleColorImage, ChromaComponentsSampledDifferently)
{
    TestPlanes planes;
    // Y 2 x 2 at full resolution; Cb 2 x 1: full width, half height; Cr 1 x 1.
    const FrameComponent components[3] = {Component(1, 2, 2, 2, 2), Component(2, 2, 1, 2, 2),
                                          Component(3, 1, 1, 2, 2)};
    TestImage test(15, 11);
    ExpectPixelsOfCoveringSamples(planes, components, {{16, 16}, {16, 8}, {8, 8}}, test);
}

TEST(AssembleColorImage, FullResolutionComponentsTakenByPositionWhateverTheirIds)
{
    TestPlanes planes;
    for(int n_position = 1; n_position <= 3; ++n_position) {
        planes.Add(n_position, 8, 8);
        FillPattern(planes, n_position, 8, 8);
    }
    // The first component is Y, the second Cb, the third Cr: the IDs are
    // labels.
    const FrameComponent in_order[3] = {Component(1, 1, 1, 1, 1), Component(2, 1, 1, 1, 1),
                                        Component(3, 1, 1, 1, 1)};
    const FrameComponent swapped[3] = {Component(2, 1, 1, 1, 1), Component(1, 1, 1, 1, 1),
                                       Component(0, 1, 1, 1, 1)};
    for(const FrameComponent *p_components : {in_order, swapped}) {
        TestImage test(7, 3);
        AssembleColorImage(test.image, p_components, planes.p_planes, planes.n_widths);
        for(int y = 0; y < 3; ++y)
            for(int x = 0; x < 7; ++x)
                ASSERT_EQ(test.At(x, y), ReferencePixel(Level(planes.At(1, x, y)), Level(planes.At(2, x, y)),
                                                        Level(planes.At(3, x, y))))
                    << x << "," << y;
    }
}

// RGB frames: the three planes go straight into the red, green and blue
// lanes, each sample covering its upsampling rectangle.
TEST(AssembleRgbImage, PlanesAreStoredAsRedGreenBlue)
{
    TestPlanes planes;
    const FrameComponent components[3] = {Component('R', 1, 2, 1, 2), Component('G', 1, 2, 1, 2),
                                          Component('B', 1, 1, 1, 2)};
    const int sizes[3][2] = {{16, 8}, {16, 8}, {16, 8}};
    for(int n_position = 1; n_position <= 3; ++n_position) {
        planes.Add(n_position, sizes[n_position - 1][0], sizes[n_position - 1][1]);
        FillPattern(planes, n_position, sizes[n_position - 1][0], sizes[n_position - 1][1]);
    }
    TestImage test(11, 7);
    AssembleRgbImage(test.image, components, planes.p_planes, planes.n_widths);
    for(int y = 0; y < 7; ++y)
        for(int x = 0; x < 11; ++x)
            ASSERT_EQ(test.At(x, y), 0xFF000000u | uint32_t(Level(planes.At(1, x, y))) << 16 |
                                         uint32_t(Level(planes.At(2, x, y))) << 8 | Level(planes.At(3, x, y / 2)))
                << x << "," << y;
}

TEST(AssembleColorImage, HorizontalOnlyAndVerticalOnlySubsampling)
{
    // 4:1:1 (luma 4 x 1) and 4:4:0 (luma 1 x 2) on a 13 x 5 image.
    struct Case { int n_h, n_v; } cases[] = {{4, 1}, {1, 2}, {3, 1}};
    for(const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.n_h) + "x" + std::to_string(c.n_v));
        const int n_cw = ((13 + c.n_h - 1) / c.n_h + 7) / 8 * 8;
        const int n_ch = ((5 + c.n_v - 1) / c.n_v + 7) / 8 * 8;
        TestPlanes planes;
        const FrameComponent components[3] = {Component(1, c.n_h, c.n_v, c.n_h, c.n_v),
                                              Component(2, 1, 1, c.n_h, c.n_v),
                                              Component(3, 1, 1, c.n_h, c.n_v)};
        TestImage test(13, 5);
        ExpectPixelsOfCoveringSamples(planes, components, {{16, 8}, {n_cw, n_ch}, {n_cw, n_ch}}, test);
    }
}

// Four pixels of stored (inverted) C, M, Y, K, worked by hand: each channel
// is ink x K / 255 rounded to nearest (128 / 255 = 0.502 gives 1, 127 / 255
// = 0.498 gives 0). Read as YCCK, Y, Cb, Cr become R, G, B by the YCbCr
// tables and the inks are 255 - R, 255 - G, 255 - B: Y 255, Cb 0, Cr 128
// give R 255, G 299 -> 255, B 255 - 226 = 29, inks 0, 0, 226; Y 1, Cb 1,
// Cr 1 give R 1 - 178 -> 0, G 1 + 43 + 90 = 134, B 1 - 225 -> 0, inks 255,
// 121, 255, and 121 x 128 / 255 = 60.7 gives 61; Y 1, Cb 0, Cr 0 give G
// 1 + 44 + 91 = 136, inks 255, 119, 255, and 119 x 127 / 255 = 59.3 gives
// 59. K, sampled 1 x 1 under the others' 1 x 2, covers both image rows.
TEST(AssembleCmykImage, ChannelsAreInkTimesBlackRoundedToNearest)
{
    const uint8_t samples[4][4] = {{255, 255, 1, 1}, {0, 128, 1, 0}, {128, 128, 1, 0}, {255, 128, 128, 127}};
    const uint32_t expected_cmyk[4] = {0xFFFF0080u, 0xFF804040u, 0xFF010101u, 0xFF000000u};
    const uint32_t expected_ycck[4] = {0xFF0000E2u, 0xFF000000u, 0xFF803D80u, 0xFF7F3B7Fu};
    TestPlanes planes;
    for(int n_position = 1; n_position <= 4; ++n_position)
        planes.Add(n_position, 8, 8);
    for(int j = 0; j < 4; ++j)
        for(int x = 0; x < 4; ++x) {
            planes.At(j + 1, x, 0) = int8_t(samples[j][x] - 128);
            planes.At(j + 1, x, 1) = int8_t(j < 3 ? samples[j][x] - 128 : -128); // K row 1 is not read
        }
    const FrameComponent components[4] = {Component(1, 1, 2, 1, 2), Component(2, 1, 2, 1, 2),
                                          Component(3, 1, 2, 1, 2), Component(4, 1, 1, 1, 2)};
    TestImage cmyk(4, 2), ycck(4, 2);
    AssembleCmykImage(cmyk.image, components, planes.p_planes, planes.n_widths);
    AssembleYcckImage(ycck.image, components, planes.p_planes, planes.n_widths);
    for(int y = 0; y < 2; ++y)
        for(int x = 0; x < 4; ++x) {
            EXPECT_EQ(cmyk.At(x, y), expected_cmyk[x]) << x << "," << y;
            EXPECT_EQ(ycck.At(x, y), expected_ycck[x]) << x << "," << y;
        }
}

TEST(AssembleGrayImage, ReplicatesTheSampleIntoThreeChannelsAndSkipsPadding)
{
    TestPlanes planes;
    planes.Add(1, 16, 8);
    FillPattern(planes, 1, 16, 8);
    planes.At(1, 0, 0) = -128;
    planes.At(1, 1, 0) = 0;
    planes.At(1, 2, 0) = 127;
    TestImage test(10, 3);
    AssembleGrayImage(test.image, planes.p_planes[0], planes.n_widths[0]);
    EXPECT_EQ(test.At(0, 0), 0xFF000000u);
    EXPECT_EQ(test.At(1, 0), 0xFF808080u);
    EXPECT_EQ(test.At(2, 0), 0xFFFFFFFFu);
    for(int y = 0; y < 3; ++y)
        for(int x = 0; x < 10; ++x)
            ASSERT_EQ(test.At(x, y), 0xFF000000u | Level(planes.At(1, x, y)) * 0x010101u) << x << "," << y;
}

} // namespace
