#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#ifndef _WIN32 // a full device, and a child process with a file size limit
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "header_text.h"
#include "header_writer.h"
#include "test_support.h"

namespace {

using namespace tarnwick;
using test::ArrayName;
using test::GuardName;
using test::HeaderSwitches;
using test::HeaderText;
using test::Pixels;


TEST(HeaderWriter, WritesTheDotExampleByteForByte)
{
    std::string text = HeaderText({0xff0000ff, 0xff00ff00, 0xffff0000}, 3, 1, {}, "dot.tga", "dot.h");
    EXPECT_EQ(text, "/*\n"
                    " *\timage header file\n"
                    " *\tcreated from 'dot.tga'\n"
                    " */\n"
                    "\n"
                    "#ifndef __DOT_H_INCLUDED\n"
                    "#define __DOT_H_INCLUDED\n"
                    "\n"
                    "const unsigned __int32 p_dot_tga[] = {\n"
                    "\t0xff0000ff, 0xff00ff00, 0xffff0000\n"
                    "};\n"
                    "\n"
                    "const unsigned int n_dot_tga_width = 3;\n"
                    "const unsigned int n_dot_tga_height = 1;\n"
                    "\n"
                    "#endif //__DOT_H_INCLUDED\n");
}

TEST(HeaderWriter, GuardNameUpperCasesLettersAndTurnsEveryOtherByteIntoUnderscore)
{
    EXPECT_EQ(GuardName("logo.h"), "__LOGO_H_INCLUDED");
    EXPECT_EQ(GuardName("out/my logo.h"), "__OUT_MY_LOGO_H_INCLUDED");
    EXPECT_EQ(GuardName("../a.h"), "_____A_H_INCLUDED");
    EXPECT_EQ(GuardName("C:\\Art\\Logo_2.H"), "__C__ART_LOGO_2_H_INCLUDED");
    EXPECT_EQ(GuardName("caf\xc3\xa9.h"), "__CAF___H_INCLUDED");
    EXPECT_EQ(GuardName(""), "___INCLUDED");
}

TEST(HeaderWriter, GuardNameTakesOnly238CharactersOfALongPath)
{
    std::string path(230, 'a');
    path += "bcdefghijklmnopqrstuvwxyz"; // 255 characters in all
    path += std::string(45, 'z');        // 300
    std::string guard = GuardName(path);
    ASSERT_EQ(guard.size(), 249u);
    EXPECT_EQ(guard, "__" + std::string(230, 'A') + "BCDEFGHI" + "_INCLUDED");
    EXPECT_EQ(GuardName(std::string(237, 'q')), "__" + std::string(237, 'Q') + "_INCLUDED");
}

TEST(HeaderWriter, ArrayNameLowerCasesAndCollapsesRunsOfOtherBytes)
{
    EXPECT_EQ(ArrayName("logo.tga"), "logo_tga");
    EXPECT_EQ(ArrayName("./art/Logo-2.TGA"), "_art_logo_2_tga");
    EXPECT_EQ(ArrayName("C:\\art\\logo.tga"), "c_art_logo_tga");
    EXPECT_EQ(ArrayName("a__b.jpg"), "a_b_jpg");
    EXPECT_EQ(ArrayName("logo.tga."), "logo_tga_");
    EXPECT_EQ(ArrayName("\xc3\xa9t\xc3\xa9.tga"), "_t_tga");
    EXPECT_EQ(ArrayName(""), "");
}

TEST(HeaderWriter, ArrayNameLooksAt256CharactersAndKeepsAtMost255)
{
    EXPECT_EQ(ArrayName(std::string(300, 'A')), std::string(255, 'a'));
    // The 256th character would add a '_', the 257th is never looked at.
    EXPECT_EQ(ArrayName(std::string(255, 'b') + ".x"), std::string(255, 'b'));
    // Collapsed runs leave room for characters further on, up to the 256th.
    EXPECT_EQ(ArrayName(std::string(10, '/') + std::string(246, 'c') + "dd"), "_" + std::string(246, 'c'));
}

TEST(HeaderWriter, PutsSeven32BitOrFourteen8BitItemsOnALine)
{
    HeaderSwitches gray;
    gray.b_gray = true;
    EXPECT_NE(HeaderText(Pixels(7, 1), 7, 1, {}, "a", "a.h")
                  .find("{\n\t0x00000001, 0x00000001, 0x00000001, 0x00000001, 0x00000001, 0x00000001, 0x00000001\n};\n"),
              std::string::npos);
    EXPECT_NE(HeaderText(Pixels(8, 2), 4, 2, {}, "a", "a.h")
                  .find("0x00000002, 0x00000002,\n\t0x00000002\n};\n"),
              std::string::npos);
    std::string line14 = "\t0x4c";
    for(int i = 1; i < 14; ++i)
        line14 += ", 0x4c";
    EXPECT_NE(HeaderText(Pixels(14, 0x4c), 14, 1, gray, "a", "a.h")
                  .find("const unsigned char p_a[] = {\n" + line14 + "\n};\n"),
              std::string::npos);
    EXPECT_NE(HeaderText(Pixels(15, 0x4c), 5, 3, gray, "a", "a.h").find(line14 + ",\n\t0x4c\n};\n"),
              std::string::npos);
}

TEST(HeaderWriter, EmptyImageGivesAnArrayWithoutItems)
{
    std::string text = HeaderText({}, 0, 5, {}, "e.tga", "e.h");
    EXPECT_NE(text.find("p_e_tga[] = {\n\t};\n\nconst unsigned int n_e_tga_width = 0;\n"
                        "const unsigned int n_e_tga_height = 5;\n\n#endif //__E_H_INCLUDED\n"),
              std::string::npos);
}

TEST(HeaderWriter, ItemsSpanningManyOutputChunksStayInOrder)
{
    Pixels pixels(50000);
    for(size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(i * 2654435761u);
    std::string text = HeaderText(pixels, 250, 200, {}, "big", "big.h");
    size_t n_start = text.find("{\n\t") + 3;
    EXPECT_EQ(text.substr(n_start, text.find("};") - n_start), test::ReferenceItemText(pixels, false));

    // Items of every width from 2 to 8 digits shift where each chunk ends.
    for(size_t i = 0; i < pixels.size(); ++i)
        pixels[i] >>= i % 29;
    EXPECT_EQ(test::PlainItemText(pixels, true), test::ReferenceItemText(pixels, true));
}

TEST(HeaderWriter, GrayKindWritesCharAndTwoDigits)
{
    HeaderSwitches gray;
    gray.b_gray = true;
    std::string text = HeaderText({0x4c, 0x00, 0xff}, 3, 1, gray, "g.tga", "g.h");
    EXPECT_NE(text.find("const unsigned char p_g_tga[] = {\n\t0x4c, 0x00, 0xff\n};\n"), std::string::npos);
    EXPECT_EQ(text.find("__int32"), std::string::npos);
}

TEST(HeaderWriter, CommentKeepsOrdinaryPathsAndDefusesCommentEndsAndControlBytes)
{
    EXPECT_NE(HeaderText({1}, 1, 1, {}, "C:\\art\\my logo.tga", "a.h").find(" *\tcreated from 'C:\\art\\my logo.tga'\n */\n"),
              std::string::npos);
    EXPECT_NE(HeaderText({1}, 1, 1, {}, "caf\xc3\xa9 /* x */.tga", "a.h")
                  .find(" *\tcreated from 'caf\xc3\xa9 /* x * /.tga'\n */\n"),
              std::string::npos);

    std::string text = HeaderText({1}, 1, 1, {}, "a*/\n#error injected\n/*b**/\t\x1f\x7f.tga", "a.h");
    EXPECT_NE(text.find(" *\tcreated from 'a* /?#error injected?/*b** /??\x7f.tga'\n */\n"), std::string::npos);
    EXPECT_EQ(text.find("\n#error"), std::string::npos);
    // The names are still made from the path as given.
    EXPECT_NE(text.find("p_a_error_injected_b_tga[]"), std::string::npos);
}

TEST(HeaderWriter, DecoderTextFollowsAPlainArrayWhenAskedFor)
{
    HeaderSwitches decoder;
    decoder.b_rle_decoder = true;
    std::string text = HeaderText({1, 2}, 2, 1, decoder, "d", "d.h");
    EXPECT_NE(text.find("\t0x00000001, 0x00000002\n};\n\nconst unsigned int n_d_width = 2;\n"
                        "const unsigned int n_d_height = 1;\n\nunsigned __int32 *p_DecompressRLEImage("),
              std::string::npos);
    const std::string ending = "\treturn p_buffer;\n};\n\n#endif //__D_H_INCLUDED\n";
    ASSERT_GT(text.size(), ending.size());
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
}

TEST(HeaderWriter, RefusesAnImageThatBreaksTheRecordsPromises)
{
    test::TempDir dir;
    std::string path = dir.File("x.h");
    EXPECT_FALSE(test::WriteHeader({}, 2, 2, {}, "x", path)); // pixels missing
    EXPECT_FALSE(test::WriteHeader({}, -1, 0, {}, "x", path));
    EXPECT_FALSE(test::FileExists(path));
}

// --- write failures -------------------------------------------------------

TEST(HeaderWriterFailure, DevFullGivesFalseAndStaysACharacterDevice)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no full device";
#else
    struct stat info;
    ASSERT_EQ(stat("/dev/full", &info), 0);
    ASSERT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_FALSE(test::WriteHeader({1, 2, 3}, 3, 1, {}, "x.tga", "/dev/full"));
    HeaderSwitches all;
    all.b_rle = all.b_rle_decoder = all.b_gray = true;
    EXPECT_FALSE(test::WriteHeader(Pixels(100000, 9), 1000, 100, all, "x.tga", "/dev/full"));
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
#endif
}

TEST(HeaderWriterFailure, MissingFolderGivesFalseAndCreatesNothing)
{
    test::TempDir dir;
    EXPECT_FALSE(test::WriteHeader({1}, 1, 1, {}, "x.tga", dir.File("missing/x.h")));
    EXPECT_FALSE(test::FileExists(dir.File("missing")));
    EXPECT_FALSE(test::WriteHeader({1}, 1, 1, {}, "x.tga", ""));
}

#ifndef _WIN32
// Writes a header of n_pixels pixels in a child process whose files may not
// grow beyond n_file_limit bytes (with SIGXFSZ ignored, such writes fail with
// EFBIG). Returns the writer's result as the child saw it.
bool WriteWithFileSizeLimit(size_t n_pixels, rlim_t n_file_limit, const std::string &header_path)
{
    pid_t pid = fork();
    if(pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {n_file_limit, n_file_limit};
        if(setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(2);
        Pixels pixels(n_pixels, 0xff123456);
        _exit(test::WriteHeader(pixels, int(n_pixels), 1, {}, "x.tga", header_path) ? 0 : 1);
    }
    int n_status = 0;
    if(pid < 0 || waitpid(pid, &n_status, 0) != pid || !WIFEXITED(n_status))
        return true;
    EXPECT_NE(WEXITSTATUS(n_status), 2) << "setrlimit failed";
    return WEXITSTATUS(n_status) == 0;
}
#endif

// A write that fails leaves nothing of itself: no new header, an existing
// one as it was, and no temporary file.
TEST(HeaderWriterFailure, FailedWriteLeavesNothingAndTheOldHeaderStays)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit (setrlimit) to make writes fail";
#else
    test::TempDir dir;
    std::string created = dir.File("created.h");
    std::string existing = dir.File("existing.h");
    ASSERT_TRUE(test::WriteFileText(existing, "an older header\n"));

    // Failing inside the items (well past the stream's buffer) and failing
    // only when the last buffered text is flushed.
    EXPECT_FALSE(WriteWithFileSizeLimit(100000, 5000, created));
    EXPECT_FALSE(test::FileExists(created));
    EXPECT_FALSE(WriteWithFileSizeLimit(20, 100, existing));
    EXPECT_EQ(test::ReadFileText(existing), "an older header\n");
    EXPECT_EQ(test::Shell("test -z \"$(ls -A '" + dir.path() + "' | grep -v -x -e created.h -e existing.h)\""), 0)
        << "a temporary file was left behind";

    // The same child writes fine with room to spare.
    EXPECT_TRUE(WriteWithFileSizeLimit(20, 100000, created));
    EXPECT_NE(test::ReadFileText(created).find("#endif //"), std::string::npos);
#endif
}

TEST(HeaderWriterFailure, LinkToAFileIsNotRemoved)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit (setrlimit) to make writes fail";
#else
    test::TempDir dir;
    std::string target = dir.File("target.h");
    std::string link = dir.File("link.h");
    ASSERT_TRUE(test::WriteFileText(target, "old\n"));
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_FALSE(WriteWithFileSizeLimit(20, 100, link));
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_TRUE(test::FileExists(target));
#endif
}

} // namespace
