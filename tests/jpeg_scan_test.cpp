// Scan decoding: Huffman symbols, MCU walk, restarts, the ways corrupt or
// cut-short data ends a scan, and the MCU decoder's bit window against a
// plain bit-at-a-time reference decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "jpeg_decoder.h"
#include "jpeg_idct.h"
#include "jpeg_huffman.h"
#include "jpeg_sequential.h"
#include "jpeg_test_support.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::FileInput;

struct Code {
    uint16_t n_bits = 0;
    uint8_t n_length = 0; // 0: the symbol has no code
};

// Fills a HuffmanTable in place (its pointers point into itself) from code
// counts and symbols, the way a DHT segment lays codes out, and returns the
// code of every symbol for the test's encoder.
std::array<Code, 256> BuildTable(HuffmanTable &table, const std::array<uint8_t, 16> &counts,
                                 const std::vector<uint8_t> &symbols)
{
    std::array<Code, 256> codes{};
    table.b_defined = 1;
    int n_code = 0, n_total = 0;
    for(int i = 0; i < 16; ++i) {
        table.n_code_counts[i] = counts[i];
        table.n_first_codes[i] = uint16_t(n_code);
        table.p_first_values[i] = table.symbols + n_total;
        for(int j = 0; j < counts[i]; ++j) {
            table.symbols[n_total] = symbols[size_t(n_total)];
            codes[symbols[size_t(n_total)]] = Code{uint16_t(n_code + j), uint8_t(i + 1)};
            ++n_total;
        }
        n_code = (n_code + counts[i]) * 2;
    }
    BuildLookahead(table);
    return codes;
}

// ITU-T T.81 Table K.3: DC luminance sizes 0..11.
constexpr std::array<uint8_t, 16> kDcCounts = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kDcSymbols = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

