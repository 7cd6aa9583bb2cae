// Marker dispatch, segment parsers and the decoder record, on files made by
// cjpeg and ImageMagick and on streams built byte by byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "jpeg_color.h"
#include "jpeg_decoder.h"
#include "jpeg_idct.h"
#include "jpeg_test_support.h"

namespace {

using namespace tarnwick;
using namespace test;

// ---- Decoding -------------------------------------------------------------

// The driver hands Decode plain uninitialised storage; garbage stands in for it.
std::unique_ptr<JpegDecoder> p_GarbageDecoder()
{
    std::unique_ptr<JpegDecoder> p_decoder(new JpegDecoder);
    std::memset(static_cast<void *>(p_decoder.get()), 0xA5, sizeof(JpegDecoder));
    return p_decoder;
}

ImagePtr Decode(JpegDecoder &decoder, const Bytes &bytes)
{
    BytesStream file(bytes);
    return ImagePtr(decoder.Decode(file.get()));
}

void ExpectPlanesReleased(const JpegDecoder &decoder)
{
    for(int i = 0; i < 4; ++i)
        EXPECT_EQ(decoder.frame.p_planes[i], nullptr) << "plane of ID " << i + 1;
    EXPECT_EQ(decoder.frame.b_frame_seen, 0);
}

// Runs one handler over the bytes that follow its marker, in a zeroed record;
// planes it allocates are freed afterwards.
bool RunHandler(MarkerHandler p_handler, const Bytes &bytes)
{
    std::unique_ptr<FileInput> p_file(new FileInput(bytes));
    std::unique_ptr<JpegDecoder> p_decoder(new JpegDecoder());
    const bool b_result = p_handler(0, *p_decoder, p_file->input);
    ReleasePlanes(p_decoder->frame);
    return b_result;
}

// ---- Fixture files --------------------------------------------------------

Bytes FixtureBytes(const std::string &name)
{
    const Bytes bytes = test::ReadFileBytes(test::Fixture(name));
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

struct SegmentSpan {
    size_t n_start, n_end;
    uint8_t n_code;
};

// The marker segments from the one after the SOI up to the first scan header,
// found by their lengths.
std::vector<SegmentSpan> SegmentsUpToScan(const Bytes &bytes)
{
    std::vector<SegmentSpan> spans;
    for(size_t i = 2; i + 4 <= bytes.size() && bytes[i] == 0xFF;) {
        const size_t n_end = i + 2 + (bytes[i + 2] << 8 | bytes[i + 3]);
        spans.push_back({i, n_end, bytes[i + 1]});
        if(bytes[i + 1] == 0xDA)
            break;
        i = n_end;
    }
    return spans;
}

Bytes CutBeforeFirstScan(const Bytes &bytes)
{
    for(const SegmentSpan &span : SegmentsUpToScan(bytes))
        if(span.n_code == 0xDA)
            return Bytes(bytes.begin(), bytes.begin() + span.n_start);
    ADD_FAILURE() << "no scan";
    return bytes;
}

Bytes WithoutSegments(const Bytes &bytes, uint8_t n_code)
{
    Bytes kept(bytes);
    const std::vector<SegmentSpan> spans = SegmentsUpToScan(bytes);
    for(auto it = spans.rbegin(); it != spans.rend(); ++it)
        if(it->n_code == n_code)
            kept.erase(kept.begin() + it->n_start, kept.begin() + it->n_end);
    return kept;
}

// The tables of a fixture: everything before its first scan, decoded. The
// decode fails at the end of that input; the tables stay in the record.
std::unique_ptr<JpegDecoder> p_DecodeTables(const std::string &name)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_FALSE(Decode(*p_decoder, CutBeforeFirstScan(FixtureBytes(name))));
    ExpectPlanesReleased(*p_decoder);
    return p_decoder;
}

// ---- Reference values -----------------------------------------------------

// ITU-T T.81 Tables K.1 and K.2, row by row.
const int kLuminanceTable[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const int kChrominanceTable[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// The IJG quality scaling that cjpeg and ImageMagick apply to those tables.
int ScaledEntry(int n_base, int n_quality)
{
    const int n_scale = n_quality < 50 ? 5000 / n_quality : 200 - 2 * n_quality;
    const int n_entry = (n_base * n_scale + 50) / 100;
    return n_entry < 1 ? 1 : n_entry;
}

// Each factor, in zigzag order, is the entry at its natural position times the
// two scale factors of that row and column.
void ExpectFoldedFactors(const QuantTable &table, const int *p_entries)
{
    const std::vector<int> zigzag = ZigzagWalk();
    for(int k = 0; k < 64; ++k) {
        const int n = zigzag[k];
        const double f_expected = p_entries[n] * IdctScaleFactor(n / 8) * IdctScaleFactor(n % 8);
        EXPECT_NEAR(table.factors[k], f_expected, f_expected * 1e-6) << "zigzag position " << k;
    }
}

void ExpectIjgTable(const QuantTable &table, const int *p_base, int n_quality)
{
    int entries[64];
    for(int i = 0; i < 64; ++i)
        entries[i] = ScaledEntry(p_base[i], n_quality);
    ExpectFoldedFactors(table, entries);
}

// A complete canonical code leaves exactly one code point unused, the code of
// all ones at the longest length: JPEG encoders reserve it.
void ExpectAllOnesCodeReserved(const HuffmanTable &table)
{
    int n_longest = 16;
    while(n_longest > 0 && table.n_code_counts[n_longest - 1] == 0)
        --n_longest;
    ASSERT_GT(n_longest, 0);
    EXPECT_EQ(table.n_first_codes[n_longest - 1] + table.n_code_counts[n_longest - 1], (1 << n_longest) - 1);
}

int n_SymbolCount(const HuffmanTable &table)
{
    int n_total = 0;
    for(uint8_t n_count : table.n_code_counts)
        n_total += n_count;
    return n_total;
}

// ---- Constant tables ------------------------------------------------------

TEST(JpegConstants, ZigzagTableFollowsTheDiagonalWalk)
{
    const std::vector<int> zigzag = ZigzagWalk();
    ASSERT_EQ(zigzag.size(), 64u);
    for(int k = 1; k < 64; ++k)
        EXPECT_EQ(kZigzagToNatural[k - 1], zigzag[k]) << "zigzag position " << k;
}

TEST(JpegConstants, ScaleFactorsAreTheNearestFloats)
{
    EXPECT_EQ(kIdctScaleFactors[0], 1.0f);
    for(int j = 1; j < 8; ++j)
        EXPECT_EQ(kIdctScaleFactors[j], float(IdctScaleFactor(j))) << j;
}

// ---- Quantisation tables --------------------------------------------------

TEST(QuantTables, AllOnesTableHoldsTheScaleFactorProducts)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_DecodeTables("cjpeg_q100.jpg");
    for(int n_id = 0; n_id < 2; ++n_id) {
        const QuantTable &table = p_decoder->quant_tables[n_id];
        EXPECT_EQ(table.b_defined, 1);
        EXPECT_EQ(table.b_16bit, 0);
        EXPECT_EQ(table.factors[0], 1.0f);
        EXPECT_EQ(table.factors[1], 1.3870399f);
        EXPECT_EQ(table.factors[2], 1.3870399f);
        EXPECT_EQ(table.factors[63], 0.076120466f);
        const int ones[64] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                              1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                              1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        ExpectFoldedFactors(table, ones);
    }
    EXPECT_EQ(p_decoder->quant_tables[2].b_defined, 0);
    EXPECT_EQ(p_decoder->quant_tables[3].b_defined, 0);
}

TEST(QuantTables, TablesOfCjpegAndImageMagickAreTheScaledStandardTables)
{
    std::unique_ptr<JpegDecoder> p_q50 = p_DecodeTables("cjpeg_q50_optimize.jpg");
    ExpectIjgTable(p_q50->quant_tables[0], kLuminanceTable, 50);
    ExpectIjgTable(p_q50->quant_tables[1], kChrominanceTable, 50);

    std::unique_ptr<JpegDecoder> p_magick = p_DecodeTables("magick_q75_444.jpg");
    ExpectIjgTable(p_magick->quant_tables[0], kLuminanceTable, 75);
    ExpectIjgTable(p_magick->quant_tables[1], kChrominanceTable, 75);
}

TEST(QuantTables, SixteenBitTablesOfCjpeg)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_DecodeTables("cjpeg_q5_16bit.jpg");
    for(int n_id = 0; n_id < 2; ++n_id) {
        EXPECT_EQ(p_decoder->quant_tables[n_id].b_defined, 1);
        EXPECT_EQ(p_decoder->quant_tables[n_id].b_16bit, 1);
    }
    ExpectIjgTable(p_decoder->quant_tables[0], kLuminanceTable, 5); // 160 ... 990, past one byte
    ExpectIjgTable(p_decoder->quant_tables[1], kChrominanceTable, 5);
    EXPECT_EQ(p_decoder->quant_tables[0].factors[0], 160.0f);
}

TEST(QuantTables, OneSegmentCarriesAnEightAndASixteenBitTable)
{
    Bytes body16(1 + 128);
    body16[0] = 0x11;
    for(int k = 0; k < 64; ++k) {
        body16[1 + 2 * k] = 0x12; // 0x1234, high byte first
        body16[2 + 2 * k] = 0x34;
    }
    const Bytes dqt = Segment(0xFFDB, Join({QuantBody8(0x00, 2), body16}));

    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, dqt, GraySof0(8, 8), FlatScan({1}), kEoi})));
    const QuantTable &table8 = p_decoder->quant_tables[0], &table16 = p_decoder->quant_tables[1];
    EXPECT_EQ(table8.b_defined, 1);
    EXPECT_EQ(table8.b_16bit, 0);
    EXPECT_EQ(table8.factors[0], 2.0f);
    EXPECT_EQ(table16.b_defined, 1);
    EXPECT_EQ(table16.b_16bit, 1);
    EXPECT_EQ(table16.factors[0], 4660.0f);
    EXPECT_FLOAT_EQ(table16.factors[63], float(4660 * IdctScaleFactor(7) * IdctScaleFactor(7)));
}

