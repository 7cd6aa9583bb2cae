// GIF loader: files built byte by byte for what real files seldom hold
// (colour indices without a colour, a graphics control extension's reach,
// damaged records, declared sizes the data cannot fill, many frames), and
// real files cut at every length. Real files against ImageMagick are in
// gif_webp_files_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gif_loader.h"
#include "test_support.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::ImagePtr;

// ---------------------------------------------------------------- building files

Bytes Le16(uint32_t n_value)
{
    return Bytes{uint8_t(n_value), uint8_t(n_value >> 8)};
}

struct Frame {
    uint16_t n_left, n_top, n_width, n_height;
    Bytes indices;              // n_width * n_height colour indices, rows in order
    int n_disposal = -1;        // -1: no graphics control extension
    int n_transparent = -1;     // -1: no transparent index
    Bytes local_table = {};     // RGB triples, 2^n of them, or none
    uint8_t n_min_code_size = 8;
    bool b_end_code = true;     // the LZW end-of-information code after the pixels
};

// LZW data that a decoder reads as the indices: every index a code of its
// own, a clear code whenever the code width would grow. The minimum code
// size byte, the data in sub-blocks, the block terminator.
Bytes LzwData(const Frame &frame)
{
    const uint32_t n_clear = 1u << frame.n_min_code_size, n_width = frame.n_min_code_size + 1u;
    const uint32_t n_codes_per_clear = (1u << n_width) - n_clear - 3;
    std::vector<uint32_t> codes = {n_clear};
    uint32_t n_since_clear = 0;
    for(uint8_t n_index : frame.indices) {
        if(n_since_clear == n_codes_per_clear) {
            codes.push_back(n_clear);
            n_since_clear = 0;
        }
        codes.push_back(n_index);
        ++n_since_clear;
    }
    if(frame.b_end_code)
        codes.push_back(n_clear + 1);
    Bytes packed;
    uint64_t n_bits = 0;
    uint32_t n_bit_count = 0;
    for(uint32_t n_code : codes) {
        n_bits |= uint64_t(n_code) << n_bit_count;
        for(n_bit_count += n_width; n_bit_count >= 8; n_bit_count -= 8, n_bits >>= 8)
            packed.push_back(uint8_t(n_bits));
    }
    if(n_bit_count)
        packed.push_back(uint8_t(n_bits));
    Bytes data = {frame.n_min_code_size};
    for(size_t n_at = 0; n_at < packed.size(); n_at += 255) {
        const size_t n_block = std::min<size_t>(255, packed.size() - n_at);
        data.push_back(uint8_t(n_block));
        data.insert(data.end(), packed.begin() + long(n_at), packed.begin() + long(n_at + n_block));
    }
    data.push_back(0);
    return data;
}

// The size code of a colour table of entries RGB triples (2 to 256, a power of 2).
uint8_t n_TableSizeCode(const Bytes &table)
{
    uint8_t n_code = 0;
    while((6u << n_code) < table.size())
        ++n_code;
    return n_code;
}

Bytes GifFile(uint16_t n_width, uint16_t n_height, const Bytes &global_table, const std::vector<Frame> &frames)
{
    Bytes file = {'G', 'I', 'F', '8', '9', 'a'};
    file = test::Join({file, Le16(n_width), Le16(n_height)});
    file.push_back(global_table.empty() ? 0 : uint8_t(0x80 | n_TableSizeCode(global_table)));
    file.push_back(0);
    file.push_back(0);
    file.insert(file.end(), global_table.begin(), global_table.end());
    for(const Frame &frame : frames) {
        if(frame.n_disposal >= 0)
            file = test::Join({file, Bytes{0x21, 0xF9, 4, uint8_t(frame.n_disposal << 2 | (frame.n_transparent >= 0)), 0,
                                           0, uint8_t(frame.n_transparent), 0}});
        file = test::Join({file, Bytes{0x2C}, Le16(frame.n_left), Le16(frame.n_top), Le16(frame.n_width),
                           Le16(frame.n_height)});
        file.push_back(frame.local_table.empty() ? 0 : uint8_t(0x80 | n_TableSizeCode(frame.local_table)));
        file = test::Join({file, frame.local_table, LzwData(frame)});
    }
    file.push_back(0x3B);
    return file;
}

const Bytes kRedGreenBlueWhite = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;
constexpr uint32_t kOpaqueBlack = 0xFF000000, kTransparent = 0;

