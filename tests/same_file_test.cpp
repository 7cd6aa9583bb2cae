// A header path that names the image file itself must never replace the
// picture: the program refuses with the write error and status -1 before it
// opens anything for writing, however the path reaches the file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

namespace {

TEST(SameFile, HeaderPathNamingTheImageIsRefusedAndThePictureStays)
{
    const struct {
        const char *p_image;  // as typed, in the picture's folder
        const char *p_header;
    } cases[] = {
        {"logo.tga", "logo.tga"},          // the same path
        {"logo.tga", "./logo.tga"},        // a "./" prefix
        {"./logo.tga", "logo.tga"},
        {"logo.tga", "symlink.h"},         // a symbolic link to the picture
        {"logo.tga", "hardlink.h"},        // a hard link to it
        {"logo.tga", "sub/../logo.tga"},   // another path to it
        {"logo.tga", "sub/up.h"},          // a symbolic link in another folder
    };
    const test::Bytes picture = test::ReadFileBytes(test::Fixture("tga/pil_rgba32_top.tga"));
    ASSERT_FALSE(picture.empty());
    for(const auto &c : cases) {
        for(const char *p_switches : {"", " --mono --rle"}) {
            test::TempDir dir;
            ASSERT_TRUE(test::WriteFileBytes(dir.File("logo.tga"), picture));
            ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
            ASSERT_EQ(::symlink("logo.tga", dir.File("symlink.h").c_str()), 0);
            ASSERT_EQ(::symlink("../logo.tga", dir.File("sub/up.h").c_str()), 0);
            ASSERT_EQ(::link(dir.File("logo.tga").c_str(), dir.File("hardlink.h").c_str()), 0);

            const int n_status = test::Shell("cd '" + dir.path() + "' && " + test::TarnwickCommand() + " " + c.p_image + " " +
                                             c.p_header + p_switches + " 2>stderr.txt >stdout.txt");
            const std::string label = std::string(c.p_image) + " " + c.p_header + p_switches;
            EXPECT_EQ(n_status, 255) << label;
            EXPECT_EQ(test::ReadFileText(dir.File("stderr.txt")),
                      std::string("\nerror: error writing header file '") + c.p_header + "'\n")
                << label;
            EXPECT_EQ(test::ReadFileBytes(dir.File("logo.tga")), picture) << label;
            struct stat info;
            EXPECT_EQ(::lstat(dir.File("symlink.h").c_str(), &info) == 0 && S_ISLNK(info.st_mode), true) << label;
        }
    }
}

} // namespace