TEST(QuantTables, BytesTooShortForATableAreScannedThrough)
{
    // 77 = 2 + 65 + 10: one table, then ten bytes that hold no table.
    const Bytes dqt = Segment(0xFFDB, Join({QuantBody8(0x02, 3), Bytes(10, 0x42)}));
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, dqt, Dqt8(0), GraySof0(8, 8), FlatScan({1}), kEoi})));
    EXPECT_EQ(p_decoder->quant_tables[2].b_defined, 1);
    EXPECT_EQ(p_decoder->quant_tables[2].factors[0], 3.0f);
}

// ---- Huffman tables -------------------------------------------------------

TEST(HuffmanTables, StandardTablesOfCjpeg)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_DecodeTables("cjpeg_q100.jpg");
    const HuffmanTable &dc = p_decoder->huffman_tables[0][0];
    ASSERT_EQ(dc.b_defined, 1);
    const uint8_t counts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
    const uint16_t first_codes[16] = {0,    0,    2,    14,   30,    62,    126,   254,
                                      510,  1022, 2044, 4088, 8176,  16352, 32704, 65408};
    const int first_symbols[16] = {0, 0, 1, 6, 7, 8, 9, 10, 11, 12, 12, 12, 12, 12, 12, 12};
    for(int i = 0; i < 16; ++i) {
        EXPECT_EQ(dc.n_code_counts[i], counts[i]) << "length " << i + 1;
        EXPECT_EQ(dc.n_first_codes[i], first_codes[i]) << "length " << i + 1;
        EXPECT_EQ(dc.p_first_values[i] - dc.symbols, first_symbols[i]) << "length " << i + 1;
    }
    for(int n_symbol = 0; n_symbol < 12; ++n_symbol)
        EXPECT_EQ(dc.symbols[n_symbol], n_symbol);

    // Table K.5: end of block is 1010, the first code of length 4; the 125
    // codes of length 16 end just below the reserved all-ones code.
    const HuffmanTable &ac = p_decoder->huffman_tables[0][1];
    ASSERT_EQ(ac.b_defined, 1);
    EXPECT_EQ(n_SymbolCount(ac), 162);
    EXPECT_EQ(ac.n_first_codes[1], 0);
    EXPECT_EQ(*ac.p_first_values[1], 0x01);
    EXPECT_EQ(ac.n_first_codes[3], 10);
    EXPECT_EQ(*ac.p_first_values[3], 0x00);
    EXPECT_EQ(ac.n_first_codes[15], 65410);
    for(int n_id = 0; n_id < 2; ++n_id)
        for(int n_class = 0; n_class < 2; ++n_class)
            ExpectAllOnesCodeReserved(p_decoder->huffman_tables[n_id][n_class]);
    EXPECT_EQ(p_decoder->huffman_tables[2][0].b_defined, 0);
    EXPECT_EQ(p_decoder->huffman_tables[3][1].b_defined, 0);
}

