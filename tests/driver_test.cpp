// The command-line program as a user runs it: messages, streams, exit
// statuses and loader choice.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <system_error>

#include "driver.h"
#include "png_loader.h"
#include "test_support.h"

namespace {

using test::RunTarnwick;

const char kUsage[] =
    "error: missing program arguments.\n"
    "usage:\n"
    "Tarnwick <image-file> <header-file> [--verbose] [--rle]\n"
    "\t[--rle-decoder] [--rgb|--gray]\n"
    "where image-file is source file, containing image in jpeg or tga format,\n"
    "and header-file is output file to contain image.\n"
    "--verbose parameter turns on verbose output\n"
    "--rle turns on run-length compression (header is smaller)\n"
    "--rle-decoder includes decoding function in header\n"
    "--rgb forces RGB(A) colors\n"
    "--gray forces grayscale colors (single channel)\n"
    "--rgb565 forces 16-bit RGB565 colors (red is 0xf800)\n"
    "--rgb565-swapped forces RGB565 with its two bytes swapped (red is 0x00f8)\n"
    "--mono forces 1 bit per pixel (set if gray >= 128), leftmost pixel in top bit\n"
    "--dither with --mono, Floyd-Steinberg dithering instead of a threshold\n"
    "--crop=WxH+X+Y keeps the W x H rectangle whose top-left pixel is (X, Y)\n"
    "--rotate=90|180|270 rotates clockwise\n"
    "--flip=h|v mirrors left-right (h) or top-bottom (v)\n"
    "--resize=WxH[!]|Wx|xH fits inside W x H keeping the proportions, stretches (!),\n"
    "\tor fixes one side\n"
    "--filter=lanczos|box|bilinear|nearest chooses the resize filter (lanczos)\n"
    "--background=RRGGBB puts every pixel over this colour; all become opaque\n"
    "--invert turns every colour channel c into 255 - c\n"
    "--threshold=N sets the 1-bit cut of --mono, 0 to 255 (128)\n"
    "--dither=floyd|atkinson|bayer dithers --mono; floyd also dithers RGB565\n"
    "the picture is cropped, rotated, flipped, resized, put over the background\n"
    "\tand inverted in this order, whatever the order of the switches\n"
    "--frame=N reads frame N of an animated GIF (0 is the first)\n"
    "image-file may also be in png, bmp (.bmp, .dib), gif or webp format\n"
    "--stdint declares the items uint32_t, uint16_t or uint8_t from <stdint.h>\n"
    "--static makes every definition static, for headers included more than once\n"
    "--attribute=TEXT writes TEXT after each array's [], e.g. PROGMEM\n"
    "--name=NAME names the array p_NAME and the constants n_NAME_... (a C identifier)\n"
    "--lvgl adds an LVGL 9 image descriptor dsc_NAME; the array becomes LVGL's bytes\n"
    "--rgb888 forces 3 bytes per pixel: red, green, blue\n"
    "--bgr888 forces 3 bytes per pixel: blue, green, red (LVGL's RGB888)\n"
    "--alpha8 forces 1 byte per pixel, its alpha\n"
    "--indexed writes a palette and 1, 2, 4 or 8-bit indices (at most 256 colours)\n"
    "--mono-lsb with --mono, leftmost pixel in bit 0 (XBM order)\n"
    "--mono-pages with --mono, SSD1306 pages: bytes of 8 rows, top row in bit 0\n";

const int kFailure = 255; // the program's -1 as the shell sees it

class DriverTest : public ::testing::Test {
protected:
    // Copies a committed picture into the temporary folder under a new name.
    std::string Place(const std::string &source, const std::string &name)
    {
        const std::string path = dir.File(name);
        const size_t n_slash = name.rfind('/');
        std::error_code error;
        if(n_slash != std::string::npos)
            std::filesystem::create_directories(dir.File(name.substr(0, n_slash)), error);
        EXPECT_TRUE(test::CopyFile(source, path));
        return path;
    }
    // Writes the bytes into the temporary folder.
    std::string Write(const std::string &name, const test::Bytes &bytes)
    {
        const std::string path = dir.File(name);
        EXPECT_TRUE(test::WriteFileBytes(path, bytes));
        return path;
    }
    std::string Tga() { return test::Fixture("tga/pil_rgb24_top.tga"); }
    std::string GrayTga() { return test::Fixture("tga/pil_gray_top.tga"); }
    std::string Jpeg() { return std::string(TARNWICK_SOURCE_DIR) + "/examples/sample.jpg"; }

