// The header file's safety: a header path that names the image file itself
// never replaces the picture, and a header takes its path's place whole or
// not at all.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// The header path names the picture: refused with the write error and
// status -1 before anything is opened for writing, however the path reaches
// the file.
TEST(SameFile, HeaderPathNamingTheImageIsRefusedAndThePictureStays)
{
    const struct {
        const char *p_image;  // as typed, in the picture's folder
        const char *p_header;
        bool b_symlink;       // the header path is a symbolic link
    } cases[] = {
        {"logo.tga", "logo.tga", false},          // the same path
        {"logo.tga", "./logo.tga", false},        // a "./" prefix
        {"./logo.tga", "logo.tga", false},
        {"logo.tga", "symlink.h", true},          // a symbolic link to the picture
        {"logo.tga", "hardlink.h", false},        // a hard link to it
        {"logo.tga", "sub/../logo.tga", false},   // another path to it
        {"logo.tga", "sub/up.h", true},           // a symbolic link in another folder
    };
    const test::Bytes picture = test::ReadFileBytes(test::Fixture("tga/pil_rgba32_top.tga"));
    ASSERT_FALSE(picture.empty());
    // Windows makes symbolic links only with a privilege (and Wine not at
    // all): there the cases that need one are left out.
    bool b_symlinks = true;
    for(const auto &c : cases) {
        for(const std::vector<std::string> &switches : {std::vector<std::string>{}, {"--mono", "--rle"}}) {
            test::TempDir dir;
            ASSERT_TRUE(test::WriteFileBytes(dir.File("logo.tga"), picture));
            std::error_code error;
            ASSERT_TRUE(fs::create_directory(dir.File("sub"), error)) << error.message();
            fs::create_hard_link(dir.File("logo.tga"), dir.File("hardlink.h"), error);
            ASSERT_FALSE(error) << error.message();
            fs::create_symlink("logo.tga", dir.File("symlink.h"), error);
            if(!error)
                fs::create_symlink(fs::path("../logo.tga").make_preferred(), dir.File("sub/up.h"), error);
#ifdef _WIN32
            b_symlinks = !error;
#else
            ASSERT_FALSE(error) << error.message();
#endif
            if(c.b_symlink && !b_symlinks)
                continue;

            std::vector<std::string> args{c.p_image, c.p_header};
            args.insert(args.end(), switches.begin(), switches.end());
            const test::RunResult result = test::RunTarnwick(args, dir.path());
            const std::string label =
                std::string(c.p_image) + " " + c.p_header + (switches.empty() ? "" : " --mono --rle");
            EXPECT_EQ(result.n_exit_status, 255) << label;
            EXPECT_EQ(result.err, std::string("\nerror: error writing header file '") + c.p_header + "'\n") << label;
            EXPECT_EQ(test::ReadFileBytes(dir.File("logo.tga")), picture) << label;
            if(b_symlinks) {
                EXPECT_TRUE(fs::is_symlink(dir.File("symlink.h"), error)) << label;
            }
        }
    }
}