TEST(HuffmanTables, OptimisedTablesOfCjpegAndImageMagick)
{
    for(const char *p_name : {"cjpeg_q50_optimize.jpg", "magick_q75_444.jpg"}) {
        SCOPED_TRACE(p_name);
        std::unique_ptr<JpegDecoder> p_decoder = p_DecodeTables(p_name);
        for(int n_id = 0; n_id < 2; ++n_id)
            for(int n_class = 0; n_class < 2; ++n_class) {
                const HuffmanTable &table = p_decoder->huffman_tables[n_id][n_class];
                EXPECT_EQ(table.b_defined, 1);
                ExpectAllOnesCodeReserved(table);
                for(int i = 0; i < 16; ++i)
                    EXPECT_LE(table.p_first_values[i] + table.n_code_counts[i], table.symbols + 256);
            }
        // A 16 x 16 picture needs far fewer than the twelve DC sizes of the
        // standard table.
        EXPECT_LT(n_SymbolCount(p_decoder->huffman_tables[0][0]), 12);
        for(int i = 0; i < n_SymbolCount(p_decoder->huffman_tables[0][0]); ++i)
            EXPECT_LE(p_decoder->huffman_tables[0][0].symbols[i], 11);
    }
}

TEST(HuffmanTables, SegmentOfEighteenBytesOrLessFillsNoTable)
{
    const Bytes dht = Segment(0xFFC4, Bytes(16, 0x00)); // length 18
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, dht, Dqt8(0), GraySof0(8, 8), FlatScan({1}), kEoi})));
    EXPECT_EQ(p_decoder->huffman_tables[0][0].b_defined, 0);
}

