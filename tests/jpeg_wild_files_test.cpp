// JPEG files as other tools write them, rewritten: progressive and
// sequential twins of the same coefficients, component IDs other than 1, 2,
// 3, colour transforms, CMYK files and broken progressions; and progressive
// streams built bit by bit for what encoders never write. The fixtures and
// their djpeg references come from tests/fixtures/make_jpeg_wild_fixtures.sh.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "jpeg_decoder.h"
#include "jpeg_test_support.h"

namespace {

using namespace tarnwick;
using namespace test;

bool b_SamePixels(const Image &a, const Image &b)
{
    return a.n_width == b.n_width && a.n_height == b.n_height && a.b_grayscale == b.b_grayscale &&
           std::memcmp(a.p_buffer, b.p_buffer, size_t(n_PixelCount(a)) * 4) == 0;
}

std::string FixturePath(const std::string &name)
{
    return test::Fixture("jpeg/" + name);
}

// ---- Segments of a file ---------------------------------------------------

struct Span {
    size_t n_start, n_end; // the marker's first byte; past the segment, and past its data for a scan
    uint8_t n_code;
};

// The marker segments after the start of image, up to the end of image; a
// scan's span runs on over its entropy-coded data and restart markers.
std::vector<Span> Segments(const Bytes &bytes)
{
    std::vector<Span> spans;
    for(size_t i = 2; i + 4 <= bytes.size() && bytes[i] == 0xFF && bytes[i + 1] != 0xD9;) {
        size_t n_end = i + 2 + size_t(bytes[i + 2] << 8 | bytes[i + 3]);
        if(bytes[i + 1] == 0xDA)
            while(n_end + 1 < bytes.size() &&
                  !(bytes[n_end] == 0xFF && bytes[n_end + 1] != 0x00 && (bytes[n_end + 1] & 0xF8) != 0xD0))
                ++n_end;
        spans.push_back({i, n_end, bytes[i + 1]});
        i = n_end;
    }
    return spans;
}

// The file with every component ID relabelled: in the frame header and in
// every scan's selectors.
Bytes WithIds(const Bytes &bytes, const std::map<int, int> &relabel)
{
    Bytes patched = bytes;
    for(const Span &span : Segments(bytes)) {
        if(span.n_code >= 0xC0 && span.n_code <= 0xC2)
            for(size_t i = 0; i < bytes[span.n_start + 9]; ++i)
                patched[span.n_start + 10 + 3 * i] = uint8_t(relabel.at(bytes[span.n_start + 10 + 3 * i]));
        if(span.n_code == 0xDA)
            for(size_t j = 0; j < bytes[span.n_start + 4]; ++j)
                patched[span.n_start + 5 + 2 * j] = uint8_t(relabel.at(bytes[span.n_start + 5 + 2 * j]));
    }
    return patched;
}

std::string WriteTemp(const TempDir &dir, const std::string &name, const Bytes &bytes)
{
    const std::string path = dir.File(name);
    EXPECT_TRUE(test::WriteFileBytes(path, bytes));
    return path;
}

std::string WriteText(const TempDir &dir, const std::string &name, const std::string &text)
{
    const std::string path = dir.File(name);
    EXPECT_TRUE(test::WriteFileText(path, text));
    return path;
}

bool b_HaveTool(const char *p_tool)
{
    return test::Shell(std::string("command -v ") + p_tool + " >/dev/null 2>&1") == 0;
}

// ---- Progressive and sequential twins ---------------------------------------

std::vector<std::string> JpegFixtureNames()
{
    std::vector<std::string> names;
    if(DIR *p_dir = opendir(test::Fixture("jpeg").c_str())) {
        while(const dirent *p_entry = readdir(p_dir)) {
            const std::string name = p_entry->d_name;
            if(name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0)
                names.push_back(name);
        }
        closedir(p_dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The number of components the frame header declares.
int n_FrameComponents(const Bytes &bytes)
{
    for(const Span &span : Segments(bytes))
        if(span.n_code >= 0xC0 && span.n_code <= 0xC2)
            return bytes[span.n_start + 9];
    return 0;
}

// jpegtran rewrites a file's coefficients losslessly: a sequential fixture
// as progressive (cjpeg's script, with restart intervals, and a script of
// successive approximation), a progressive one as sequential. Every twin
// must decode to exactly the fixture's pixels.
TEST(JpegTwins, ProgressiveAndSequentialFilesOfTheSameCoefficientsDecodeAlike)
{
    if(!b_HaveTool("jpegtran"))
        GTEST_SKIP() << "jpegtran is not installed";
    TempDir dir;
    // Successive approximation, bands split, DC scans of one component; for
    // one, three and four components.
    const std::map<int, std::string> scripts = {
        {1, WriteText(dir, "gray.txt", "0: 0 0 0 1; 0: 1 9 0 2; 0: 10 63 0 0; 0: 1 9 2 1; 0: 0 0 1 0; 0: 1 9 1 0;")},
        {3, WriteText(dir, "color.txt",
                      "0 1 2: 0 0 0 2; 0: 1 63 0 1; 1: 1 63 0 0; 2: 1 20 0 1; 2: 21 63 0 0;"
                      " 0: 0 0 2 1; 1 2: 0 0 2 1; 0: 1 63 1 0; 0 1 2: 0 0 1 0; 2: 1 20 1 0;")},
        {4, WriteText(dir, "cmyk.txt",
                      "0 1 2 3: 0 0 0 1; 0: 1 63 0 0; 1: 1 63 0 0; 2: 1 20 0 1; 2: 21 63 0 0;"
                      " 3: 1 63 0 1; 1 3: 0 0 1 0; 0 2: 0 0 1 0; 2: 1 20 1 0; 3: 1 63 1 0;")}};
    const std::vector<std::string> names = JpegFixtureNames();
    ASSERT_GT(names.size(), 40u);
    int n_twins = 0;
    for(const std::string &name : names) {
        SCOPED_TRACE(name);
        const std::string path = FixturePath(name);
        ImagePtr p_image = test::DecodeJpegFile(path);
        ASSERT_TRUE(p_image);
        std::vector<std::string> options;
        if(name.find("prog") != std::string::npos) {
            options = {""};
        } else {
            options = {"-progressive", "-progressive -restart 1", "-progressive -restart 5B",
                       "-scans '" + scripts.at(n_FrameComponents(test::ReadFileBytes(path))) + "'"};
        }
        for(const std::string &option : options) {
            SCOPED_TRACE("jpegtran " + option);
            const std::string twin = dir.File("twin.jpg");
            ASSERT_EQ(test::Shell("jpegtran " + option + " '" + path + "' > '" + twin + "'"), 0);
            ImagePtr p_twin = test::DecodeJpegFile(twin);
            ASSERT_TRUE(p_twin);
            EXPECT_TRUE(b_SamePixels(*p_image, *p_twin));
            ++n_twins;
        }
    }
    std::printf("  %d twins decoded to the same pixels\n", n_twins);
}

// ---- Component IDs ------------------------------------------------------------

// Any distinct IDs, in any order: the frame's first component is Y (or
// gray), the second Cb, the third Cr, as libjpeg reads them. Until IDs were
// labels, 0 and IDs above 4 were refused, and components whose IDs came in
// another order were taken by ID (2, 1, 3 swapped Y and Cb).
TEST(JpegComponentIds, AnyDistinctIdsDecodeLikeOneTwoThree)
{
    const std::vector<std::map<int, int>> relabellings = {
        {{1, 0}, {2, 1}, {3, 2}}, {{1, 2}, {2, 1}, {3, 3}}, {{1, 3}, {2, 2}, {3, 1}},
        {{1, 255}, {2, 0}, {3, 128}}, {{1, 'B'}, {2, 'G'}, {3, 'R'}}};
    for(const char *p_name : {"cjpeg_420.jpg", "cjpeg_444_scans.jpg", "cjpeg_prog_420_approximation.jpg",
                              "cjpeg_prog_444_restart_3b.jpg", "cjpeg_gray.jpg", "cjpeg_prog_gray.jpg"}) {
        SCOPED_TRACE(p_name);
        const Bytes file = test::ReadFileBytes(FixturePath(p_name));
        ImagePtr p_image = test::DecodeJpegBytes(file);
        ASSERT_TRUE(p_image);
        for(const std::map<int, int> &relabel : relabellings) {
            SCOPED_TRACE("ID 1 -> " + std::to_string(relabel.at(1)));
            const Bytes patched = WithIds(file, relabel);
            ASSERT_NE(patched, file);
            ImagePtr p_patched = test::DecodeJpegBytes(patched);
            ASSERT_TRUE(p_patched);
            EXPECT_TRUE(b_SamePixels(*p_image, *p_patched));
        }
    }
    // The same pixels are within libjpeg's distance.
    TempDir dir;
    const Bytes file = test::ReadFileBytes(FixturePath("cjpeg_prog_420.jpg"));
    ExpectCloseToReference(WriteTemp(dir, "ids_0_1_2.jpg", WithIds(file, {{1, 0}, {2, 1}, {3, 2}})),
                           FixturePath("cjpeg_prog_420.ppm"));
}

// ---- Colour transforms ----------------------------------------------------------

Bytes WithAdobeTransform(const Bytes &bytes, int n_transform)
{
    Bytes patched = bytes;
    for(const Span &span : Segments(bytes))
        if(span.n_code == 0xEE) {
            if(n_transform < 0)
                patched[span.n_start + 1] = 0xEF; // APP15: no Adobe segment any more
            else
                patched[span.n_start + 15] = uint8_t(n_transform);
        }
    return patched;
}

Bytes WithJfifSegment(const Bytes &bytes)
{
    const Bytes app0 = Segment(0xFFE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    return Join({kSoi, app0, Bytes(bytes.begin() + 2, bytes.end())});
}

// cjpeg -rgb labels the components 'R', 'G', 'B' and writes an Adobe
// segment of transform 0. Either makes the file RGB; transform 1, or
// neither, YCbCr; a JFIF segment YCbCr whatever the Adobe segment says, as
// libjpeg reads it. Each variant matches djpeg's reading of it.
TEST(JpegColorTransform, AdobeSegmentJfifAndIdsChooseRgbOrYcbcrAsLibjpegDoes)
{
    const Bytes rgb = test::ReadFileBytes(FixturePath("cjpeg_rgb.jpg"));
    ASSERT_FALSE(rgb.empty());
    const std::map<int, int> numbered = {{'R', 1}, {'G', 2}, {'B', 3}};
    struct Case {
        const char *p_name;
        Bytes bytes;
        bool b_rgb;
    } cases[] = {
        {"Adobe transform 0, IDs 1 2 3", WithIds(rgb, numbered), true},
        {"no Adobe segment, IDs R G B", WithAdobeTransform(rgb, -1), true},
        {"Adobe transform 1, IDs R G B", WithAdobeTransform(rgb, 1), false},
        {"no Adobe segment, IDs 1 2 3", WithAdobeTransform(WithIds(rgb, numbered), -1), false},
        {"JFIF, Adobe transform 0", WithJfifSegment(rgb), false},
    };
    ImagePtr p_rgb = test::DecodeJpegBytes(rgb);
    ImagePtr p_ycc = test::DecodeJpegBytes(cases[3].bytes);
    ASSERT_TRUE(p_rgb && p_ycc);
    EXPECT_FALSE(b_SamePixels(*p_rgb, *p_ycc));
    const bool b_djpeg = b_HaveTool("djpeg");
    TempDir dir;
    for(const Case &c : cases) {
        SCOPED_TRACE(c.p_name);
        ImagePtr p_image = test::DecodeJpegBytes(c.bytes);
        ASSERT_TRUE(p_image);
        EXPECT_TRUE(b_SamePixels(*p_image, c.b_rgb ? *p_rgb : *p_ycc));
        if(b_djpeg) {
            const std::string jpeg = WriteTemp(dir, "variant.jpg", c.bytes), reference = dir.File("variant.ppm");
            ASSERT_EQ(test::Shell("djpeg -dct float -nosmooth '" + jpeg + "' > '" + reference + "'"), 0);
            ExpectCloseToReference(jpeg, reference);
        }
    }
    // Transform 2 (YCCK) is not a transform of three components.
    LoadFailure failure = LoadFailure::kNone;
    EXPECT_FALSE(test::DecodeJpegBytes(WithAdobeTransform(rgb, 2), &failure));
    EXPECT_EQ(failure, LoadFailure::kJpegColorTransform);
}

// ---- CMYK and YCCK ----------------------------------------------------------------

struct FourComponentCase {
    const char *p_path; // under tests/fixtures, without .jpg; the reference is NAME.ppm
    bool b_ycck;        // Adobe transform 2; else CMYK (transform 0)
};

void PrintTo(const FourComponentCase &c, std::ostream *p_out)
{
    *p_out << c.p_path;
}

class FourComponentJpegFile : public ::testing::TestWithParam<FourComponentCase> {};

// Four-component files against ImageMagick's RGB reading of them
// (convert -define jpeg:fancy-upsampling=off NAME.jpg -colorspace sRGB
// NAME.ppm: the stored values inverted, no colour profile, samples
// replicated). CMYK differs only by the inverse DCT's truncation (libjpeg
// rounds): at most 2 levels. YCCK adds the YCbCr conversion, whose tables
// truncate where libjpeg's round: at most 5 levels, as YCbCr files differ
// from libjpeg (JpegFile). A CMYK file without its Adobe segment reads the
// same, as Adobe's applications read it.
TEST_P(FourComponentJpegFile, MatchesImageMagickReadingOfAdobeFiles)
{
    const FourComponentCase &c = GetParam();
    const std::string base = test::Fixture(c.p_path);
    Pnm reference;
    ASSERT_TRUE(ReadPnm(base + ".ppm", reference));
    ASSERT_EQ(reference.n_channels, 3);
    const Bytes file = test::ReadFileBytes(base + ".jpg");
    LoadFailure failure = LoadFailure::kNone;
    ImagePtr p_image = test::DecodeJpegBytes(file, &failure);
    ASSERT_TRUE(p_image) << int(failure);
    ASSERT_EQ(p_image->n_width, reference.n_width);
    ASSERT_EQ(p_image->n_height, reference.n_height);
    EXPECT_EQ(p_image->b_grayscale, 0);
    EXPECT_EQ(p_image->b_alpha, 0);
    for(uint64_t i = 0; i < n_PixelCount(*p_image); ++i)
        ASSERT_EQ(p_image->p_buffer[i] >> 24, 0xFFu) << "pixel " << i;
    const Difference difference = Compare(*p_image, reference);
    EXPECT_LE(difference.n_max, c.b_ycck ? 5 : 2);
    EXPECT_GE(difference.psnr, c.b_ycck ? 42.0 : 48.0);
    std::printf("  %-34s %4d x %-4d PSNR %.2f dB, largest difference %d\n", c.p_path, p_image->n_width,
                p_image->n_height, difference.psnr, difference.n_max);
    if(!c.b_ycck) {
        ImagePtr p_without = test::DecodeJpegBytes(WithAdobeTransform(file, -1));
        ASSERT_TRUE(p_without);
        EXPECT_TRUE(b_SamePixels(*p_image, *p_without));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FourComponentJpegFile,
    ::testing::Values(
        // Made here: ImageMagick writes YCCK, Pillow CMYK; sequential and
        // progressive, first components sampled 2 x 2, restart intervals.
        FourComponentCase{"cmyk_magick", true}, FourComponentCase{"jpeg/ycck_magick_prog", true},
        FourComponentCase{"jpeg/ycck_magick_420", true}, FourComponentCase{"jpeg/ycck_jpegtran_prog_420_restart", true},
        FourComponentCase{"jpeg/cmyk_pillow", false}, FourComponentCase{"jpeg/cmyk_pillow_prog", false},
        FourComponentCase{"jpeg/cmyk_pillow_c420", false}, FourComponentCase{"jpeg/cmyk_jpegtran_prog_restart", false},
        // From Debian packages: JFIF and Adobe segments together (Go's and
        // GTK's test pictures, GTK's with an ICC profile), and a YCCK file
        // of wxWidgets' samples with Y and K sampled 2 x 2 and restarts.
        FourComponentCase{"jpeg/go_video_001_cmyk", false}, FourComponentCase{"jpeg/gtk4_image_cmyk", false},
        FourComponentCase{"jpeg/wx32_ycck", true}),
    [](const ::testing::TestParamInfo<FourComponentCase> &info) {
        const std::string path = info.param.p_path;
        return path.substr(path.rfind('/') + 1);
    });

// An Adobe transform that names no four-component colour space (1, YCbCr;
// or any above 2) is refused with the cause of four components.
TEST(JpegColorTransform, FourComponentFileWithAnotherAdobeTransformIsRefused)
{
    const Bytes cmyk = test::ReadFileBytes(FixturePath("cmyk_pillow.jpg"));
    for(int n_transform : {1, 3, 255}) {
        LoadFailure failure = LoadFailure::kNone;
        EXPECT_FALSE(test::DecodeJpegBytes(WithAdobeTransform(cmyk, n_transform), &failure)) << n_transform;
        EXPECT_EQ(failure, LoadFailure::kFourComponentJpeg) << n_transform;
    }
}

// ---- Broken progressions of a real file -------------------------------------

// cjpeg_prog_gray_approximation_restart.jpg has eight scans: 0-0 Al 2,
// 1-9 Al 2, 10-63 Al 1, then refinements 0-0 2/1, 1-9 2/1, 0-0 1/0, 1-9 1/0,
// 10-63 1/0, each after the table segment it needs. The file is rebuilt
// with its scans (and their tables) in another order; n_patched_scan gets
// the Ah|Al byte n_al_ah.
Bytes WithScans(const Bytes &bytes, const std::vector<int> &order, int n_patched_scan = -1, uint8_t n_al_ah = 0)
{
    Bytes head(bytes.begin(), bytes.begin() + 2);
    std::vector<Bytes> scans(1);
    std::vector<size_t> sos_offsets;
    for(const Span &span : Segments(bytes)) {
        Bytes &into = span.n_code == 0xC2 || span.n_code == 0xDB || span.n_code == 0xDD ? head : scans.back();
        if(span.n_code == 0xDA)
            sos_offsets.push_back(into.size());
        into.insert(into.end(), bytes.begin() + long(span.n_start), bytes.begin() + long(span.n_end));
        if(span.n_code == 0xDA)
            scans.emplace_back();
    }
    scans.pop_back();
    EXPECT_EQ(scans.size(), 8u);
    Bytes file = head;
    for(int n_scan : order) {
        Bytes scan = scans[size_t(n_scan)];
        if(n_scan == n_patched_scan)
            scan[sos_offsets[size_t(n_scan)] + 9] = n_al_ah; // after FF DA, length, Ns, one selector, Ss, Se
        file = Join({file, scan});
    }
    return Join({file, kEoi});
}

TEST(JpegProgression, ScansOutOfTheirProgressionFailTheDecode)
{
    const Bytes file = test::ReadFileBytes(FixturePath("cjpeg_prog_gray_approximation_restart.jpg"));
    ImagePtr p_image = test::DecodeJpegBytes(file);
    ASSERT_TRUE(p_image);
    ImagePtr p_rebuilt = test::DecodeJpegBytes(WithScans(file, {0, 1, 2, 3, 4, 5, 6, 7}));
    ASSERT_TRUE(p_rebuilt);
    EXPECT_TRUE(b_SamePixels(*p_image, *p_rebuilt));
    // Scans may come in any order the progression allows, and may stop early.
    EXPECT_TRUE(test::DecodeJpegBytes(WithScans(file, {0, 3, 5, 2, 1, 7, 4, 6})));
    EXPECT_TRUE(test::DecodeJpegBytes(WithScans(file, {0})));

    const struct {
        const char *p_name;
        Bytes bytes;
    } cases[] = {
        {"AC before the DC", WithScans(file, {1, 0, 2, 3, 4, 5, 6, 7})},
        {"no DC scan at all", WithScans(file, {})},
        {"a first scan twice", WithScans(file, {0, 1, 1, 2})},
        {"a refinement twice", WithScans(file, {0, 3, 3})},
        {"a refinement before its first scan", WithScans(file, {0, 4, 1})},
        {"a refinement skipping a bit", WithScans(file, {0, 5})},
        {"refinement Al not Ah - 1", WithScans(file, {0, 3}, 3, 0x20)},
        {"Al above 13", WithScans(file, {0, 1}, 1, 0x0E)},
    };
    for(const auto &c : cases) {
        LoadFailure failure = LoadFailure::kNone;
        EXPECT_FALSE(test::DecodeJpegBytes(c.bytes, &failure)) << c.p_name;
        EXPECT_EQ(failure, LoadFailure::kCorruptData) << c.p_name;
    }
}

// ---- Streams built bit by bit -------------------------------------------------

// Entropy-coded bytes from a string of '0' and '1' (spaces ignored), padded
// with 1 bits, a zero stuffed after each 0xFF.
Bytes Bits(const std::string &bits)
{
    Bytes bytes;
    int n_count = 0, n_byte = 0;
    auto emit = [&] {
        bytes.push_back(uint8_t(n_byte));
        if(n_byte == 0xFF)
            bytes.push_back(0x00);
        n_count = n_byte = 0;
    };
    for(char c : bits) {
        if(c == ' ')
            continue;
        n_byte = n_byte << 1 | (c == '1');
        if(++n_count == 8)
            emit();
    }
    if(n_count) {
        n_byte = (n_byte << (8 - n_count)) | ((1 << (8 - n_count)) - 1);
        emit();
    }
    return bytes;
}

// A progressive gray frame of n_width x 8 with quantisation table 0 of ones
// and Huffman table 0 of each class: DC sizes 0 ("0") and 1 ("10"); AC
// symbols in 3-bit codes 000 end of band, 001 run 0 size 1, 010 run 0
// size 2, 011 run 1 size 1, 100 end-of-band run of 2^1 + 1 bit, 101
// end-of-band run of 2^14 + 14 bits.
Bytes ProgressiveGrayHead(uint16_t n_width, uint16_t n_height = 8)
{
    Bytes dht = {0x00, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const Bytes ac = {0x10, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x01, 0x02, 0x11, 0x10, 0xE0};
    dht.insert(dht.end(), ac.begin(), ac.end());
    return Join({kSoi, Dqt8(0), Segment(0xFFC2, FrameBody(n_width, n_height, {{1, 0x11, 0}})), Segment(0xFFC4, dht)});
}

Bytes Sos(const Bytes &ids, int n_start, int n_end, int n_high, int n_low)
{
    Bytes body = {uint8_t(ids.size())};
    for(uint8_t n_id : ids)
        body.insert(body.end(), {n_id, 0x00});
    body.insert(body.end(), {uint8_t(n_start), uint8_t(n_end), uint8_t(n_high << 4 | n_low)});
    return Segment(0xFFDA, body);
}

// Two blocks side by side; the DC scan leaves both flat (DC 0).
Bytes TwoBlocks(const Bytes &scans)
{
    return Join({ProgressiveGrayHead(16), Sos({1}, 0, 0, 0, 0), Bits("0 0"), scans, kEoi});
}

TEST(JpegProgressiveStream, CorruptAcDataFailsTheScan)
{
    ASSERT_TRUE(test::DecodeJpegBytes(TwoBlocks(Join({Sos({1}, 1, 1, 0, 0), Bits("001 1  000")}))));
    const struct {
        const char *p_name;
        Bytes scans;
    } cases[] = {
        {"a value past the band", Join({Sos({1}, 1, 1, 0, 0), Bits("011 1")})},
        {"a refinement value of two bits",
         Join({Sos({1}, 1, 2, 0, 1), Bits("000 000"), Sos({1}, 1, 2, 1, 0), Bits("010 11")})},
        {"a new coefficient with no zero left in the band",
         Join({Sos({1}, 1, 1, 0, 1), Bits("001 1  001 1"), Sos({1}, 1, 1, 1, 0), Bits("001 1 0")})},
        {"a code that matches nothing", Join({Sos({1}, 1, 63, 0, 0), Bits("111 111")})},
    };
    for(const auto &c : cases) {
        LoadFailure failure = LoadFailure::kNone;
        EXPECT_FALSE(test::DecodeJpegBytes(TwoBlocks(c.scans), &failure)) << c.p_name;
        EXPECT_EQ(failure, LoadFailure::kCorruptData) << c.p_name;
    }
}

// An end-of-band run ends at a restart marker: the block after the marker
// is decoded from its own data, not passed over.
TEST(JpegProgressiveStream, EndOfBandRunStopsAtARestartMarker)
{
    const Bytes restart_every_block = Segment(0xFFDD, {0x00, 0x01});
    const Bytes head = Join({ProgressiveGrayHead(16), restart_every_block, Sos({1}, 0, 0, 0, 0), Bits("0"),
                             Marker(0xFFD0), Bits("0")});
    // Values shifted by 6 bits, so that they show in the samples.
    auto decode = [&](const std::string &first_block, const std::string &second_block) {
        return test::DecodeJpegBytes(Join({head, Sos({1}, 1, 1, 0, 6), Bits(first_block), Marker(0xFFD1),
                                           Bits(second_block), kEoi}));
    };
    ImagePtr p_run = decode("100 1", "001 1");  // a run of 3 blocks, then a value
    ImagePtr p_plain = decode("000", "001 1");  // end of band, then a value
    ImagePtr p_empty = decode("000", "000");
    ASSERT_TRUE(p_run && p_plain && p_empty);
    EXPECT_TRUE(b_SamePixels(*p_run, *p_plain));
    EXPECT_FALSE(b_SamePixels(*p_plain, *p_empty));
}

// Scans over a frame declaring 32767 x 32767: a DC scan runs out of data, an
// AC scan or the end of image come before any DC was complete; a long
// end-of-band run in a refinement over a frame with no coefficient to
// refine. All end at once (bench/resource_bounds.sh measures the time).
TEST(JpegProgressiveStream, HugeDeclaredFramesFailWithoutDcData)
{
    const Bytes head = ProgressiveGrayHead(32767, 32767);
    LoadFailure failure = LoadFailure::kNone;
    Bytes cut = Join({head, Sos({1}, 0, 0, 0, 0)});
    cut.resize(1024, 0x00);
    EXPECT_FALSE(test::DecodeJpegBytes(cut, &failure));
    EXPECT_EQ(failure, LoadFailure::kTruncated);
    EXPECT_FALSE(test::DecodeJpegBytes(Join({head, Sos({1}, 1, 63, 0, 0), Bits("101 11111111111111"), kEoi}),
                                       &failure));
    EXPECT_EQ(failure, LoadFailure::kCorruptData);
    EXPECT_FALSE(test::DecodeJpegBytes(Join({head, kEoi}), &failure));
    EXPECT_EQ(failure, LoadFailure::kCorruptData);
}

// 100 scans decode; the 101st fails the decode, in a progressive frame (here
// a DC scan and empty scans) as in a sequential one.
TEST(JpegScanLimit, TheHundredAndFirstScanFailsTheDecode)
{
    const Bytes empty_scan = Sos({}, 0, 0, 0, 0);
    for(int n_scans : {100, 101}) {
        Bytes progressive = Join({ProgressiveGrayHead(8), Sos({1}, 0, 0, 0, 0), Bits("0")});
        Bytes sequential = Join({kSoi, Dqt8(0), GraySof0(8, 8), FlatScan({1})});
        for(int i = 1; i < n_scans; ++i) {
            progressive = Join({progressive, empty_scan});
            sequential = Join({sequential, FlatScan({1})});
        }
        for(const Bytes &file : {progressive, sequential}) {
            LoadFailure failure = LoadFailure::kNone;
            ImagePtr p_image = test::DecodeJpegBytes(Join({file, kEoi}), &failure);
            EXPECT_EQ(p_image != nullptr, n_scans == 100) << n_scans;
            EXPECT_EQ(failure, n_scans == 100 ? LoadFailure::kNone : LoadFailure::kTooManyScans) << n_scans;
        }
    }
}

} // namespace