// A small AC table with every kind of symbol the tests need, including the
// invalid runs 0x10 and 0x20 and sizes up to 15.
constexpr std::array<uint8_t, 16> kAcCounts = {0, 1, 2, 0, 8, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const std::vector<uint8_t> kAcSymbols = {0x00, 0x01, 0xF0, 0x02, 0x03, 0x04, 0x05, 0x06, 0x11,
                                         0x10, 0x20, 0x51, 0x0A, 0x0F, 0xE1, 0x31, 0x07, 0x08,
                                         0x09, 0x29, 0x91, 0xF2};

// Writes entropy-coded data: MSB first, a zero stuffed after every 0xFF,
// the last byte padded with 1 bits.
class BitWriter {
public:
    void Put(uint32_t n_value, int n_bits)
    {
        for(int i = n_bits - 1; i >= 0; --i) {
            m_n_acc = m_n_acc << 1 | (n_value >> i & 1u);
            if(++m_n_count == 8)
                Emit();
        }
    }
    void Symbol(const std::array<Code, 256> &codes, uint8_t n_symbol)
    {
        ASSERT_NE(codes[n_symbol].n_length, 0) << "no code for symbol " << int(n_symbol);
        Put(codes[n_symbol].n_bits, codes[n_symbol].n_length);
    }
    // A value in n_size bits, negative values as value + 2^n - 1.
    void Value(int n_value, int n_size)
    {
        Put(uint32_t(n_value < 0 ? n_value + (1 << n_size) - 1 : n_value), n_size);
    }
    void Marker(uint8_t n_code)
    {
        Pad();
        bytes.push_back(0xFF);
        bytes.push_back(n_code);
    }
    void Pad(uint32_t n_fill = 0xFF)
    {
        if(m_n_count)
            Put(n_fill, 8 - m_n_count);
    }

    Bytes bytes;

private:
    void Emit()
    {
        bytes.push_back(uint8_t(m_n_acc));
        if(uint8_t(m_n_acc) == 0xFF)
            bytes.push_back(0x00);
        m_n_acc = 0;
        m_n_count = 0;
    }
    uint32_t m_n_acc = 0;
    int m_n_count = 0;
};

int n_SizeOf(int n_value)
{
    int n_size = 0;
    for(int n_magnitude = n_value < 0 ? -n_value : n_value; n_magnitude; n_magnitude >>= 1)
        ++n_size;
    return n_size;
}

struct ComponentLayout {
    int n_id, n_h, n_v;
};

// A decoder with a frame, tables and planes set up as the segment parsers
// leave them, and an encoder for the scan data.
class ScanTest : public ::testing::Test {
protected:
    void SetFrame(int n_width, int n_height, const std::vector<ComponentLayout> &layouts)
    {
        decoder.frame.n_width = int16_t(n_width);
        decoder.frame.n_height = int16_t(n_height);
        decoder.frame.n_components = uint8_t(layouts.size());
        for(size_t j = 0; j < layouts.size(); ++j)
            decoder.frame.components[j] =
                FrameComponent{uint8_t(layouts[j].n_id), uint8_t(layouts[j].n_h), uint8_t(layouts[j].n_v), 0, 0, 0, 0, 0};
        SetFrameGeometry(decoder.frame);
        for(size_t j = 0; j < layouts.size(); ++j) {
            const int n_hs = decoder.frame.components[j].n_h_upsample, n_vs = decoder.frame.components[j].n_v_upsample;
            decoder.frame.n_plane_widths[j] = uint16_t(((n_width + n_hs - 1) / n_hs + 7) / 8 * 8);
            decoder.frame.n_plane_heights[j] = uint16_t(((n_height + n_vs - 1) / n_vs + 7) / 8 * 8);
            planes[j].assign(size_t(decoder.frame.n_plane_widths[j]) * decoder.frame.n_plane_heights[j], 0);
            decoder.frame.p_planes[j] = planes[j].data();
        }
        decoder.frame.b_frame_seen = 1;
    }

    void SetUp() override
    {
        dc_codes = BuildTable(decoder.huffman_tables[0][0], kDcCounts, kDcSymbols);
        ac_codes = BuildTable(decoder.huffman_tables[1][1], kAcCounts, kAcSymbols);
        decoder.quant_tables[0].b_defined = 1;
        // 8 for the DC term, so that a DC-only block stores its DC value;
        // distinct factors elsewhere, so that a coefficient multiplied by
        // the factor of the wrong position shows.
        decoder.quant_tables[0].factors[0] = 8.0f;
        for(int k = 1; k < 64; ++k)
            decoder.quant_tables[0].factors[k] = 1.0f + 0.25f * float(k);
    }

    // Start-of-scan segment body (after the marker) for (ID, table byte)
    // pairs; DC table 0 and AC table 1 are the ones set up.
    static Bytes ScanHeaderBytes(const std::vector<std::pair<int, int>> &components)
    {
        Bytes bytes = {0, uint8_t(6 + 2 * components.size()), uint8_t(components.size())};
        for(const auto &component : components) {
            bytes.push_back(uint8_t(component.first));
            bytes.push_back(uint8_t(component.second));
        }
        bytes.insert(bytes.end(), {0, 63, 0});
        return bytes;
    }

    void PutDc(int n_difference)
    {
        const int n_size = n_SizeOf(n_difference);
        data.Symbol(dc_codes, uint8_t(n_size));
        if(n_size)
            data.Value(n_difference, n_size);
    }
    void PutAc(int n_run, int n_value)
    {
        const int n_size = n_SizeOf(n_value);
        data.Symbol(ac_codes, uint8_t(n_run << 4 | n_size));
        data.Value(n_value, n_size);
    }
    void PutDcOnlyBlock(int n_difference)
    {
        PutDc(n_difference);
        data.Symbol(ac_codes, 0x00);
    }

    // Runs ParseScan over the scan header and the data written so far,
    // followed by an end-of-image marker; returns its result and the marker
    // that a search after the scan finds.
    bool RunScan(const std::vector<std::pair<int, int>> &components, uint16_t *p_next_marker = nullptr)
    {
        Bytes bytes = ScanHeaderBytes(components);
        data.Pad();
        bytes.insert(bytes.end(), data.bytes.begin(), data.bytes.end());
        bytes.insert(bytes.end(), {0xFF, 0xD9});
        return RunScanBytes(bytes, p_next_marker);
    }
    bool RunScanBytes(const Bytes &bytes, uint16_t *p_next_marker = nullptr)
    {
        FileInput memory(bytes);
        const bool b_ok = ParseScan(0xFFDA, decoder, memory.input);
        uint16_t n_marker = 0;
        if(p_next_marker)
            *p_next_marker = FindMarker(memory.input, n_marker) ? n_marker : 0;
        return b_ok;
    }

    // The plane of the frame component with the ID (its position, as the
    // decoder keeps it).
    size_t n_PlaneOf(int n_id) const
    {
        for(size_t j = 0; j < decoder.frame.n_components; ++j)
            if(decoder.frame.components[j].n_id == n_id)
                return j;
        ADD_FAILURE() << "no component " << n_id;
        return 0;
    }
    int8_t Sample(int n_id, int x, int y) const
    {
        const size_t j = n_PlaneOf(n_id);
        return planes[j][size_t(y) * decoder.frame.n_plane_widths[j] + x];
    }
    // Every sample of the 8x8 block at (x0, y0) equals n_value.
    void ExpectFlatBlock(int n_id, int x0, int y0, int n_value) const
    {
        for(int y = 0; y < 8; ++y)
            for(int x = 0; x < 8; ++x)
                ASSERT_EQ(Sample(n_id, x0 + x, y0 + y), n_value)
                    << "component " << n_id << ", block at " << x0 << "," << y0;
    }

    JpegDecoder decoder{};
    std::vector<int8_t> planes[4];
    std::array<Code, 256> dc_codes{}, ac_codes{};
    BitWriter data;
};

// --- Blocks --------------------------------------------------------------------

TEST_F(ScanTest, DcDifferencesAccumulateAndSizeZeroRepeatsTheValue)
{
    SetFrame(40, 8, {{1, 1, 1}});
    const int differences[] = {20, -5, 0, 100, -127};
    for(int n_difference : differences)
        PutDcOnlyBlock(n_difference);
    ASSERT_TRUE(RunScan({{1, 0x01}}));
    ExpectFlatBlock(1, 0, 0, 20);
    ExpectFlatBlock(1, 8, 0, 15);
    ExpectFlatBlock(1, 16, 0, 15);
    ExpectFlatBlock(1, 24, 0, 115);
    ExpectFlatBlock(1, 32, 0, -12);
    EXPECT_EQ(decoder.frame.n_dc_predictors[0], -12);
}

// The coefficients land at their zigzag position's natural index, each
// multiplied by the factor of its zigzag position.
TEST_F(ScanTest, AcCoefficientsAreDequantisedInZigzagOrderAndPlaced)
{
    SetFrame(24, 8, {{1, 1, 1}});
    // Block 0: values at positions 1, 2, 5 (run 2) and 63 (three runs of
    // sixteen zeros and a run of 9), ending at 63 without end-of-block.
    PutDc(3);
    PutAc(0, 40);
    PutAc(0, -7);
    PutAc(2, 300);
    for(int i = 0; i < 3; ++i)
        data.Symbol(ac_codes, 0xF0);
    PutAc(9, 1);
    // Block 1 follows at once: the next bit belongs to it.
    PutDc(-1);
    PutAc(0, 5);
    data.Symbol(ac_codes, 0x00);
    // Block 2: position 15 (run 14), 47 (sixteen zeros, then run 15); then
    // sixteen zeros from position 48 reach 64 and end the block.
    PutDc(0);
    PutAc(14, -1);
    data.Symbol(ac_codes, 0xF0);
    PutAc(15, 2);
    data.Symbol(ac_codes, 0xF0);
    ASSERT_TRUE(RunScan({{1, 0x01}}));

    const std::vector<int> zigzag = test::ZigzagWalk();
    const float *p_q = decoder.quant_tables[0].factors;
    auto expect_block = [&](int x0, const std::vector<std::pair<int, int>> &values, int n_dc) {
        float coefficients[64] = {};
        coefficients[0] = float(n_dc) * p_q[0];
        for(const auto &value : values)
            coefficients[zigzag[size_t(value.first)]] = float(value.second) * p_q[value.first];
        int8_t expected[64];
        StoreBlock(coefficients, expected, 8);
        for(int i = 0; i < 64; ++i)
            ASSERT_EQ(Sample(1, x0 + i % 8, i / 8), expected[i]) << "block at " << x0 << ", sample " << i;
    };
    expect_block(0, {{1, 40}, {2, -7}, {5, 300}, {63, 1}}, 3);
    expect_block(8, {{1, 5}}, 2);
    expect_block(16, {{15, -1}, {47, 2}}, 2);
}

// The longest codes there are, sixteen bits, read whole from the window.
TEST_F(ScanTest, SixteenBitCodesDecode)
{
    SetFrame(16, 8, {{1, 1, 1}});
    // 0 -> size 0; 1000000000000000 -> size 3.
    dc_codes = BuildTable(decoder.huffman_tables[0][0], {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {0, 3});
    PutDcOnlyBlock(5);
    PutDcOnlyBlock(0);
    ASSERT_TRUE(RunScan({{1, 0x01}}));
    ExpectFlatBlock(1, 0, 0, 5);
    ExpectFlatBlock(1, 8, 0, 5);
}

// --- MCU geometry ------------------------------------------------------------

// 17 x 9 pixels, Y sampled 2 x 2: two MCUs of four Y blocks and one Cb and
// one Cr block each. The Y plane is 24 x 16, so the Y blocks of MCU 1 at
// x0 = 24 are decoded and dropped.
TEST_F(ScanTest, InterleavedScanDropsBlocksBeyondThePaddedPlane)
{
    SetFrame(17, 9, {{1, 2, 2}, {2, 1, 1}, {3, 1, 1}});
    ASSERT_EQ(decoder.frame.n_mcus_per_row, 2);
    ASSERT_EQ(decoder.frame.n_mcu_count, 2);
    // Y block values 10, 11, ...; Cb 50, 51; Cr -50, -51.
    int n_y = 0, n_cb = 0, n_cr = 0;
    for(int n_mcu = 0; n_mcu < 2; ++n_mcu) {
        for(int b = 0; b < 4; ++b, ++n_y)
            PutDcOnlyBlock(n_y ? 1 : 10);
        PutDcOnlyBlock(n_cb++ ? 1 : 50);
        PutDcOnlyBlock(n_cr++ ? -1 : -50);
    }
    uint16_t n_next = 0;
    ASSERT_TRUE(RunScan({{1, 0x01}, {2, 0x01}, {3, 0x01}}, &n_next));
    EXPECT_EQ(n_next, 0xFFD9); // the scan ends by count, before the marker
    ExpectFlatBlock(1, 0, 0, 10);
    ExpectFlatBlock(1, 8, 0, 11);
    ExpectFlatBlock(1, 0, 8, 12);
    ExpectFlatBlock(1, 8, 8, 13);
    ExpectFlatBlock(1, 16, 0, 14); // MCU 1: blocks at x0 = 16 stored,
    ExpectFlatBlock(1, 16, 8, 16); // those at x0 = 24 (15, 17) dropped
    ExpectFlatBlock(2, 0, 0, 50);
    ExpectFlatBlock(2, 8, 0, 51);
    ExpectFlatBlock(3, 0, 0, -50);
    ExpectFlatBlock(3, 8, 0, -51);
    EXPECT_EQ(decoder.frame.n_dc_predictors[0], 17);
}

// A scan of one component is not interleaved: one block per MCU, in raster
// order over the component's own ceil(ceil(17 * 2 / 2) / 8) = 3 by
// ceil(ceil(9 * 2 / 2) / 8) = 2 blocks, with the restart interval counting
// those blocks.
TEST_F(ScanTest, OneComponentScanWalksItsOwnBlocksInRasterOrder)
{
    SetFrame(17, 9, {{1, 2, 2}, {2, 1, 1}, {3, 1, 1}});
    decoder.b_restart = 1;
    decoder.n_restart_interval = 4;
    for(int n_block = 0; n_block < 6; ++n_block) {
        PutDcOnlyBlock(n_block == 4 ? 14 : (n_block ? 1 : 10)); // 10..13, then 14, 15 after the restart
        if(n_block == 3)
            data.Marker(0xD0);
    }
    uint16_t n_next = 0;
    ASSERT_TRUE(RunScan({{1, 0x01}}, &n_next));
    EXPECT_EQ(n_next, 0xFFD9);
    for(int n_block = 0; n_block < 6; ++n_block)
        ExpectFlatBlock(1, 8 * (n_block % 3), 8 * (n_block / 3), 10 + n_block);

    // The chroma of the same frame: ceil(ceil(17 / 2) / 8) = 2 blocks by 1.
    data = BitWriter();
    PutDcOnlyBlock(30);
    PutDcOnlyBlock(1);
    ASSERT_TRUE(RunScan({{3, 0x01}}, &n_next));
    EXPECT_EQ(n_next, 0xFFD9);
    ExpectFlatBlock(3, 0, 0, 30);
    ExpectFlatBlock(3, 8, 0, 31);
}

TEST_F(ScanTest, GrayComponentDeclaringTwoByTwoSamplingIsOneBlockPerMcu)
{
    // 20 x 12 pixels: a 24 x 16 plane of 3 x 2 blocks. The frame's MCU grid
    // (2 x 1 MCUs of 2 x 2 blocks) would place blocks differently.
    SetFrame(20, 12, {{1, 2, 2}});
    for(int n_block = 0; n_block < 6; ++n_block)
        PutDcOnlyBlock(n_block ? 1 : 10);
    uint16_t n_next = 0;
    ASSERT_TRUE(RunScan({{1, 0x01}}, &n_next));
    EXPECT_EQ(n_next, 0xFFD9);
    for(int n_block = 0; n_block < 6; ++n_block)
        ExpectFlatBlock(1, 8 * (n_block % 3), 8 * (n_block / 3), 10 + n_block);
}

TEST_F(ScanTest, ThreeOneComponentScansDecodeLikeOneInterleavedScan)
{
    SetFrame(16, 8, {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}});
    const int values[3][2] = {{10, 20}, {-30, 40}, {50, -60}};
    for(int j = 0; j < 2; ++j)
        for(int c = 0; c < 3; ++c)
            PutDcOnlyBlock(values[c][j] - (j ? values[c][0] : 0));
    ASSERT_TRUE(RunScan({{1, 0x01}, {2, 0x01}, {3, 0x01}}));
    const std::vector<int8_t> interleaved[3] = {planes[0], planes[1], planes[2]};

    for(int c = 0; c < 3; ++c) {
        planes[c].assign(planes[c].size(), 0);
        decoder.frame.n_dc_predictors[c] = 0;
        data = BitWriter();
        PutDcOnlyBlock(values[c][0]);
        PutDcOnlyBlock(values[c][1] - values[c][0]);
        ASSERT_TRUE(RunScan({{c + 1, 0x01}}));
        EXPECT_EQ(planes[c], interleaved[c]) << "component " << c + 1;
    }
    ExpectFlatBlock(3, 8, 0, -60);
}

// --- Restarts ------------------------------------------------------------------

// Interval 2 and five MCUs: a marker is searched after MCUs 1 and 3 and not
// after MCU 4, and the predictors start again from 0 at MCUs 2 and 4. Any
// marker ends an interval, whatever its number.
TEST_F(ScanTest, RestartIntervalResetsPredictorsAndTheBitReader)
{
    SetFrame(40, 8, {{1, 1, 1}});
    decoder.b_restart = 1;
    decoder.n_restart_interval = 2;
    PutDcOnlyBlock(7);
    PutDcOnlyBlock(1);
    data.Marker(0xD5); // the wrong restart number
    PutDcOnlyBlock(7);
    PutDcOnlyBlock(1);
    data.Marker(0xC4); // not a restart marker at all
    PutDcOnlyBlock(7);
    uint16_t n_next = 0;
    ASSERT_TRUE(RunScan({{1, 0x01}}, &n_next));
    EXPECT_EQ(n_next, 0xFFD9);
    const int expected[5] = {7, 8, 7, 8, 7};
    for(int n_mcu = 0; n_mcu < 5; ++n_mcu)
        ExpectFlatBlock(1, 8 * n_mcu, 0, expected[n_mcu]);
}

// The data byte before a restart marker is 0xFF, so a zero is stuffed after
// it; after the marker the reader has forgotten that 0xFF, and the zero byte
// that starts the next interval is data.
TEST_F(ScanTest, RestartForgetsTheFFBeforeTheMarker)
{
    SetFrame(8, 16, {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}});
    decoder.b_restart = 1;
    decoder.n_restart_interval = 1;
    // MCU 0: two flat blocks (00 00 each), then one reaching position 63: DC
    // size 0 (00), three runs of sixteen zeros (011 each), run 14 with the
    // value 1 (110011 1); the 1 bits of the padding make the last byte 0xFF.
    // MCU 1: two flat blocks, then DC size 3 (100) of value 5 (101) and end
    // of block (00).
    Bytes bytes = ScanHeaderBytes({{1, 0x01}, {2, 0x01}, {3, 0x01}});
    bytes.insert(bytes.end(), {0x00, 0x1B, 0x79, 0xFF, 0x00, 0xFF, 0xD0, 0x00, 0x94, 0xFF, 0xD9});
    ASSERT_TRUE(RunScanBytes(bytes));
    ExpectFlatBlock(1, 0, 8, 0);
    ExpectFlatBlock(2, 0, 8, 0);
    ExpectFlatBlock(3, 0, 8, 5);
}