TEST(HuffmanTables, TablesOfAnEarlierDecodeDoNotCount)
{
    // A scan with tables of the previous decode still in the record fails.
    const Bytes file = FixtureBytes("cjpeg_q100.jpg");
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    ASSERT_TRUE(Decode(*p_decoder, file));
    EXPECT_FALSE(Decode(*p_decoder, WithoutSegments(file, 0xDB)));
    EXPECT_EQ(p_decoder->quant_tables[0].b_defined, 0);
    ASSERT_TRUE(Decode(*p_decoder, file));
    EXPECT_FALSE(Decode(*p_decoder, WithoutSegments(file, 0xC4)));
    EXPECT_EQ(p_decoder->huffman_tables[0][0].b_defined, 0);
    ExpectPlanesReleased(*p_decoder);
}

// ---- Frame header and planes ----------------------------------------------

// Flat blocks, and plane samples that no block wrote, read as the mid level
// 128 in every channel.
void ExpectAllMidGray(const Image &image)
{
    for(uint64_t i = 0; i < n_PixelCount(image); ++i)
        ASSERT_EQ(image.p_buffer[i], 0xFF808080u) << "pixel " << i;
}

TEST(FrameHeader, GeometryOfA17By9FrameWithTwoByTwoLuma)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    ImagePtr p_image =
        Decode(*p_decoder, Join({kSoi, Dqt8(0), Dqt8(1), Sof0(17, 9, kYcc420), FlatScan({1, 2, 3}, 12), kEoi}));
    ASSERT_TRUE(p_image);
    const JpegDecoder &decoder = *p_decoder;
    EXPECT_EQ(decoder.frame.n_mcus_per_row, 2);
    EXPECT_EQ(decoder.frame.n_mcu_count, 2);
    const int upsample[3] = {1, 2, 2}, widths[3] = {24, 16, 16}, heights[3] = {16, 8, 8};
    for(int i = 0; i < 3; ++i) {
        EXPECT_EQ(decoder.frame.components[i].n_h_upsample, upsample[i]);
        EXPECT_EQ(decoder.frame.components[i].n_v_upsample, upsample[i]);
        EXPECT_EQ(decoder.frame.n_plane_widths[i], widths[i]);
        EXPECT_EQ(decoder.frame.n_plane_heights[i], heights[i]);
    }
    ExpectPlanesReleased(decoder);

    EXPECT_EQ(p_image->n_width, 17);
    EXPECT_EQ(p_image->n_height, 9);
    EXPECT_EQ(p_image->b_grayscale, 0);
    ExpectAllMidGray(*p_image);
}

TEST(FrameHeader, GrayFrameGivesAGrayImageOfTheFrameSize)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    ImagePtr p_image = Decode(*p_decoder, Join({kSoi, Dqt8(0), GraySof0(10, 3), FlatScan({1}, 2), kEoi}));
    ASSERT_TRUE(p_image);
    EXPECT_EQ(p_decoder->frame.n_plane_widths[0], 16);
    EXPECT_EQ(p_decoder->frame.n_plane_heights[0], 8);
    EXPECT_EQ(p_image->n_width, 10);
    EXPECT_EQ(p_image->n_height, 3);
    EXPECT_EQ(p_image->n_bpp, 8);
    EXPECT_EQ(p_image->b_grayscale, 1);
    EXPECT_EQ(p_image->b_alpha, 0);
    ExpectAllMidGray(*p_image);
}

TEST(FrameHeader, EmptyFramesAreRefusedAndTheLargestAccepted)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    // No pixels: an array of no items would not compile. A height of 0
    // leaves the height to a DNL segment, which is not read.
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, Dqt8(0), GraySof0(0, 5), FlatScan({1}, 0), kEoi})));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kEmptyImage);
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, Dqt8(0), GraySof0(7, 0), FlatScan({1}, 0), kEoi})));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kUnsupportedJpeg);

    ImagePtr p_wide = Decode(*p_decoder, Join({kSoi, Dqt8(0), GraySof0(32767, 1), FlatScan({1}, 4096), kEoi}));
    ASSERT_TRUE(p_wide);
    EXPECT_EQ(p_wide->n_width, 32767);
    EXPECT_EQ(p_decoder->frame.n_plane_widths[0], 32768);
    EXPECT_EQ(p_decoder->frame.n_mcus_per_row, 4096);
}

TEST(FrameHeader, SecondFrameHeaderFailsTheDecode)
{
    // Its tables stay unread, and the first frame's planes are released.
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, Dqt8(0), Sof0(32, 32, kYcc420), GraySof0(8, 4), Dqt8(3),
                                          FlatScan({1}), kEoi})));
    EXPECT_EQ(p_decoder->quant_tables[3].b_defined, 0);
    ExpectPlanesReleased(*p_decoder);
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, Dqt8(0), GraySof0(8, 4), FlatScan({1}), GraySof0(8, 4),
                                          FlatScan({1}), kEoi})));
    ExpectPlanesReleased(*p_decoder);
}

// ---- Scans due before the end of image ------------------------------------