#ifndef _WIN32 // (permission bits, symbolic links, chattr, fork and kill)
mode_t n_ModeOf(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A symbolic link is written through (the link stays, its file gets the
// header); an existing header keeps its permission bits and a new one gets
// those of any new file; where the folder takes no new file but the header
// may be written, it is written in place. No temporary file stays.
TEST(HeaderFile, ReplacementKeepsLinksAndPermissionsAndFallsBackInPlace)
{
    test::TempDir dir;
    const std::string picture = test::Fixture("tga/pil_rgba32_top.tga");
    ASSERT_TRUE(test::WriteFileText(dir.File("real.h"), "old\n"));
    ASSERT_EQ(::symlink("real.h", dir.File("link.h").c_str()), 0);
    ASSERT_TRUE(test::WriteFileText(dir.File("kept.h"), "old\n"));
    ASSERT_EQ(::chmod(dir.File("kept.h").c_str(), 0640), 0);
    ASSERT_EQ(test::Shell("cd '" + dir.path() + "' && : >shell-made"), 0);

    for(const char *p_header : {"link.h", "kept.h", "new.h"})
        ASSERT_EQ(test::RunTarnwick({picture, dir.File(p_header)}).n_exit_status, 0) << p_header;
    struct stat info;
    ASSERT_EQ(::lstat(dir.File("link.h").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_NE(test::ReadFileText(dir.File("real.h")).find("#endif //__"), std::string::npos);
    EXPECT_EQ(n_ModeOf(dir.File("kept.h")), 0640u);
    EXPECT_NE(test::ReadFileText(dir.File("kept.h")).find("#endif //__"), std::string::npos);
    EXPECT_EQ(n_ModeOf(dir.File("new.h")), n_ModeOf(dir.File("shell-made")));
    EXPECT_EQ(test::Shell("cd '" + dir.path() + "' && test $(ls -A | wc -l) -eq 5"), 0) << "a temporary file stayed";

    // A folder that takes no new file (immutable, which binds root too):
    // the writable header is written in place.
    ASSERT_EQ(::mkdir(dir.File("fixed").c_str(), 0755), 0);
    ASSERT_TRUE(test::WriteFileText(dir.File("fixed/in_place.h"), "old\n"));
    if(test::Shell("chattr +i '" + dir.File("fixed") + "' 2>/dev/null") != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    const int n_status = test::RunTarnwick({picture, dir.File("fixed/in_place.h")}).n_exit_status;
    test::Shell("chattr -i '" + dir.File("fixed") + "'");
    EXPECT_EQ(n_status, 0);
    EXPECT_NE(test::ReadFileText(dir.File("fixed/in_place.h")).find("#endif //__"), std::string::npos);
}

// A run killed at any moment leaves the header as it was (none on a first
// run) or complete, never a part of it.
TEST(HeaderFile, KilledRunLeavesThePreviousHeaderOrTheWholeNewOne)
{
    test::TempDir dir;
    const std::string picture = test::Fixture("jpeg/cjpeg_420_1000x700.jpg");
    const std::string header = dir.File("photo.h"), complete_copy = dir.File("complete.h");
    ASSERT_EQ(test::RunTarnwick({picture, header}).n_exit_status, 0);
    ASSERT_EQ(::rename(header.c_str(), complete_copy.c_str()), 0);
    const std::string complete = test::ReadFileText(complete_copy);
    int n_killed_while_running = 0;
    for(const bool b_first_run : {true, false}) {
        for(int n_delay_ms = 0; n_delay_ms <= 60; n_delay_ms += 5) {
            SCOPED_TRACE(std::string(b_first_run ? "first run" : "over an older header") + ", killed after " +
                         std::to_string(n_delay_ms) + " ms");
            std::remove(header.c_str());
            if(!b_first_run) {
                ASSERT_TRUE(test::WriteFileText(header, "an older header\n"));
            }
            const std::vector<std::string> argv = test::TarnwickArgv({picture, header});
            std::vector<char *> args;
            for(const std::string &arg : argv)
                args.push_back(const_cast<char *>(arg.c_str()));
            args.push_back(nullptr);
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if(pid == 0) {
                ::execv(args[0], args.data());
                ::_exit(127);
            }
            ::usleep(useconds_t(n_delay_ms) * 1000);
            ::kill(pid, SIGKILL);
            int n_status = 0;
            ASSERT_EQ(::waitpid(pid, &n_status, 0), pid);
            n_killed_while_running += WIFSIGNALED(n_status);
            const bool b_exists = test::FileExists(header);
            const std::string text = b_exists ? test::ReadFileText(header) : "";
            if(text != complete) {
                EXPECT_EQ(b_exists, !b_first_run);
                EXPECT_EQ(text, b_first_run ? "" : "an older header\n");
            }
            test::Shell("rm -f '" + dir.path() + "'/.photo.h.*");
        }
    }
    EXPECT_GT(n_killed_while_running, 0) << "no run was killed before it ended: the check proved nothing";
}
#endif

} // namespace
