// The 16 KiB block reader and the marker search, on real files.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "input_buffer.h"
#include "jpeg_test_support.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::FileInput;

// A pattern that does not repeat with the block size, so a misplaced block
// shows up as wrong bytes.
Bytes PatternBytes(size_t n_size)
{
    Bytes bytes(n_size);
    for(size_t i = 0; i < n_size; ++i)
        bytes[i] = uint8_t((i * 7 + i / 251) & 0xFF);
    return bytes;
}

TEST(InputBuffer, EmptyFileDeliversNothing)
{
    FileInput empty(Bytes{});
    uint8_t n_byte = 0x5A;
    EXPECT_FALSE(ReadByte(empty.input, n_byte));
    EXPECT_EQ(n_byte, 0x5A); // left unchanged

    FileInput empty_again(Bytes{});
    uint16_t n_marker;
    EXPECT_FALSE(FindMarker(empty_again.input, n_marker));
}

TEST(InputBuffer, ByteByByteReadCrossesIntoASecondBlock)
{
    const Bytes bytes = PatternBytes(kInputBlockSize + 1);
    FileInput file(bytes);
    InputBuffer &input = file.input;
    for(size_t i = 0; i < bytes.size(); ++i) {
        uint8_t n_byte;
        ASSERT_TRUE(ReadByte(input, n_byte)) << "byte " << i;
        ASSERT_EQ(n_byte, bytes[i]) << "byte " << i;
        ASSERT_EQ(input.n_count, i < size_t(kInputBlockSize) ? kInputBlockSize : 1) << "byte " << i;
    }
    uint8_t n_byte;
    EXPECT_FALSE(ReadByte(input, n_byte));
    EXPECT_FALSE(ReadByte(input, n_byte)); // stays exhausted
}

TEST(InputBuffer, ReadU16IsBigEndianAndNeedsBothBytes)
{
    FileInput file(Bytes{0x01, 0x02, 0x03});
    uint16_t n_value = 0;
    ASSERT_TRUE(ReadU16(file.input, n_value));
    EXPECT_EQ(n_value, 0x0102);
    EXPECT_FALSE(ReadU16(file.input, n_value));
}

TEST(InputBuffer, SkipOfZeroTouchesNothing)
{
    FileInput file(PatternBytes(100));
    InputBuffer &input = file.input;
    EXPECT_TRUE(SkipInput(input, 0));
    EXPECT_EQ(input.n_count, 0);
    EXPECT_EQ(file.file.position(), 0u);

    uint8_t n_byte;
    ASSERT_TRUE(ReadByte(input, n_byte));
    EXPECT_TRUE(SkipInput(input, 0));
    ASSERT_TRUE(ReadByte(input, n_byte));
    EXPECT_EQ(n_byte, PatternBytes(100)[1]);
}

TEST(InputBuffer, LongSkipReadsWholeBlocksAndLandsOnTheRightByte)
{
    const Bytes bytes = PatternBytes(30000);
    FileInput file(bytes);
    InputBuffer &input = file.input;
    ASSERT_TRUE(SkipInput(input, 20000));
    EXPECT_EQ(input.n_count, 30000 - kInputBlockSize); // the second block
    uint8_t n_byte;
    ASSERT_TRUE(ReadByte(input, n_byte));
    EXPECT_EQ(n_byte, bytes[20000]);

    // Up to the last byte exactly, then nothing more.
    ASSERT_TRUE(SkipInput(input, 30000 - 20001 - 1));
    ASSERT_TRUE(ReadByte(input, n_byte));
    EXPECT_EQ(n_byte, bytes[29999]);
    EXPECT_FALSE(ReadByte(input, n_byte));
}

TEST(InputBuffer, SkipPastTheEndFailsAndEverythingAfterItToo)
{
    FileInput file(PatternBytes(30000));
    InputBuffer &input = file.input;
    uint8_t n_byte;
    ASSERT_TRUE(ReadByte(input, n_byte));
    EXPECT_FALSE(SkipInput(input, 30000));
    EXPECT_FALSE(ReadByte(input, n_byte));
    uint16_t n_value;
    EXPECT_FALSE(ReadU16(input, n_value));
    EXPECT_FALSE(SkipInput(input, 1));
    EXPECT_FALSE(FindMarker(input, n_value));
    EXPECT_TRUE(SkipInput(input, 0));
}

struct MarkerCase {
    Bytes bytes;
    bool b_found;
    uint16_t n_marker;
};

TEST(FindMarker, PassesOverFillBytesStuffedZerosAndOddOffsets)
{
    const std::vector<MarkerCase> cases = {
        {{0xFF, 0xD8}, true, 0xFFD8},
        {{0x00, 0xFF, 0xD8}, true, 0xFFD8},
        {{0xFF, 0xFF, 0xFF, 0xD8}, true, 0xFFD8},
        {{0x12, 0x34, 0x56, 0xFF, 0xD9}, true, 0xFFD9},
        {{0xFF, 0x00, 0xFF, 0xD9}, true, 0xFFD9},
        {{0x12, 0xFF, 0x00, 0xFF, 0xD9}, true, 0xFFD9},
        {{0x12, 0xFF, 0xFF, 0x00, 0xFF, 0xD9}, true, 0xFFD9}, // fill bytes before a stuffed zero
        {{0xFF, 0xD0}, true, 0xFFD0},                         // restart markers are reported
        {{0x00, 0xFF, 0x01}, true, 0xFF01},
        {{0x12, 0x34, 0xFF, 0x00}, false, 0},
        {{0xFF}, false, 0},
        {{0x12, 0x34, 0xFF}, false, 0},
        {{0x12, 0xFF, 0xFF}, false, 0},
        {{0x12}, false, 0},
    };
    for(const MarkerCase &c : cases) {
        FileInput file(c.bytes);
        uint16_t n_marker = 0;
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        EXPECT_EQ(FindMarker(file.input, n_marker), c.b_found);
        if(c.b_found) {
            EXPECT_EQ(n_marker, c.n_marker);
        }
    }
}

TEST(FindMarker, FindsMarkersInTurnAndAcrossABlockBoundary)
{
    Bytes bytes(kInputBlockSize + 4, 0x00);
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    bytes[kInputBlockSize - 1] = 0xFF; // the 0xFF ends the first block
    bytes[kInputBlockSize] = 0xC0;
    bytes[kInputBlockSize + 2] = 0xFF;
    bytes[kInputBlockSize + 3] = 0xD9;
    FileInput file(bytes);
    uint16_t n_marker = 0;
    ASSERT_TRUE(FindMarker(file.input, n_marker));
    EXPECT_EQ(n_marker, 0xFFD8);
    ASSERT_TRUE(FindMarker(file.input, n_marker));
    EXPECT_EQ(n_marker, 0xFFC0);
    ASSERT_TRUE(FindMarker(file.input, n_marker));
    EXPECT_EQ(n_marker, 0xFFD9);
    EXPECT_FALSE(FindMarker(file.input, n_marker));
}

} // namespace