TEST(ScansDue, EveryComponentNeedsAScanBeforeTheEndOfImage)
{
    const Bytes tables = Join({Dqt8(0), Dqt8(1)});
    const Bytes frame = Sof0(16, 16, kYcc420); // one MCU: four luma blocks, one of each chroma
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, tables, frame, FlatScan({1, 2, 3}, 6), kEoi})));
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, tables, frame, FlatScan({2}), FlatScan({1}, 4), FlatScan({3}), kEoi})));

    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, tables, frame, kEoi})));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kCorruptData);
    ExpectPlanesReleased(*p_decoder);
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, tables, frame, FlatScan({1}, 4), FlatScan({3}), kEoi})));
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, tables, frame, FlatScan({1, 2}, 5), kEoi})));
    // A scan of no component reads no data and carries nothing.
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, tables, frame, FlatScan({}), kEoi})));
    // The marks of a finished decode do not carry over into the next one.
    ASSERT_TRUE(Decode(*p_decoder, Join({kSoi, tables, frame, FlatScan({1, 2, 3}, 6), kEoi})));
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, tables, frame, kEoi})));
}

TEST(ScansDue, HeaderOnlyFileDeclaringAHugeFrameIsRefused)
{
    // 21248 x 16772 in three components: assembled from its empty planes this
    // would be a 1.4 GB Image made from under a hundred bytes.
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, Dqt8(0), Dqt8(1), Sof0(21248, 16772, kYcc420), kEoi})));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kCorruptData);
    ExpectPlanesReleased(*p_decoder);
}

TEST(ScansDue, ScanRunningOutOfDataStopsAtTheEndOfTheFile)
{
    // 1 KB declaring 32767 x 32767 in three components; its flat blocks cover
    // a third of the first MCU row before the file ends.
    const Bytes head = Join({kSoi, Dqt8(0), Sof0(32767, 32767, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}})});
    Bytes file = Join({head, FlatScan({1, 2, 3})});
    file.resize(1024, 0x00);
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_FALSE(Decode(*p_decoder, file));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kTruncated);
    ExpectPlanesReleased(*p_decoder);
    // With an end of image right after the data, the scan reads its two
    // bytes as data and fails on them just as well: their one bits match no
    // code.
    file.resize(1022);
    EXPECT_FALSE(Decode(*p_decoder, Join({file, kEoi})));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kCorruptData);
}

// ---- Marker loop ----------------------------------------------------------

TEST(MarkerLoop, MarkersBeforeTheStartOfImageAreIgnored)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_TRUE(Decode(*p_decoder, Join({Dqt8(2), kEoi, kSoi, Dqt8(0), GraySof0(8, 8), FlatScan({1}), kEoi})));
    EXPECT_EQ(p_decoder->quant_tables[2].b_defined, 0);

    EXPECT_FALSE(Decode(*p_decoder, Join({Dqt8(0), GraySof0(8, 8), kEoi})));
    EXPECT_EQ(p_decoder->quant_tables[0].b_defined, 0);
}

TEST(MarkerLoop, StrayRestartMarkersAndUnknownMarkersAreIgnored)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, Marker(0xFFD0), Dqt8(0), GraySof0(8, 8), Marker(0xFFD7), kSoi,
                                         Marker(0xFF4F), FlatScan({1}), kEoi})));
}

TEST(MarkerLoop, RestartInterval)
{
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    const Bytes gray = Join({Dqt8(0), GraySof0(8, 8)});
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, Segment(0xFFDD, {0x01, 0x02}), gray, FlatScan({1}), kEoi})));
    EXPECT_EQ(p_decoder->b_restart, 1);
    EXPECT_EQ(p_decoder->n_restart_interval, 0x0102);
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, Segment(0xFFDD, {0x00, 0x00}), gray, FlatScan({1}), kEoi})));
    EXPECT_EQ(p_decoder->b_restart, 0);
}

TEST(MarkerLoop, SkippedSegmentsPassOverExactlyTheirBody)
{
    // A handler that stops short would meet the quantisation segment hidden
    // in the body and fill table 3.
    const Bytes decoy = Join({Dqt8(3), kEoi});
    for(uint16_t n_marker : {0xFFE1, 0xFFEF, 0xFFFE, 0xFFDF, 0xFF01, 0xFFBF}) {
        std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
        EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, Segment(n_marker, Join({{0x00}, decoy})), Dqt8(0),
                                             GraySof0(8, 8), FlatScan({1}), kEoi})))
            << std::hex << n_marker;
        EXPECT_EQ(p_decoder->quant_tables[3].b_defined, 0) << std::hex << n_marker;
    }
}

TEST(MarkerLoop, App0OfLength16PassesOverItsFourteenBytes)
{
    std::unique_ptr<FileInput> p_file(new FileInput(Join({Bytes{0x00, 0x10}, Bytes(14, 0x33), {0xAB}})));
    std::unique_ptr<JpegDecoder> p_decoder(new JpegDecoder());
    ASSERT_TRUE(ParseApp0(0xFFE0, *p_decoder, p_file->input));
    uint8_t n_next = 0;
    ASSERT_TRUE(ReadByte(p_file->input, n_next));
    EXPECT_EQ(n_next, 0xAB);
}