class GifTest : public ::testing::Test {
protected:
    // Frame n_frame of the file, read from memory.
    ImagePtr Load(const Bytes &bytes, uint32_t n_frame = 0)
    {
        const ImageInput input = test::MemoryInput(bytes, n_frame);
        ImagePtr p_image(LoadGifImage(input, &failure));
        EXPECT_EQ(p_image == nullptr, failure != LoadFailure::kNone);
        return p_image;
    }
    LoadFailure Refusal(const Bytes &bytes, uint32_t n_frame = 0)
    {
        Load(bytes, n_frame);
        return failure;
    }
    std::vector<uint32_t> Pixels(const Bytes &bytes, uint32_t n_frame = 0)
    {
        const ImagePtr p_image = Load(bytes, n_frame);
        if(!p_image)
            return {};
        return std::vector<uint32_t>(p_image->p_buffer, p_image->p_buffer + n_PixelCount(*p_image));
    }
    void SetUp() override
    {
        if(!b_IsGifSupportBuiltIn())
            GTEST_SKIP() << "GIF support was not built in";
    }

    LoadFailure failure = LoadFailure::kNone;
};

// ---------------------------------------------------------------- colours and frames

// An index with no entry in the frame's colour table (the local one, else
// the global one, else none at all) is opaque black, as libpng reads a PNG
// palette index beyond the palette; the transparent index is transparent
// whether or not the table has an entry for it.
TEST_F(GifTest, IndicesWithoutAColourAreOpaqueBlack)
{
    const Bytes two_colours = {255, 0, 0, 0, 255, 0};
    EXPECT_EQ(Pixels(GifFile(4, 1, two_colours, {{0, 0, 4, 1, {1, 0, 2, 200}}})),
              (std::vector<uint32_t>{kGreen, kRed, kOpaqueBlack, kOpaqueBlack}));
    EXPECT_EQ(Pixels(GifFile(2, 1, {}, {{0, 0, 2, 1, {0, 1}}})), (std::vector<uint32_t>{kOpaqueBlack, kOpaqueBlack}));
    EXPECT_EQ(Pixels(GifFile(2, 1, two_colours, {{0, 0, 2, 1, {1, 9}, 0, 9}})),
              (std::vector<uint32_t>{kGreen, kTransparent}));
    // A local table replaces the global one for its frame alone.
    Frame local = {0, 0, 2, 1, {0, 1}};
    local.local_table = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(Pixels(GifFile(2, 1, two_colours, {local, {1, 0, 1, 1, {0}}}), 1),
              (std::vector<uint32_t>{0xFF010203, kRed}));
}

// A graphics control extension gives its disposal method and transparent
// index to the next frame alone; the last of several before a frame
// counts. Screen pixels under no frame are transparent black.
TEST_F(GifTest, GraphicsControlReachesTheNextFrameOnly)
{
    const Bytes file = GifFile(3, 1, kRedGreenBlueWhite,
                               {{0, 0, 2, 1, {0, 0}, 1},
                                {0, 0, 2, 1, {2, 1}, 1, 1},
                                {0, 0, 2, 1, {1, 3}}});
    EXPECT_EQ(Pixels(file, 0), (std::vector<uint32_t>{kRed, kRed, kTransparent}));
    EXPECT_EQ(Pixels(file, 1), (std::vector<uint32_t>{kBlue, kRed, kTransparent}));
    EXPECT_EQ(Pixels(file, 2), (std::vector<uint32_t>{kGreen, kWhite, kTransparent}));
    EXPECT_EQ(Refusal(file, 3), LoadFailure::kNoSuchFrame);

    Bytes two_extensions = GifFile(1, 1, kRedGreenBlueWhite, {{0, 0, 1, 1, {2}, 0, 2}});
    const Bytes keep_red = {0x21, 0xF9, 4, 1, 0, 0, 0, 0};
    two_extensions.insert(two_extensions.begin() + 13 + 12, keep_red.begin(), keep_red.end());
    EXPECT_EQ(Pixels(two_extensions), (std::vector<uint32_t>{kTransparent}));
}

// Every frame of 1000, each a pixel further along a 10 x 1 screen; every
// third frame is disposed to the background, every third to the previous
// screen: frame 999 is what that sequence leaves.
TEST_F(GifTest, LateFrameOfALongAnimation)
{
    std::vector<Frame> frames;
    std::vector<uint32_t> screen(10, kTransparent), previous;
    for(uint16_t n = 0; n < 1000; ++n) {
        const uint16_t n_x = n % 10;
        frames.push_back({n_x, 0, 1, 1, {uint8_t(n % 4)}, n % 3 == 0 ? 1 : n % 3 == 1 ? 2 : 3});
        previous = screen;
        screen[n_x] = std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite}[n % 4];
        if(n == 999)
            break;
        if(n % 3 == 1)
            screen[n_x] = kTransparent;
        else if(n % 3 == 2)
            screen = previous;
    }
    const Bytes file = GifFile(10, 1, kRedGreenBlueWhite, frames);
    EXPECT_EQ(Pixels(file, 999), screen);
    EXPECT_EQ(Refusal(file, 1000), LoadFailure::kNoSuchFrame);
}

