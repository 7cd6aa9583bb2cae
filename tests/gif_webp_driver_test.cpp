// The command line with GIF and WebP pictures: the loader chosen by ".gif"
// and ".webp" and by the fallback after PNG, the causes, and --frame=N.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "gif_loader.h"
#include "test_support.h"
#include "webp_loader.h"

namespace {

using test::RunTarnwick;

const int kFailure = 255; // the program's -1 as the shell sees it

class GifWebpDriverTest : public ::testing::Test {
protected:
    std::string Place(const std::string &fixture, const std::string &name)
    {
        const std::string path = dir.File(name);
        EXPECT_TRUE(test::CopyFile(test::Fixture(fixture), path));
        return path;
    }
    // The header that a run with these switches writes, or "" when it fails.
    std::string Header(const std::string &image, const std::vector<std::string> &switches)
    {
        std::vector<std::string> args = {image, dir.File("out.h")};
        args.insert(args.end(), switches.begin(), switches.end());
        std::remove(dir.File("out.h").c_str());
        return RunTarnwick(args).n_exit_status == 0 ? test::ReadFileText(dir.File("out.h")) : "";
    }

    test::TempDir dir;
    const bool b_gif = tarnwick::b_IsGifSupportBuiltIn();
    const bool b_webp = tarnwick::b_IsWebpSupportBuiltIn();
};

// ".gif" and ".webp" in any letter case choose their loader alone; other
// names reach them after TGA, JPEG and PNG, GIF before WebP; their causes
// win over the TGA reader's when the signature was found.
TEST_F(GifWebpDriverTest, ByNameAndByFallback)
{
    const struct {
        const char *p_fixture;
        const char *p_name;
        bool b_built_in;
        const char *p_progress;
    } cases[] = {
        {"gif/im_still.gif", "ANIM.GIF", b_gif, "loading image in GIF format ...\n"},
        {"gif/im_still.gif", "anim.Gif", b_gif, "loading image in GIF format ...\n"},
        {"webp/cwebp_lossy_q50.webp", "photo.WebP", b_webp, "loading image in WebP format ...\n"},
        {"gif/im_still.gif", "anim.bin", b_gif,
         "attempting to load image in TGA format ...\nattempting to load image in JPEG format ...\n"
         "attempting to load image in PNG format ...\nattempting to load image in BMP format ...\n"
         "attempting to load image in GIF format ...\n"},
        {"webp/cwebp_lossy_q50.webp", "photo", b_webp,
         "attempting to load image in TGA format ...\nattempting to load image in JPEG format ...\n"
         "attempting to load image in PNG format ...\nattempting to load image in BMP format ...\n"
         "attempting to load image in GIF format ...\n"
         "attempting to load image in WebP format ...\n"},
    };
    for(const auto &c : cases) {
        const std::string path = Place(c.p_fixture, c.p_name);
        const test::RunResult result = RunTarnwick({path, dir.File("out.h"), "--verbose"});
        EXPECT_EQ(result.n_exit_status, c.b_built_in ? 0 : kFailure) << c.p_name;
        // Refused through the fallback, the file is tried by every loader.
        const bool b_fallback = std::string(c.p_progress).find("attempting") == 0;
        const std::string refused_progress =
            b_fallback ? std::string(cases[4].p_progress) : std::string(c.p_progress);
        EXPECT_EQ(result.out, c.b_built_in ? std::string(c.p_progress) + "writing image data ... ok\n" : refused_progress)
            << c.p_name;
        const std::string cause = std::string(c.p_fixture).rfind("gif", 0) == 0 ? "GIF" : "WebP";
        EXPECT_EQ(result.err, c.b_built_in ? ""
                                           : "error: error loading image file '" + path + "'\nerror: " + cause +
                                                 " support was not built in\n")
            << c.p_name;
    }
    if(b_gif) {
        const std::string gif_header = Header(Place("gif/im_still.gif", "anim.bin"), {});
        EXPECT_NE(gif_header.find("_anim_bin_width = 24;\n"), std::string::npos);
    }

    // Other content under these names is not tried as anything else; a cut
    // file without extension is refused with the cause of the loader that
    // found its signature.
    const test::Bytes gif = test::ReadFileBytes(test::Fixture("gif/im_still.gif"));
    const test::Bytes webp = test::ReadFileBytes(test::Fixture("webp/cwebp_lossy_q50.webp"));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("cut_gif"), test::Bytes(gif.begin(), gif.begin() + 100)));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("cut_webp"), test::Bytes(webp.begin(), webp.begin() + 100)));
    const struct {
        std::string path;
        const char *p_cause;
    } refusals[] = {
        {Place("tga/pil_rgb24_top.tga", "picture.gif"), "not a GIF file (no GIF87a or GIF89a signature)"},
        {Place("tga/pil_rgb24_top.tga", "picture.webp"), "not a WebP file (no RIFF WEBP signature)"},
        {dir.File("cut_gif"), b_gif ? "the file ends before the picture does" : "GIF support was not built in"},
        {dir.File("cut_webp"), b_webp ? "the file ends before the picture does" : "WebP support was not built in"},
    };
    for(const auto &c : refusals) {
        const test::RunResult result = RunTarnwick({c.path, dir.File("out.h"), "--verbose"});
        EXPECT_EQ(result.n_exit_status, kFailure) << c.path;
        EXPECT_EQ(result.err, "error: error loading image file '" + c.path + "'\nerror: " + c.p_cause + "\n");
    }
}