TEST(MarkerLoop, App0ShorterThanNineBytesPassesOver65536MoreBytes)
{
    // Length 8: 5 + 2 + (8 - 9) mod 65536 = 65542 bytes. The decoy sits where
    // the body would end; the real tables follow the 65542 bytes.
    Bytes skipped(65542, 0x00);
    const Bytes decoy = Join({Dqt8(3), kEoi});
    std::copy(decoy.begin(), decoy.end(), skipped.begin() + 6);
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, SegmentWithLength(0xFFE0, 8, skipped), Dqt8(0), GraySof0(8, 8),
                                         FlatScan({1}), kEoi})));
    EXPECT_EQ(p_decoder->quant_tables[3].b_defined, 0);
    EXPECT_EQ(p_decoder->quant_tables[0].b_defined, 1);

    // One byte fewer and the skip runs off the end.
    EXPECT_FALSE(RunHandler(ParseApp0, Join({{0x00, 0x08}, Bytes(65541, 0x00)})));
    EXPECT_TRUE(RunHandler(ParseApp0, Join({{0x00, 0x08}, Bytes(65542, 0x00)})));
}

// ---- Refused frame kinds --------------------------------------------------

TEST(RefusedFrames, ArithmeticFileOfCjpegButNotItsProgressiveFile)
{
    // The progressive file's Huffman tables follow its frame header.
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    ImagePtr p_image = Decode(*p_decoder, FixtureBytes("cjpeg_progressive.jpg"));
    ASSERT_TRUE(p_image);
    EXPECT_EQ(p_image->n_width, 16);
    EXPECT_EQ(p_image->n_height, 16);
    EXPECT_EQ(p_decoder->failure, LoadFailure::kNone);
    ExpectPlanesReleased(*p_decoder);
    EXPECT_EQ(p_decoder->progressive.p_coefficient_store, nullptr);

    EXPECT_FALSE(Decode(*p_decoder, FixtureBytes("cjpeg_arithmetic.jpg")));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kArithmeticJpeg);
    EXPECT_EQ(p_decoder->quant_tables[1].b_defined, 1);
    ExpectPlanesReleased(*p_decoder);
}

TEST(RefusedFrames, EveryRefusedMarkerStopsTheDecodeAndReleasesThePlanes)
{
    // A frame header allocates planes first; the table after the refused
    // marker must stay unread.
    const Bytes body = FrameBody(16, 16, kYcc420);
    const LoadFailure kArithmetic = LoadFailure::kArithmeticJpeg, kHierarchical = LoadFailure::kHierarchicalJpeg;
    const std::pair<uint16_t, LoadFailure> refusals[] = {
        {0xFFC3, LoadFailure::kLosslessJpeg},
        {0xFFC5, kHierarchical}, {0xFFC6, kHierarchical}, {0xFFC7, kHierarchical},
        {0xFFC8, LoadFailure::kUnsupportedJpeg}, {0xFFC9, kArithmetic}, {0xFFCA, kArithmetic},
        {0xFFCB, kArithmetic}, {0xFFCC, kArithmetic}, {0xFFCD, kArithmetic}, {0xFFCE, kArithmetic},
        {0xFFCF, kArithmetic}, {0xFFDC, LoadFailure::kUnsupportedJpeg}, {0xFFDE, kHierarchical}};
    for(const auto &[n_marker, cause] : refusals) {
        std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
        EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, Sof0(16, 16, kYcc420), Dqt8(0), Segment(n_marker, body),
                                              Dqt8(1), kEoi})))
            << std::hex << n_marker;
        EXPECT_EQ(p_decoder->failure, cause) << std::hex << n_marker;
        EXPECT_EQ(p_decoder->quant_tables[0].b_defined, 1) << std::hex << n_marker;
        EXPECT_EQ(p_decoder->quant_tables[1].b_defined, 0) << std::hex << n_marker;
        ExpectPlanesReleased(*p_decoder);
    }
    // The same stream with an application segment in that place decodes.
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    EXPECT_TRUE(Decode(*p_decoder, Join({kSoi, Sof0(16, 16, kYcc420), Dqt8(0), Segment(0xFFE1, body), Dqt8(1),
                                         FlatScan({1, 2, 3}, 6), kEoi})));
    EXPECT_EQ(p_decoder->quant_tables[1].b_defined, 1);
}

// ---- Limits and broken segments -------------------------------------------

struct BrokenCase {
    const char *p_name;
    Bytes segments;        // after a valid gray frame
    bool b_frame = false;  // a frame header: it takes the valid one's place
    LoadFailure cause = LoadFailure::kCorruptData;
};