// A 0xFF data byte ends the InputBuffer's first block and its stuffed zero
// starts the second; two MCUs end inside the 0xFF's bits. The MCU after them
// must still drop that zero, which only the memory of the 0xFF, handed from
// window to window through the BitReader, tells it.
TEST_F(ScanTest, StuffedZeroAcrossAnInputBlockEndAfterAnMcuEndingInItsFF)
{
    // One-bit codes: DC '0' size 0, '1' size 1; AC '0' a value of size 1,
    // '1' end of block. "01" is a flat block, "111" a DC difference of +1.
    dc_codes = BuildTable(decoder.huffman_tables[0][0], {2}, {0, 1});
    ac_codes = BuildTable(decoder.huffman_tables[1][1], {2}, {0x01, 0x00});
    SetFrame(8 * 4094, 8 * 16, {{1, 1, 1}});
    const int n_blocks = 4094 * 16;
    Bytes bytes = ScanHeaderBytes({{1, 0x01}});
    // Flat blocks up to the last byte of the block, four to a byte (0x55).
    const int n_flat = 4 * (kInputBlockSize - 1 - int(bytes.size()));
    for(int i = 0; i < n_flat; ++i)
        PutDcOnlyBlock(0);
    for(int i = 0; i < 3; ++i) // 111 111 11|(00) 1
        PutDcOnlyBlock(1);
    for(int i = n_flat + 3; i < n_blocks; ++i)
        PutDcOnlyBlock(0);
    data.Pad();
    bytes.insert(bytes.end(), data.bytes.begin(), data.bytes.end());
    ASSERT_EQ(bytes[size_t(kInputBlockSize) - 1], 0xFF);
    ASSERT_EQ(bytes[size_t(kInputBlockSize)], 0x00);
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    ASSERT_TRUE(RunScanBytes(bytes));
    EXPECT_EQ(decoder.frame.n_dc_predictors[0], 3);
    for(int n_block = n_flat - 1; n_block < n_blocks; ++n_block) {
        const int n_expected = n_block < n_flat ? 0 : n_block < n_flat + 3 ? n_block - n_flat + 1 : 3;
        ExpectFlatBlock(1, 8 * (n_block % 4094), 8 * (n_block / 4094), n_expected);
    }
}

