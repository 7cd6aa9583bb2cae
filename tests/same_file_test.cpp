// A header path that names the image file itself must never replace the
// picture: the program refuses with the write error and status -1 before it
// opens anything for writing, however the path reaches the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

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

} // namespace