TEST(BrokenStreams, EveryBrokenLimitFailsTheDecode)
{
    Bytes too_many_symbols = {0x00};
    for(int i = 0; i < 16; ++i)
        too_many_symbols.push_back(i == 14 ? 2 : i == 15 ? 255 : 0); // 257 codes
    too_many_symbols.resize(too_many_symbols.size() + 257, 0x00);
    const Bytes short_huffman = Join({Bytes{0x00, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 2, 3}});
    const std::vector<BrokenCase> cases = {
        {"quantisation table id 4", Dqt8(4)},
        {"16-bit quantisation table id 15", Segment(0xFFDB, Join({{0x1F}, Bytes(128, 1)}))},
        {"16-bit quantisation table past its segment", Segment(0xFFDB, QuantBody8(0x10, 1))},
        {"quantisation segment length 1", SegmentWithLength(0xFFDB, 1, QuantBody8(0, 1))},
        {"Huffman class 2", Segment(0xFFC4, {0x20, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7})},
        {"Huffman table id 4", Segment(0xFFC4, {0x04, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7})},
        {"257 Huffman symbols", Segment(0xFFC4, too_many_symbols)},
        {"Huffman table past its segment", Join({Segment(0xFFC4, short_huffman), Bytes(20, 0x00)})},
        {"Huffman segment length 0", SegmentWithLength(0xFFC4, 0, {})},
        {"frame with no component", Segment(0xFFC0, FrameBody(8, 8, {})), true},
        {"frame with five components",
         Segment(0xFFC0, FrameBody(8, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}, {4, 0x11, 0}, {4, 0x11, 0}})), true},
        {"component ID used twice", Sof0(8, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {1, 0x11, 0}}), true},
        {"horizontal sampling 0", Sof0(8, 8, {{1, 0x01, 0}}), true},
        {"vertical sampling 0", Sof0(8, 8, {{1, 0x22, 0}, {2, 0x10, 0}, {3, 0x11, 0}}), true},
        {"component quantisation table 4", Sof0(8, 8, {{1, 0x11, 4}}), true},
        {"frame width 32768", Sof0(32768, 8, {{1, 0x11, 0}}), true, LoadFailure::kTooLarge},
        {"frame height 65535", Sof0(8, 65535, {{1, 0x11, 0}}), true, LoadFailure::kTooLarge},
        {"12-bit samples", Segment(0xFFC1, FrameBody(8, 8, {{1, 0x11, 0}}, 12)), true, LoadFailure::kJpegPrecision},
        {"16-bit samples", Segment(0xFFC1, FrameBody(8, 8, {{1, 0x11, 0}}, 16)), true, LoadFailure::kJpegPrecision},
        {"frame segment length 1", SegmentWithLength(0xFFC0, 1, FrameBody(8, 8, {{1, 0x11, 0}})), true},
        {"restart segment length 0", SegmentWithLength(0xFFDD, 0, {0x00, 0x04})},
        {"application segment length 1", SegmentWithLength(0xFFE1, 1, {})},
        {"comment length 0", SegmentWithLength(0xFFFE, 0, {})},
        {"APP0 length 1", SegmentWithLength(0xFFE0, 1, Bytes(65542, 0x00))},
    };
    // The broken segment follows a valid frame, or takes its place, so that
    // without it the stream decodes. The decode stops right there: the table
    // after it stays unread.
    const Bytes start = Join({kSoi, Dqt8(0)});
    const Bytes frame = GraySof0(8, 8);
    const Bytes rest = Join({Dqt8(3), FlatScan({1}), kEoi});
    std::unique_ptr<JpegDecoder> p_valid = p_GarbageDecoder();
    ASSERT_TRUE(Decode(*p_valid, Join({start, frame, rest})));
    for(const BrokenCase &c : cases) {
        std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
        EXPECT_FALSE(Decode(*p_decoder, Join({start, c.b_frame ? Bytes() : frame, c.segments, rest}))) << c.p_name;
        EXPECT_EQ(p_decoder->failure, c.cause) << c.p_name;
        EXPECT_EQ(p_decoder->quant_tables[3].b_defined, 0) << c.p_name;
        ExpectPlanesReleased(*p_decoder);
    }
}

TEST(BrokenStreams, TablesRunningPastTheirSegmentFailTheirHandler)
{
    // Read on past its segment, either table would leave a wrapped-around
    // count of bytes and go on parsing the zeros that follow as tables.
    const Bytes zeros(70000, 0x00);
    const Bytes quant16 = Segment(0, QuantBody8(0x10, 1)); // 65 bytes where 129 are needed
    EXPECT_FALSE(RunHandler(ParseQuantTables, Join({Bytes(quant16.begin() + 2, quant16.end()), zeros})));
    const Bytes huffman = Segment(0, {0x00, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3});
    EXPECT_FALSE(RunHandler(ParseHuffmanTables, Join({Bytes(huffman.begin() + 2, huffman.end()), zeros})));
}