// --frame=N: digits only, the last one given wins; a malformed value stops
// the run before the picture is looked at or the header written.
TEST_F(GifWebpDriverTest, FrameSwitchValues)
{
    const std::string missing = dir.File("missing.gif");
    for(const char *p_arg : {"--frame=", "--frame=-1", "--frame=+1", "--frame=1x", "--frame= 1", "--frame=0x10",
                             "--frame=1.5", "--frame=4294967296", "--frame=99999999999999999999"}) {
        const test::RunResult result = RunTarnwick({missing, dir.File("out.h"), "--verbose", p_arg, "--rle"});
        EXPECT_EQ(result.n_exit_status, kFailure) << p_arg;
        EXPECT_EQ(result.err,
                  std::string("error: '") + p_arg + "': the frame must be a whole number from 0 to 4294967295\n");
        EXPECT_EQ(result.out, "") << p_arg;
        EXPECT_FALSE(test::FileExists(dir.File("out.h"))) << p_arg;
    }
    // Without "=" it lacks its value, as every valued switch would.
    const test::RunResult bare = RunTarnwick({missing, dir.File("out.h"), "--frame", "1"});
    EXPECT_EQ(bare.err, "error: '--frame': the switch needs a value: name=value\n");

    if(!b_gif)
        GTEST_SKIP() << "GIF support was not built in";
    const std::string gif = Place("gif/pil_disc_disposal2.gif", "disc.gif");
    const std::string frame_2 = Header(gif, {"--frame=2"});
    ASSERT_NE(frame_2, "");
    EXPECT_NE(frame_2, Header(gif, {}));
    EXPECT_EQ(Header(gif, {"--frame=9", "--frame=2"}), frame_2);
    EXPECT_EQ(Header(gif, {"--frame=0002"}), frame_2);
    EXPECT_EQ(Header(gif, {"--frame=0"}), Header(gif, {}));
    for(const char *p_arg : {"--frame=5", "--frame=4294967295"}) {
        const test::RunResult past = RunTarnwick({gif, dir.File("out.h"), "--verbose", p_arg});
        EXPECT_EQ(past.n_exit_status, kFailure);
        EXPECT_EQ(past.err, "error: error loading image file '" + gif +
                                "'\nerror: the file has no frame of that number (frames count from 0)\n");
    }
}

// Other formats ignore the frame number, but an animated WebP file gives
// only its first frame.
TEST_F(GifWebpDriverTest, FrameOfOtherFormats)
{
    for(const char *p_fixture : {"tga/pil_rgb24_top.tga", "jpeg/cjpeg_420.jpg", "webp/cwebp_lossless_alpha.webp"}) {
        const std::string name = std::string("picture") + std::strrchr(p_fixture, '.');
        const std::string path = Place(p_fixture, name);
        EXPECT_EQ(Header(path, {"--frame=3"}), Header(path, {})) << p_fixture;
    }
    if(!b_webp)
        GTEST_SKIP() << "WebP support was not built in";
    const std::string animation = Place("webp/img2webp_mixed.webp", "animation.webp");
    EXPECT_NE(Header(animation, {"--frame=0"}), "");
    const test::RunResult later = RunTarnwick({animation, dir.File("out.h"), "--verbose", "--frame=1"});
    EXPECT_EQ(later.n_exit_status, kFailure);
    EXPECT_EQ(later.err, "error: error loading image file '" + animation +
                             "'\nerror: only the first frame of an animated WebP file can be read\n");
}

#ifndef _WIN32
// A frame of a GIF read from a FIFO (a pipe's picture is read whole first)
// gives the same header as from the file.
TEST_F(GifWebpDriverTest, FrameFromAFifo)
{
    if(!b_gif)
        GTEST_SKIP() << "GIF support was not built in";
    ASSERT_EQ(::mkdir(dir.File("file").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.File("fifo").c_str(), 0755), 0);
    const std::string source = test::Fixture("gif/gifsicle_disposal_previous.gif");
    ASSERT_TRUE(test::CopyFile(source, dir.File("file/anim.gif")));
    ASSERT_EQ(::mkfifo(dir.File("fifo/anim.gif").c_str(), 0644), 0);
    const std::string run = " " + test::TarnwickCommand() + " anim.gif out.h --frame=3 --rle";
    EXPECT_EQ(test::Shell("cd '" + dir.File("file") + "' &&" + run), 0);
    EXPECT_EQ(test::Shell("cd '" + dir.File("fifo") + "' && " + test::FeedFifoInBackground(source, "anim.gif") +
                          " &&" + run),
              0);
    const std::string header = test::ReadFileText(dir.File("file/out.h"));
    EXPECT_NE(header, "");
    EXPECT_EQ(test::ReadFileText(dir.File("fifo/out.h")), header);
}
#endif

} // namespace