// Pixels no frame reaches are transparent black on any screen: a small
// screen's pixel array comes from the heap and is cleared, one of 2 MiB or
// more is mapped in fresh pages, which read as zero.
TEST_F(GifTest, ScreenIsTransparentWhereNoFrameDraws)
{
    for(uint16_t n_side : {16, 1024}) {
        Bytes file = GifFile(n_side, n_side, kRedGreenBlueWhite, {{3, 5, 2, 1, {0, 3}}});
        // A comment makes the file large enough to declare the screen.
        Bytes comment = {0x21, 0xFE};
        for(int n_block = 0; n_block < 2; ++n_block) {
            comment.push_back(255);
            comment.insert(comment.end(), 255, 'x');
        }
        comment.push_back(0);
        file.insert(file.end() - 1, comment.begin(), comment.end());
        const std::vector<uint32_t> pixels = Pixels(file);
        ASSERT_EQ(pixels.size(), size_t(n_side) * n_side) << DescribeLoadFailure(failure);
        for(size_t i = 0; i < pixels.size(); ++i) {
            const uint32_t n_expected = i == size_t(5) * n_side + 3   ? kRed
                                        : i == size_t(5) * n_side + 4 ? kWhite
                                                                      : kTransparent;
            ASSERT_EQ(pixels[i], n_expected) << n_side << " x " << n_side << ", pixel " << i;
        }
    }
}

// ---------------------------------------------------------------- refusals