TEST(BrokenStreams, FramesTheImageCannotBeMadeOf)
{
    // An end of image without a frame header, after a decode that left a
    // gray frame's fields in the record.
    std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
    ASSERT_TRUE(Decode(*p_decoder, Join({kSoi, Dqt8(0), GraySof0(8, 8), FlatScan({1}), kEoi})));
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, kEoi})));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kCorruptData);
    EXPECT_FALSE(Decode(*p_decoder, Join({kSoi, Dqt8(0), kEoi})));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kCorruptData);
    // Two components are refused at their frame header.
    EXPECT_FALSE(Decode(*p_decoder,
                        Join({kSoi, Dqt8(0), Sof0(8, 8, {{1, 0x11, 0}, {2, 0x11, 0}}), FlatScan({1, 2}, 2), kEoi})));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kTwoComponentJpeg);
    ExpectPlanesReleased(*p_decoder);

    // A scan before any frame header.
    const Bytes file = FixtureBytes("cjpeg_q100.jpg");
    EXPECT_FALSE(Decode(*p_decoder, WithoutSegments(file, 0xC0)));
    EXPECT_EQ(p_decoder->failure, LoadFailure::kCorruptData);
    ExpectPlanesReleased(*p_decoder);
}

// Every prefix of real files, sequential and progressive, fails as cut short
// (as no JPEG at all while it lacks the start-of-image marker) and leaves no
// plane behind; with an end-of-image marker appended it fails or yields an
// image of the declared size. Neither reads or writes outside its tables and
// planes (sanitizer build).
TEST(BrokenStreams, EveryPrefixOfARealFileFailsCleanly)
{
    for(const char *p_name : {"cjpeg_q100.jpg", "jpeg/cjpeg_420_17x9.jpg", "jpeg/cjpeg_420_scans_restart.jpg",
                              "jpeg/magick_422_17x9_comment.jpg", "jpeg/cjpeg_prog_420_17x9.jpg",
                              "jpeg/cjpeg_prog_gray_approximation_restart.jpg"}) {
        SCOPED_TRACE(p_name);
        const Bytes file = FixtureBytes(p_name);
        std::unique_ptr<JpegDecoder> p_decoder = p_GarbageDecoder();
        const ImagePtr p_whole = Decode(*p_decoder, file);
        ASSERT_TRUE(p_whole);
        for(size_t n_size = 0; n_size < file.size(); ++n_size) {
            Bytes prefix(file.begin(), file.begin() + long(n_size));
            EXPECT_FALSE(Decode(*p_decoder, prefix)) << n_size << " bytes";
            // Two bytes make the start-of-image marker; after it, the file ends early.
            EXPECT_EQ(p_decoder->failure, n_size < 2 ? LoadFailure::kNotJpeg : LoadFailure::kTruncated)
                << n_size << " bytes";
            ExpectPlanesReleased(*p_decoder);
            prefix.insert(prefix.end(), kEoi.begin(), kEoi.end());
            const ImagePtr p_image = Decode(*p_decoder, prefix);
            if(p_image) {
                EXPECT_EQ(p_image->n_width, p_whole->n_width) << n_size << " bytes and an end of image";
                EXPECT_EQ(p_image->n_height, p_whole->n_height) << n_size << " bytes and an end of image";
            }
            ExpectPlanesReleased(*p_decoder);
        }
    }
}

TEST(BrokenStreams, HandlersFailWhenTheirSegmentIsCutShort)
{
    const Bytes dht = {0x00, 0x00, 0x01, 0x05, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00,
                       0x00, 0x00, 0x00, 0x00, 0,    1,    2,    3,    4,    5,    6,    7,    8,
                       9,    10,   11};
    struct HandlerCase {
        const char *p_name;
        MarkerHandler p_handler;
        Bytes segment; // what follows the marker
    };
    const std::vector<HandlerCase> handlers = {
        {"8-bit quantisation table", ParseQuantTables, Segment(0, QuantBody8(0x00, 1))},
        {"16-bit quantisation table", ParseQuantTables, Segment(0, Join({{0x11}, Bytes(128, 1)}))},
        {"Huffman table", ParseHuffmanTables, Segment(0, dht)},
        {"frame header", ParseFrameHeader, Segment(0, FrameBody(17, 9, kYcc420))},
        {"restart interval", ParseRestartInterval, Segment(0, {0x00, 0x04})},
        {"application segment", SkipSegment, Segment(0, Bytes(10, 0x00))},
        {"APP0", ParseApp0, Segment(0, Bytes(14, 0x00))},
    };
    for(const HandlerCase &c : handlers) {
        const Bytes after_marker(c.segment.begin() + 2, c.segment.end());
        EXPECT_TRUE(RunHandler(c.p_handler, after_marker)) << c.p_name;
        for(size_t n_size = 0; n_size < after_marker.size(); ++n_size)
            EXPECT_FALSE(RunHandler(c.p_handler, Bytes(after_marker.begin(), after_marker.begin() + n_size)))
                << c.p_name << ", " << n_size << " bytes";
    }
}

} // namespace