// A gray frame whose component has ID 3: its predictor restarts too.
TEST_F(ScanTest, RestartClearsThePredictorOfAComponentOfAnyId)
{
    SetFrame(24, 8, {{3, 1, 1}});
    decoder.b_restart = 1;
    decoder.n_restart_interval = 1;
    for(int n_mcu = 0; n_mcu < 3; ++n_mcu) {
        PutDcOnlyBlock(5);
        if(n_mcu < 2)
            data.Marker(uint8_t(0xD0 + n_mcu));
    }
    ASSERT_TRUE(RunScan({{3, 0x01}}));
    for(int n_mcu = 0; n_mcu < 3; ++n_mcu)
        ExpectFlatBlock(3, 8 * n_mcu, 0, 5);
}

TEST_F(ScanTest, ScanWithoutComponentsReadsNoBitsButStillSearchesMarkers)
{
    SetFrame(24, 8, {{1, 1, 1}});
    uint16_t n_next = 0;
    ASSERT_TRUE(RunScanBytes({0, 6, 0, 0, 63, 0, 0x12, 0xFF, 0xD9}, &n_next));
    EXPECT_EQ(n_next, 0xFFD9);
    decoder.b_restart = 1;
    decoder.n_restart_interval = 1;
    // Three MCUs: markers are searched after MCUs 0 and 1.
    ASSERT_TRUE(RunScanBytes({0, 6, 0, 0, 63, 0, 0xFF, 0xD0, 0xFF, 0xD1, 0xFF, 0xD9}, &n_next));
    EXPECT_EQ(n_next, 0xFFD9);
    ASSERT_TRUE(RunScanBytes({0, 6, 0, 0, 63, 0, 0xFF, 0xD0, 0xFF, 0xD9, 0xFF, 0xD8}, &n_next));
    EXPECT_EQ(n_next, 0xFFD8);
    EXPECT_FALSE(RunScanBytes({0, 6, 0, 0, 63, 0, 0xFF, 0xD0}));
}