TEST(GifFiles, RefuseWhatIsNoGifFile)
{
    // Built in or not: the signature is checked first.
    const struct {
        Bytes bytes;
        LoadFailure failure;
    } cases[] = {
        {{}, LoadFailure::kNotGif},
        {{'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, LoadFailure::kNotGif},
        {{'G', 'I', 'F', '8'}, LoadFailure::kTruncated},
        {{'G', 'I', 'F', '8', '7'}, LoadFailure::kTruncated},
        {test::ReadFileBytes(test::Fixture("png/im_rgb8.png")), LoadFailure::kNotGif},
    };
    for(const auto &c : cases) {
        LoadFailure failure;
        EXPECT_EQ(ImagePtr(LoadGifImage(test::MemoryInput(c.bytes), &failure)), nullptr);
        EXPECT_EQ(failure, c.failure) << c.bytes.size() << " bytes";
    }
    test::TempDir dir;
    LoadFailure failure;
    EXPECT_EQ(ImagePtr(LoadImageAtPath(LoadGifImage, dir.File("missing.gif").c_str(), &failure)), nullptr);
    EXPECT_EQ(failure, LoadFailure::kCannotOpen);
}

TEST_F(GifTest, RefusesDamagedFiles)
{
    const Frame pixel = {0, 0, 1, 1, {2}};
    EXPECT_EQ(Refusal(GifFile(0, 5, kRedGreenBlueWhite, {pixel})), LoadFailure::kEmptyImage) << "screen width 0";
    EXPECT_EQ(Refusal(GifFile(5, 0, kRedGreenBlueWhite, {pixel})), LoadFailure::kEmptyImage) << "screen height 0";
    EXPECT_EQ(Refusal(GifFile(5, 5, kRedGreenBlueWhite, {{0, 0, 0, 1, {}}})), LoadFailure::kCorruptData) << "frame width 0";
    EXPECT_EQ(Refusal(GifFile(5, 5, kRedGreenBlueWhite, {})), LoadFailure::kNoSuchFrame) << "no frame";
    const Frame short_data = {0, 0, 3, 1, {0, 1}}; // the end code after two of three pixels
    EXPECT_EQ(Refusal(GifFile(3, 1, kRedGreenBlueWhite, {short_data})), LoadFailure::kCorruptData) << "end code early";
    Frame wide_codes = pixel;
    wide_codes.n_min_code_size = 9;
    EXPECT_EQ(Refusal(GifFile(1, 1, kRedGreenBlueWhite, {wide_codes})), LoadFailure::kCorruptData) << "code size 9";
    // Minimum code sizes 0 and 1, which the format does not allow, would let
    // a byte hold up to 8 clear codes, each of which costs giflib 4096 steps.
    for(uint8_t n_code_size : {0, 1}) {
        Frame narrow_codes = {0, 0, 2, 1, {0, 1}};
        narrow_codes.n_min_code_size = n_code_size;
        EXPECT_EQ(Refusal(GifFile(2, 1, kRedGreenBlueWhite, {narrow_codes})), LoadFailure::kCorruptData)
            << "code size " << int(n_code_size);
    }
    Frame two_bit = {0, 0, 2, 1, {0, 3}};
    two_bit.n_min_code_size = 2;
    EXPECT_EQ(Refusal(GifFile(2, 1, kRedGreenBlueWhite, {two_bit})), LoadFailure::kNone) << "code size 2";
    Bytes unknown_record = GifFile(1, 1, kRedGreenBlueWhite, {pixel});
    unknown_record.insert(unknown_record.end() - 1, 0x99);
    EXPECT_EQ(Refusal(unknown_record, 1), LoadFailure::kCorruptData) << "record 0x99";
    // Frame 0 is drawn before the unknown record is reached.
    EXPECT_EQ(Refusal(unknown_record, 0), LoadFailure::kNone);
}

// An LZW code of at most 12 bits stands for at most 4096 pixels: more than
// 2731 pixels for each byte of the file, in a frame or in the screen, cannot
// be there, and is refused before anything is allocated.
TEST_F(GifTest, RefusesPicturesTheFileCannotHold)
{
    // The sizes in the screen descriptor and the image descriptor do not
    // change the file's length.
    const Frame pixel = {0, 0, 1, 1, {2}};
    const uint16_t n_rows = uint16_t(GifFile(1, 1, kRedGreenBlueWhite, {pixel}).size());
    // A screen of exactly 2731 pixels a byte loads, one row more does not.
    const ImagePtr p_screen = Load(GifFile(2731, n_rows, kRedGreenBlueWhite, {pixel}));
    ASSERT_NE(p_screen, nullptr) << DescribeLoadFailure(failure);
    EXPECT_EQ(p_screen->p_buffer[0], kBlue);
    EXPECT_EQ(p_screen->p_buffer[n_PixelCount(*p_screen) - 1], kTransparent);
    EXPECT_EQ(Refusal(GifFile(2731, n_rows + 1, kRedGreenBlueWhite, {pixel})), LoadFailure::kTooLarge);
    EXPECT_EQ(Refusal(GifFile(65535, 65535, kRedGreenBlueWhite, {pixel})), LoadFailure::kTooLarge);
    // A frame of that many pixels (its data one pixel, without the end
    // code) passes the check and is refused for its data; one row more is
    // refused for its size.
    Frame large = {0, 0, 1, 1, {2}, -1, -1, {}, 8, false};
    large.n_width = 2731;
    large.n_height = uint16_t(GifFile(1, 1, kRedGreenBlueWhite, {large}).size());
    EXPECT_EQ(Refusal(GifFile(1, 1, kRedGreenBlueWhite, {large})), LoadFailure::kCorruptData);
    ++large.n_height;
    EXPECT_EQ(Refusal(GifFile(1, 1, kRedGreenBlueWhite, {large})), LoadFailure::kTooLarge);
}

// A file cut at any length: never a picture made of part of the data.
// Asked for its last frame, the file is read up to that frame's last data
// byte; asked for one frame more, up to the trailer.
TEST_F(GifTest, CutAtEveryLength)
{
    for(const char *p_name : {"gif/gifsicle_optimised.gif", "gif/gifsicle_interlaced.gif", "gif/deb_pidgin_qip_ab.gif"}) {
        const Bytes file = test::ReadFileBytes(test::Fixture(p_name));
        ASSERT_GT(file.size(), 100u);
        uint32_t n_frames = 0;
        while(Refusal(file, n_frames) == LoadFailure::kNone)
            ++n_frames;
        ASSERT_EQ(failure, LoadFailure::kNoSuchFrame) << p_name;
        for(size_t n_keep = 0; n_keep < file.size(); ++n_keep) {
            const Bytes cut(file.begin(), file.begin() + long(n_keep));
            const LoadFailure expected = n_keep == 0                ? LoadFailure::kNotGif
                                         : n_keep == file.size() - 1 ? LoadFailure::kNone
                                                                     : LoadFailure::kTruncated;
            ASSERT_EQ(Refusal(cut, n_frames - 1), expected) << p_name << " cut to " << n_keep;
            if(n_keep > 0) {
                ASSERT_EQ(Refusal(cut, n_frames), LoadFailure::kTruncated) << p_name << " cut to " << n_keep;
            }
        }
    }
}

} // namespace