    test::TempDir dir;
};

TEST_F(DriverTest, FewerThanTwoPathsPrintsTheUsageAndSucceeds)
{
    for(const std::vector<std::string> &args : {std::vector<std::string>{}, {dir.File("only.tga")}}) {
        const test::RunResult result = RunTarnwick(args);
        EXPECT_EQ(result.n_exit_status, 0);
        EXPECT_EQ(result.err, kUsage);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_TRUE(test::b_IsEmptyFolder(dir.path())) << "no file may be created";
}

TEST_F(DriverTest, QuietSuccessPrintsNothing)
{
    const test::RunResult result = RunTarnwick({Tga(), dir.File("out.h")});
    EXPECT_EQ(result.n_exit_status, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_NE(test::ReadFileText(dir.File("out.h")).find("const unsigned __int32 p_"), std::string::npos);
}

TEST_F(DriverTest, UnknownSwitchesWarnAndTheRunGoesOn)
{
    const test::RunResult result =
        RunTarnwick({Tga(), dir.File("out.h"), "--Verbose", "-verbose", "--rle=1", "--verbose"});
    EXPECT_EQ(result.n_exit_status, 0);
    EXPECT_EQ(result.err, "warning: unknown parameter: '--Verbose' (skipping)\n"
                          "warning: unknown parameter: '-verbose' (skipping)\n"
                          "warning: unknown parameter: '--rle=1' (skipping)\n");
    EXPECT_EQ(result.out, "loading image in TGA format ...\nwriting image data ... ok\n");
}

TEST_F(DriverTest, TheLaterOfGrayAndRgbWins)
{
    EXPECT_EQ(RunTarnwick({Tga(), dir.File("a.h"), "--gray", "--rgb"}).n_exit_status, 0);
    EXPECT_NE(test::ReadFileText(dir.File("a.h")).find("unsigned __int32 p_"), std::string::npos);
    EXPECT_EQ(RunTarnwick({Tga(), dir.File("b.h"), "--rgb", "--gray"}).n_exit_status, 0);
    EXPECT_NE(test::ReadFileText(dir.File("b.h")).find("unsigned char p_"), std::string::npos);
    // A gray source without --gray still gives 32-bit values.
    EXPECT_EQ(RunTarnwick({GrayTga(), dir.File("c.h")}).n_exit_status, 0);
    const std::string header = test::ReadFileText(dir.File("c.h"));
    EXPECT_NE(header.find("unsigned __int32 p_"), std::string::npos);
    EXPECT_NE(header.find("\t0xff"), std::string::npos);
}

TEST_F(DriverTest, ExtensionChoosesTheLoader)
{
    // TGA content under JPEG names goes to the JPEG decoder alone, which refuses it.
    for(const char *p_name : {"PHOTO.JPG", "photo.Jpeg"}) {
        const std::string path = Place(Tga(), p_name);
        const test::RunResult result = RunTarnwick({path, dir.File("out.h"), "--verbose"});
        EXPECT_EQ(result.n_exit_status, kFailure) << p_name;
        EXPECT_EQ(result.out, "loading image in JPEG format ...\n");
        EXPECT_EQ(result.err, "error: error loading image file '" + path +
                                  "'\nerror: not a JPEG file (no start-of-image marker)\n");
    }
    // Other extensions, a dot only in a folder name, or none: TGA first.
    for(const char *p_name : {"photo.jpe", "photo", "dir.old/photo", "photo.TGA.bin"}) {
        const std::string path = Place(Tga(), p_name);
        const test::RunResult result = RunTarnwick({path, dir.File("out.h"), "--verbose"});
        EXPECT_EQ(result.n_exit_status, 0) << p_name;
        EXPECT_EQ(result.out, "attempting to load image in TGA format ...\nwriting image data ... ok\n");
    }
    // A JPEG under another name converts after the TGA reader refuses it.
    const std::string bin = Place(Jpeg(), "photo.bin");
    const test::RunResult fallback = RunTarnwick({bin, dir.File("out.h"), "--verbose"});
    EXPECT_EQ(fallback.n_exit_status, 0);
    EXPECT_EQ(fallback.out, "attempting to load image in TGA format ...\n"
                            "attempting to load image in JPEG format ...\n"
                            "writing image data ... ok\n");
    EXPECT_NE(test::ReadFileText(dir.File("out.h")).find("_photo_bin_width = 64;\n"), std::string::npos);

    // JPEG content under a ".tga" name is never given to the JPEG decoder.
    const std::string path = Place(Jpeg(), "photo.tga");
    const test::RunResult result = RunTarnwick({path, dir.File("out.h")});
    EXPECT_EQ(result.n_exit_status, kFailure);
    EXPECT_EQ(result.err, "error: error loading image file '" + path + "'\n");
}

// ".png" in any letter case goes to the PNG loader alone; other names reach
// it after TGA and JPEG, and a PNG file's cause wins over the TGA reader's.
// A build without libpng says so.
TEST_F(DriverTest, PngFilesByNameAndByFallback)
{
    const bool b_png = tarnwick::b_IsPngSupportBuiltIn();
    const std::string png = test::Fixture("png/im_rgb8.png");
    const std::string not_built_in = b_png ? "" : "error: PNG support was not built in\n";
    for(const char *p_name : {"ICON.PNG", "icon.Png"}) {
        const std::string path = Place(png, p_name);
        const test::RunResult result = RunTarnwick({path, dir.File("out.h"), "--verbose"});
        EXPECT_EQ(result.n_exit_status, b_png ? 0 : kFailure) << p_name;
        EXPECT_EQ(result.out, b_png ? "loading image in PNG format ...\nwriting image data ... ok\n"
                                    : "loading image in PNG format ...\n");
        EXPECT_EQ(result.err, b_png ? "" : "error: error loading image file '" + path + "'\n" + not_built_in);
    }

    const std::string bin = Place(png, "icon.bin");
    test::RunResult result = RunTarnwick({bin, dir.File("out.h"), "--verbose"});
    EXPECT_EQ(result.n_exit_status, b_png ? 0 : kFailure);
    EXPECT_EQ(result.out, std::string("attempting to load image in TGA format ...\n"
                                      "attempting to load image in JPEG format ...\n"
                                      "attempting to load image in PNG format ...\n") +
                              (b_png ? "writing image data ... ok\n"
                                     : "attempting to load image in BMP format ...\n"
                                       "attempting to load image in GIF format ...\n"
                                       "attempting to load image in WebP format ...\n"));
    if(b_png)
        EXPECT_NE(test::ReadFileText(dir.File("out.h")).find("_icon_bin_width = 13;\n"), std::string::npos);
    else
        EXPECT_EQ(result.err, "error: error loading image file '" + bin + "'\n" + not_built_in);

    // TGA content under a ".png" name is not tried as anything else.
    const std::string tga = Place(Tga(), "photo.png");
    result = RunTarnwick({tga, dir.File("out.h"), "--verbose"});
    EXPECT_EQ(result.n_exit_status, kFailure);
    EXPECT_EQ(result.err, "error: error loading image file '" + tga + "'\nerror: not a PNG file (no PNG signature)\n");

    // A cut PNG file without extension: the PNG loader found its signature.
    const test::Bytes bytes = test::ReadFileBytes(png);
    const std::string cut = dir.File("cut");
    ASSERT_TRUE(test::WriteFileBytes(cut, test::Bytes(bytes.begin(), bytes.begin() + 200)));
    result = RunTarnwick({cut, dir.File("out.h"), "--verbose"});
    EXPECT_EQ(result.n_exit_status, kFailure);
    EXPECT_EQ(result.err, "error: error loading image file '" + cut + "'\n" +
                              (b_png ? "error: the file ends before the picture does\n" : not_built_in));
}

// ".bmp" and ".dib" in any letter case go to the BMP reader alone; other
// names reach it last, after TGA, JPEG and PNG, and a BMP file's cause wins
// over the TGA reader's.
TEST_F(DriverTest, BmpFilesByNameAndByFallback)
{
    const std::string bmp = test::Fixture("bmp/im3_pal8.bmp");
    for(const char *p_name : {"LOGO.BMP", "logo.Dib", "logo.dib"}) {
        const std::string path = Place(bmp, p_name);
        const test::RunResult result = RunTarnwick({path, dir.File("out.h"), "--verbose"});
        EXPECT_EQ(result.n_exit_status, 0) << p_name;
        EXPECT_EQ(result.out, "loading image in BMP format ...\nwriting image data ... ok\n");
        EXPECT_EQ(result.err, "");
    }
    const std::string bin = Place(bmp, "logo.bin");
    test::RunResult result = RunTarnwick({bin, dir.File("out.h"), "--verbose"});
    EXPECT_EQ(result.n_exit_status, 0);
    EXPECT_EQ(result.out, "attempting to load image in TGA format ...\n"
                          "attempting to load image in JPEG format ...\n"
                          "attempting to load image in PNG format ...\n"
                          "attempting to load image in BMP format ...\n"
                          "writing image data ... ok\n");
    EXPECT_NE(test::ReadFileText(dir.File("out.h")).find("_logo_bin_width = 13;\n"), std::string::npos);

    // TGA content under a ".bmp" name is not tried as anything else.
    const std::string tga = Place(Tga(), "photo.bmp");
    result = RunTarnwick({tga, dir.File("out.h"), "--verbose"});
    EXPECT_EQ(result.n_exit_status, kFailure);
    EXPECT_EQ(result.err, "error: error loading image file '" + tga + "'\nerror: not a BMP file (no BMP signature)\n");

    // A BMP file of CMYK pixels, and a cut one, without extension: the BMP
    // reader found its signature.
    const test::Bytes bytes = test::ReadFileBytes(bmp);
    test::Bytes cmyk = bytes;
    cmyk[30] = 11;
    result = RunTarnwick({Write("cmyk", cmyk), dir.File("out.h"), "--verbose"});
    EXPECT_EQ(result.err, "error: error loading image file '" + dir.File("cmyk") + "'\nerror: CMYK BMP is not supported\n");
    const std::string cut = Write("cut", test::Bytes(bytes.begin(), bytes.begin() + 100));
    result = RunTarnwick({cut, dir.File("out.h"), "--verbose"});
    EXPECT_EQ(result.n_exit_status, kFailure);
    EXPECT_EQ(result.err, "error: error loading image file '" + cut + "'\nerror: the file ends before the picture does\n");
}

TEST_F(DriverTest, MissingInputIsALoadErrorOnEveryPath)
{
    for(const char *p_name : {"missing.tga", "missing.jpg", "missing.png", "missing.bmp", "missing"}) {
        const std::string path = dir.File(p_name);
        const test::RunResult result = RunTarnwick({path, dir.File("out.h")});
        EXPECT_EQ(result.n_exit_status, kFailure) << p_name;
        EXPECT_EQ(result.err, "error: error loading image file '" + path + "'\n");
        EXPECT_FALSE(test::FileExists(dir.File("out.h")));
    }
}

// The offset of the first byte after the first marker 0xFF n_code of a JPEG
// file (its segment's length field); 0 when there is none.
size_t n_SegmentAt(const test::Bytes &jpeg, uint8_t n_code)
{
    for(size_t i = 2; i + 1 < jpeg.size(); ++i)
        if(jpeg[i] == 0xFF && jpeg[i + 1] == n_code)
            return i + 2;
    return 0;
}

// The bytes with those at n_offset replaced.
test::Bytes Patched(test::Bytes bytes, size_t n_offset, const test::Bytes &replacement)
{
    for(size_t i = 0; i < replacement.size() && n_offset + i < bytes.size(); ++i)
        bytes[n_offset + i] = replacement[i];
    return bytes;
}

// With --verbose a failed load names its cause on one more line; through the
// fallback the cause comes from the reader that found its signature, else
// from the TGA reader. Files that break their format in ways a decoder could
// overlook are refused, never turned into a wrong picture or an empty array.
TEST_F(DriverTest, VerboseLoadErrorNamesTheCause)
{
    const test::Bytes tga = test::ReadFileBytes(Tga());
    const std::string truncated = dir.File("cut.tga");
    ASSERT_TRUE(test::WriteFileBytes(truncated, test::Bytes(tga.begin(), tga.begin() + 40)));
    const test::Bytes jpeg = test::ReadFileBytes(Jpeg());
    const size_t n_sof = n_SegmentAt(jpeg, 0xC0);
    ASSERT_TRUE(n_sof && jpeg[n_sof + 7] == 3);
    // An 8 x 8 gray picture whose Huffman tables each claim three 1-bit
    // codes: its one block of zero bits would decode, to a wrong picture.
    test::Bytes overfilled = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    overfilled.resize(overfilled.size() + 64, 0x01);
    for(uint8_t n_class : {0x00, 0x10}) {
        const test::Bytes dht = {0xFF, 0xC4, 0x00, 0x16, n_class, 3, 0, 0, 0, 0, 0, 0, 0,
                                 0,    0,    0,    0,    0,       0, 0, 0, 0, 0, 0};
        overfilled.insert(overfilled.end(), dht.begin(), dht.end());
    }
    const test::Bytes frame_and_scan = {0xFF, 0xC0, 0x00, 0x0B, 8,    0, 8, 0, 8, 1, 1, 0x11, 0,    0xFF, 0xDA,
                                        0x00, 0x08, 1,    1,    0x00, 0, 63, 0, 0x00, 0xFF, 0xD9};
    overfilled.insert(overfilled.end(), frame_and_scan.begin(), frame_and_scan.end());
    // Y sampled 3 x 1 and Cb 2 x 1: chroma samples would stand for 1.5 pixels.
    const test::Bytes fractional = Patched(jpeg, n_sof + 9, {0x31, 0, 0, 0x21});
    const test::Bytes zero_width = Patched(tga, 12, {0, 0});
    // A Windows bitmap (V5 header, 2 x 2, 24-bit, 154 bytes) seen as a TGA:
    // its data offset gives a width of 0 and its header size a height of 124.
    // Through the fallback the BMP reader then loads it (all its pixels gray).
    test::Bytes bitmap = {'B', 'M', 154, 0, 0, 0, 0, 0, 0, 0, 138, 0, 0, 0, 124, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24,
                          0,   0,   0, 0, 0};
    bitmap.resize(154, 0x80);
    const std::string picture = Write("picture", bitmap);
    const test::RunResult converted = RunTarnwick({picture, dir.File("out.h"), "--verbose"});
    EXPECT_EQ(converted.n_exit_status, 0);
    EXPECT_EQ(converted.out, "attempting to load image in TGA format ...\n"
                             "attempting to load image in JPEG format ...\n"
                             "attempting to load image in PNG format ...\n"
                             "attempting to load image in BMP format ...\n"
                             "writing image data ... ok\n");
    EXPECT_NE(test::ReadFileText(dir.File("out.h")).find("0xff808080, 0xff808080, 0xff808080, 0xff808080\n"),
              std::string::npos);
    EXPECT_EQ(RunTarnwick({Write("zero_width.tga", bitmap), dir.File("out.h"), "--verbose"}).err,
              "error: error loading image file '" + dir.File("zero_width.tga") +
                  "'\nerror: the picture has no pixels (its width or height is 0)\n");
    const struct {
        std::string path;
        const char *p_cause;
    } cases[] = {
        {Write("overfilled.jpg", overfilled), "the file's data is corrupt"},
        {Write("fractional", fractional),
         "JPEG sampling factors that are not whole multiples of each other (fractional sampling) are not supported"},
        {Write("zero.tga", zero_width), "the picture has no pixels (its width or height is 0)"},
        {Place(test::Fixture("cjpeg_arithmetic.jpg"), "arith.jpg"), "arithmetic-coded JPEG is not supported"},
        {Place(test::Fixture("cjpeg_arithmetic.jpg"), "arith"), "arithmetic-coded JPEG is not supported"},
        {truncated, "the file ends before the picture does"},
        {Place(truncated, "cut"), "the file ends before the picture does"},
        {dir.File("missing.jpg"), "the file cannot be opened"},
        {dir.File("missing"), "the file cannot be opened"},
    };
    for(const auto &c : cases) {
        const std::string expected_error = "error: error loading image file '" + c.path + "'\n";
        test::RunResult result = RunTarnwick({c.path, dir.File("out.h"), "--verbose"});
        EXPECT_EQ(result.n_exit_status, kFailure) << c.path;
        EXPECT_EQ(result.err, expected_error + "error: " + c.p_cause + "\n") << c.path;
        result = RunTarnwick({c.path, dir.File("out.h")});
        EXPECT_EQ(result.err, expected_error) << "without --verbose the cause stays unsaid: " << c.path;
    }
}

#ifndef _WIN32
// A picture that is not a regular file (a FIFO here; a pipe, /dev/stdin or
// <(...) alike) is read once and loads exactly as the same bytes from a
// file: the same header and the same progress lines, by extension and
// through the fallback, where every loader tried reads the same bytes.
TEST_F(DriverTest, PictureFromAFifoGivesTheSameHeaderAsTheFile)
{
    ASSERT_EQ(::mkdir(dir.File("file").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.File("fifo").c_str(), 0755), 0);
    const struct {
        std::string source;
        const char *p_name;
    } cases[] = {
        {Jpeg(), "sample.jpg"}, {Jpeg(), "sample"}, {Tga(), "picture"}, {test::Fixture("png/pil_pal4.png"), "palette"},
        {test::Fixture("bmp/gimp_pal4_rle.bmp"), "icon.bmp"}, {test::Fixture("bmp/im_v5_argb4444.bmp"), "bitmap"},
    };
    for(const auto &c : cases) {
        if(c.source.find(".png") != std::string::npos && !tarnwick::b_IsPngSupportBuiltIn())
            continue;
        ASSERT_TRUE(test::CopyFile(c.source, dir.File("file/") + c.p_name));
        for(const std::string switches : {"", " --rle --gray"}) {
            const std::string label = c.p_name + switches;
            const std::string fifo = dir.File("fifo/") + c.p_name;
            ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
            const std::string run =
                " " + test::TarnwickCommand() + " " + c.p_name + " out.h --verbose" + switches + " >stdout.txt";
            EXPECT_EQ(test::Shell("cd '" + dir.File("file") + "' &&" + run), 0) << label;
            EXPECT_EQ(test::Shell("cd '" + dir.File("fifo") + "' && " + test::FeedFifoInBackground(c.source, c.p_name) +
                                  " &&" + run),
                      0)
                << label;
            EXPECT_EQ(test::ReadFileBytes(dir.File("fifo/out.h")), test::ReadFileBytes(dir.File("file/out.h"))) << label;
            EXPECT_EQ(test::ReadFileText(dir.File("fifo/stdout.txt")), test::ReadFileText(dir.File("file/stdout.txt")))
                << label;
            std::remove(fifo.c_str());
        }
    }
}
#endif

TEST_F(DriverTest, UnwritableHeaderIsAWriteError)
{
    const std::string missing_dir = dir.File("no/such/dir/out.h");
    test::RunResult result = RunTarnwick({Tga(), missing_dir});
    EXPECT_EQ(result.n_exit_status, kFailure);
    EXPECT_EQ(result.err, "\nerror: error writing header file '" + missing_dir + "'\n");
    EXPECT_EQ(result.out, "");

#ifndef _WIN32
    // A full device: the error follows the progress line, and the device stays.
    result = RunTarnwick({Tga(), "/dev/full", "--verbose"});
    EXPECT_EQ(result.n_exit_status, kFailure);
    EXPECT_EQ(result.out, "loading image in TGA format ...\nwriting image data ...");
    EXPECT_EQ(result.err, "\nerror: error writing header file '/dev/full'\n");
    struct stat info;
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
#endif // (Windows has no full device)
}

} // namespace