TEST_F(ScanTest, EmptyFrameDecodesNoMcu)
{
    SetFrame(0, 9, {{1, 1, 1}});
    uint16_t n_next = 0;
    ASSERT_TRUE(RunScanBytes({0, 8, 1, 1, 0x01, 0, 63, 0, 0x00, 0x12, 0xFF, 0xD9}, &n_next));
    EXPECT_EQ(n_next, 0xFFD9);
    ASSERT_TRUE(RunScanBytes({0, 8, 1, 1, 0x01, 0, 63, 0, 0xFF, 0xD9}, &n_next)); // one component
}

// --- Corrupt and cut-short scans --------------------------------------------

TEST_F(ScanTest, AcRunsWithoutValueOrPastPosition63FailTheScan)
{
    SetFrame(8, 8, {{1, 1, 1}});
    for(uint8_t n_symbol : {0x10, 0x20}) {
        data = BitWriter();
        PutDc(1);
        data.Symbol(ac_codes, n_symbol);
        data.Symbol(ac_codes, 0x00);
        EXPECT_FALSE(RunScan({{1, 0x01}})) << "symbol " << int(n_symbol);
    }
    // Position 58, then a run of 5: position 64 does not exist.
    data = BitWriter();
    PutDc(1);
    for(int i = 0; i < 3; ++i)
        data.Symbol(ac_codes, 0xF0);
    PutAc(9, 1);
    PutAc(5, 1);
    EXPECT_FALSE(RunScan({{1, 0x01}}));
    // A run of sixteen zeros past position 64 ends the block like one reaching it.
    data = BitWriter();
    PutDc(1);
    for(int i = 0; i < 3; ++i)
        data.Symbol(ac_codes, 0xF0);
    PutAc(9, 1); // position 58
    data.Symbol(ac_codes, 0xF0);
    EXPECT_TRUE(RunScan({{1, 0x01}}));
}

TEST_F(ScanTest, DcSizeAbove16FailsTheScan)
{
    SetFrame(8, 8, {{1, 1, 1}});
    std::vector<uint8_t> sizes = kDcSymbols;
    sizes.insert(sizes.end(), {16, 17});
    dc_codes = BuildTable(decoder.huffman_tables[0][0], {0, 1, 5, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, sizes);
    data.Symbol(dc_codes, 16);
    data.Put(0x8001, 16);
    data.Symbol(ac_codes, 0x00);
    ASSERT_TRUE(RunScan({{1, 0x01}}));
    EXPECT_EQ(decoder.frame.n_dc_predictors[0], int16_t(0x8001));
    data = BitWriter();
    data.Symbol(dc_codes, 17);
    data.Put(0x1FFFF, 17);
    data.Symbol(ac_codes, 0x00);
    EXPECT_FALSE(RunScan({{1, 0x01}}));
}

TEST_F(ScanTest, ScanHeadersNamingWhatTheDecodeLacksFail)
{
    SetFrame(8, 8, {{1, 1, 1}, {2, 1, 1}, {3, 1, 1}});
    PutDcOnlyBlock(1);
    PutDcOnlyBlock(1);
    PutDcOnlyBlock(1);
    const BitWriter blocks = data;
    ASSERT_TRUE(RunScan({{1, 0x01}, {2, 0x01}, {3, 0x01}}));

    EXPECT_FALSE(RunScan({{1, 0x01}, {4, 0x01}, {3, 0x01}})) << "no component 4 in the frame";
    EXPECT_FALSE(RunScan({{1, 0x01}, {2, 0x41}, {3, 0x01}})) << "DC table 4";
    EXPECT_FALSE(RunScan({{1, 0x01}, {2, 0x04}, {3, 0x01}})) << "AC table 4";
    EXPECT_FALSE(RunScan({{1, 0x11}, {2, 0x01}, {3, 0x01}})) << "DC table 1 undefined";
    EXPECT_FALSE(RunScan({{1, 0x00}, {2, 0x01}, {3, 0x01}})) << "AC table 0 undefined";
    EXPECT_FALSE(RunScan({{1, 0x01}, {2, 0x01}, {3, 0x01}, {1, 0x01}, {2, 0x01}})) << "five components";
    EXPECT_FALSE(RunScanBytes({0, 12, 3, 1, 0x01, 2})) << "header cut short";
    EXPECT_FALSE(RunScanBytes({0, 12, 1, 1, 0x01, 0, 63})) << "header cut short";

    decoder.quant_tables[0].b_defined = 0;
    EXPECT_FALSE(RunScan({{1, 0x01}})) << "quantisation table undefined";
    decoder.quant_tables[0].b_defined = 1;
    decoder.frame.b_frame_seen = 0;
    EXPECT_FALSE(RunScan({{1, 0x01}})) << "no frame header";
    decoder.frame.b_frame_seen = 1;
    data = blocks;
    EXPECT_TRUE(RunScan({{1, 0x01}, {2, 0x01}, {3, 0x01}}));
}

// Once the input ends inside the scan, decoding stops: the blocks after the
// cut are neither decoded nor stored, however many MCUs the frame declares.
// (Zero bits would decode here: 00 is DC size 0 and 00 end-of-block.)
TEST_F(ScanTest, InputEndingInsideTheScanStopsItAtOnce)
{
    SetFrame(8, 8 * 64, {{1, 1, 1}});
    for(std::vector<int8_t> &plane : planes)
        std::fill(plane.begin(), plane.end(), int8_t(0x55));
    PutDcOnlyBlock(1); // 6 bits
    PutDc(2);          // 5 bits; the padding's 00 ends this block, the next
    data.Pad(0x00);    // 00 is a DC symbol, and the input ends in its AC symbol
    Bytes bytes = ScanHeaderBytes({{1, 0x01}});
    bytes.insert(bytes.end(), data.bytes.begin(), data.bytes.end());
    EXPECT_FALSE(RunScanBytes(bytes));
    ExpectFlatBlock(1, 0, 0, 1);
    ExpectFlatBlock(1, 0, 8, 3);
    for(int y = 16; y < 8 * 64; ++y)
        for(int x = 0; x < 8; ++x)
            ASSERT_EQ(Sample(1, x, y), 0x55) << "row " << y;

    // The same with a restart interval: the search for the marker fails.
    decoder.b_restart = 1;
    decoder.n_restart_interval = 1;
    data = BitWriter();
    PutDcOnlyBlock(1);
    data.Pad();
    bytes = ScanHeaderBytes({{1, 0x01}});
    bytes.insert(bytes.end(), data.bytes.begin(), data.bytes.end());
    EXPECT_FALSE(RunScanBytes(bytes));
}

// --- The MCU decoder's bit window against a bit-at-a-time reference -------

// The plain reading of entropy-coded data, the reference the window must
// agree with: one byte at a time through ReadByte, a zero after a 0xFF data
// byte dropped, one bit at a time from the top of the byte. Its state is kept
// in a BitReader, so that it can be compared with the window's after every
// MCU. Once the input has ended every bit reads 0.
int ReferenceBit(BitReader &reader, InputBuffer &input)
{
    if(reader.n_bits_left == 0) {
        uint8_t n_byte = 0;
        if(reader.b_input_ended || !ReadByte(input, n_byte) ||
           (n_byte == 0x00 && reader.b_last_ff && !ReadByte(input, n_byte))) {
            reader.b_input_ended = 1;
            reader.n_byte = 0;
            return 0;
        }
        reader.n_byte = n_byte;
        reader.b_last_ff = n_byte == 0xFF;
        reader.n_bits_left = 8;
    }
    --reader.n_bits_left;
    const int n_bit = reader.n_byte >> 7;
    reader.n_byte = uint8_t(reader.n_byte << 1);
    return n_bit;
}

// After a restart marker: the rest of the byte and the memory of a 0xFF go.
void ReferenceRestart(BitReader &reader)
{
    reader.n_bits_left = 0;
    reader.b_last_ff = 0;
}

// n bits; a value whose first bit is 0 is negative: v - (2^n - 1).
int ReferenceValue(BitReader &reader, InputBuffer &input, int n_bits)
{
    int n_value = 0;
    for(int i = 0; i < n_bits; ++i)
        n_value = n_value << 1 | ReferenceBit(reader, input);
    return n_value < 1 << (n_bits - 1) ? n_value - ((1 << n_bits) - 1) : n_value;
}

// The canonical code, worked out from the counts and symbols alone (not from
// the table's first codes): the codes of each length follow on from those of
// the length before, doubled. The code's length in bits, or 0 when nothing
// matches within 16 bits.
template <typename NextBit>
int n_ReferenceCodeLength(const HuffmanTable &table, NextBit next_bit, uint8_t &n_symbol)
{
    int n_code = 0, n_first = 0, n_index = 0;
    for(int n_length = 0; n_length < 16; ++n_length) {
        n_code = n_code << 1 | next_bit();
        if(n_code - n_first < table.n_code_counts[n_length]) {
            n_symbol = table.symbols[n_index + n_code - n_first];
            return n_length + 1;
        }
        n_index += table.n_code_counts[n_length];
        n_first = (n_first + table.n_code_counts[n_length]) << 1;
    }
    return 0;
}

// False when nothing matches within 16 bits or the input ended.
bool ReferenceSymbol(BitReader &reader, InputBuffer &input, const HuffmanTable &table, uint8_t &n_symbol)
{
    return n_ReferenceCodeLength(table, [&] { return ReferenceBit(reader, input); }, n_symbol) &&
           !reader.b_input_ended;
}

// Every 16-bit string at the top of a full window, for codes that end before,
// at and after the lookahead's bits and for strings no code matches: the
// lookahead and the search behind it take the canonical code's symbol and
// bits, and a coefficient taken in one look has the symbol's run and its
// value bits with the sign rule applied, whenever code and value fit.
TEST(HuffmanLookahead, EverySixteenBitStringDecodesAsTheCanonicalCode)
{
    std::vector<uint8_t> one_of_each_length;
    for(int i = 0; i < 16; ++i)
        one_of_each_length.push_back(uint8_t(i << 4 | (i % 15 + 1))); // runs 0..15, sizes 1..15
    const struct {
        std::array<uint8_t, 16> counts;
        std::vector<uint8_t> symbols;
    } tables[] = {{kDcCounts, kDcSymbols},
                  {kAcCounts, kAcSymbols},
                  {{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, one_of_each_length},
                  {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 1, 0}, {0x01, 0x12, 0x0F, 0x06}}};
    for(const auto &t : tables) {
        HuffmanTable table{};
        BuildTable(table, t.counts, t.symbols);
        for(uint32_t n_string = 0; n_string < 0x10000; ++n_string) {
            uint8_t n_expected = 0, n_symbol = 0;
            int n_bit = 16;
            const int n_length =
                n_ReferenceCodeLength(table, [&] { return int(n_string >> --n_bit) & 1; }, n_expected);
            BitReaderWindow window{};
            window.n_bits = uint64_t(n_string) << 48 | 0xA5A5A5A5A5A5u; // bits after the string must not matter
            window.n_count = 64;
            ASSERT_EQ(TakeSymbolFromFullWindow(window, table, n_symbol), n_length != 0) << n_string;
            ASSERT_EQ(64 - window.n_count, n_length ? n_length : 16) << n_string;
            ASSERT_EQ(n_symbol, n_length ? n_expected : 0) << n_string;

            const uint32_t n_entry = table.coefficient_lookahead[n_string >> (16 - kLookaheadBits)];
            const int n_size = n_expected & 0x0F;
            const bool b_fits = n_length && n_size && n_length + n_size <= kLookaheadBits;
            ASSERT_EQ(n_entry != 0, b_fits) << n_string;
            if(!b_fits)
                continue;
            const int n_raw = int(n_string >> (16 - n_length - n_size)) & ((1 << n_size) - 1);
            const int n_value = n_raw >> (n_size - 1) ? n_raw : n_raw - (1 << n_size) + 1;
            EXPECT_EQ(int16_t(n_entry >> 16), n_value) << n_string;
            EXPECT_EQ(int(n_entry >> 8 & 0xFF), n_expected >> 4) << n_string;
            EXPECT_EQ(int(n_entry & 0xFF), n_length + n_size) << n_string;
        }
    }
}

// One block decoded the plain way into dequantised coefficients.
bool ReferenceDecodeBlock(BitReader &reader, InputBuffer &input, const HuffmanTable &dc_table,
                          const HuffmanTable &ac_table, const float *p_factors, int16_t &n_predictor,
                          float *p_coefficients)
{
    static const std::vector<int> zigzag = test::ZigzagWalk();
    std::fill(p_coefficients, p_coefficients + 64, 0.0f);
    uint8_t n_size = 0;
    if(!ReferenceSymbol(reader, input, dc_table, n_size) || n_size > 16)
        return false;
    if(n_size)
        n_predictor = int16_t(uint16_t(n_predictor + ReferenceValue(reader, input, n_size)));
    p_coefficients[0] = float(n_predictor) * p_factors[0];
    for(int k = 1; k < 64;) {
        uint8_t n_symbol = 0;
        if(!ReferenceSymbol(reader, input, ac_table, n_symbol))
            return false;
        if(n_symbol == 0x00)
            break;
        if(n_symbol == 0xF0) {
            k += 16;
            continue;
        }
        k += n_symbol >> 4;
        if((n_symbol & 0x0F) == 0 || k > 63)
            return false;
        p_coefficients[zigzag[size_t(k)]] = float(ReferenceValue(reader, input, n_symbol & 0x0F)) * p_factors[k];
        ++k;
    }
    return !reader.b_input_ended;
}

// Random entropy-coded bytes, many of them 0xFF: most followed by a stuffed
// zero, some by data (a marker-like pair or another 0xFF). They run over
// two 16 KiB block boundaries; a stuffed pair can be placed across one.
Bytes RandomScanBytes(uint32_t n_seed, size_t n_ff_pair_at)
{
    std::mt19937 random(n_seed);
    Bytes bytes;
    while(bytes.size() < 40000) {
        const uint8_t n_byte = random() % 5 == 0 ? 0xFF : uint8_t(random());
        bytes.push_back(n_byte);
        if(n_byte == 0xFF && random() % 4 != 0)
            bytes.push_back(0x00);
    }
    bytes[n_ff_pair_at] = 0xFF;
    bytes[n_ff_pair_at + 1] = 0x00;
    return bytes;
}

// DecodeMcu, reading through its window, must decode every block as the
// bit-at-a-time reference does and leave the BitReader and the InputBuffer in
// the same state after every MCU, so that restart marker searches (one after
// every 37th MCU here) start from the same byte; when the data breaks, both
// must fail at the same MCU.
TEST_F(ScanTest, BitReaderWindowReadsExactlyWhatTheBitAtATimeReferenceReads)
{
    struct Case {
        uint32_t n_seed;
        size_t n_ff_pair_at;
        std::array<uint8_t, 16> dc_counts;
    } cases[] = {
        // A complete DC code of four 2-bit codes: every bit string decodes.
        {1, kInputBlockSize - 2, {0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {2, kInputBlockSize - 1, {0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {3, 2 * kInputBlockSize - 1, {0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // Three 2-bit codes and one of 16 bits: most strings 11... match
        // nothing within 16 bits.
        {4, 100, {0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        // Only codes of 14 and 15 bits: nearly every string fails at once.
        {5, 100, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 1, 0}},
    };
    for(const Case &c : cases) {
        SCOPED_TRACE("seed " + std::to_string(c.n_seed));
        SetFrame(8 * 256, 8, {{1, 1, 1}});
        HuffmanTable dc_table{}, ac_table{};
        BuildTable(dc_table, c.dc_counts, {0, 1, 16, 6});
        // A complete code of lengths 1 to 7 (so that codes end at every place
        // of the search), with only end-of-block, sixteen zeros and runs of 0:
        // no AC symbol fails.
        BuildTable(ac_table, {1, 1, 1, 1, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   {0x01, 0x02, 0xF0, 0x00, 0x0F, 0x03, 0x05, 0x0A});
        ScanHeader header{};
        header.n_scan_components = 1;
        header.scan_components[0].n_id = 1;
        header.scan_components[0].p_component = &decoder.frame.components[0];
        header.scan_components[0].p_quant_table = &decoder.quant_tables[0];
        header.scan_components[0].p_dc_table = &dc_table;
        header.scan_components[0].p_ac_table = &ac_table;
        header.scan_components[0].n_mcu_blocks_across = 1;
        header.scan_components[0].n_mcu_blocks_down = 1;
        header.n_mcus_per_row = decoder.frame.n_mcus_per_row;
        header.n_mcu_count = decoder.frame.n_mcu_count;

        const Bytes bytes = RandomScanBytes(c.n_seed, c.n_ff_pair_at);
        FileInput window_file(bytes), reference_file(bytes);
        BitReader window_reader, reference_reader{};
        ClearBitReader(window_reader);
        int16_t n_reference_predictor = 0;
        decoder.frame.n_dc_predictors[0] = 0;
        std::vector<int8_t> reference_plane(planes[0].size(), 0);
        int n_mcu = 0;
        for(;; ++n_mcu) {
            const int32_t n_index = n_mcu % header.n_mcu_count;
            const bool b_window = test::DecodeMcuThroughReader(decoder.frame, header, n_index, window_reader, window_file.input);
            float coefficients[64];
            const bool b_reference = ReferenceDecodeBlock(reference_reader, reference_file.input, dc_table, ac_table,
                                                          decoder.quant_tables[0].factors, n_reference_predictor,
                                                          coefficients);
            ASSERT_EQ(b_window, b_reference) << "MCU " << n_mcu;
            if(!b_window)
                break;
            StoreBlock(coefficients, reference_plane.data() + 8 * n_index, decoder.frame.n_plane_widths[0]);
            ASSERT_EQ(decoder.frame.n_dc_predictors[0], n_reference_predictor) << "MCU " << n_mcu;
            ASSERT_EQ(window_reader.n_bits_left, reference_reader.n_bits_left) << "MCU " << n_mcu;
            ASSERT_EQ(window_reader.n_byte, reference_reader.n_byte) << "MCU " << n_mcu;
            ASSERT_EQ(window_reader.b_last_ff, reference_reader.b_last_ff) << "MCU " << n_mcu;
            ASSERT_EQ(window_file.input.n_count, reference_file.input.n_count) << "MCU " << n_mcu;
            ASSERT_EQ(window_file.input.p_cursor - window_file.input.data,
                      reference_file.input.p_cursor - reference_file.input.data) << "MCU " << n_mcu;
            if(n_index == header.n_mcu_count - 1) {
                ASSERT_EQ(planes[0], reference_plane) << "MCU " << n_mcu;
            }
            if(n_mcu % 37 == 36) {
                uint16_t n_window_marker = 0, n_reference_marker = 0;
                const bool b_found = FindMarker(window_file.input, n_window_marker);
                ASSERT_EQ(b_found, FindMarker(reference_file.input, n_reference_marker));
                if(!b_found)
                    break;
                ASSERT_EQ(n_window_marker, n_reference_marker);
                ResetBitReader(window_reader);
                ReferenceRestart(reference_reader);
            }
        }
        if(c.n_seed < 4) { // the complete codes decode up to the end of the bytes
            EXPECT_TRUE(window_reader.b_input_ended || window_file.input.n_count == 0) << n_mcu << " MCUs";
        }
        EXPECT_EQ(planes[0], reference_plane);
    }
}

} // namespace
