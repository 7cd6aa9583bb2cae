// Every input that ever crashed, hung, leaked or tripped a sanitizer in the
// fuzz targets, kept under tests/crashers/<target>/ and replayed here (the
// sanitizer build runs them too). A file whose name contains ".loads." is a
// valid image that must load; every other one must be refused cleanly.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>

#include "bmp_reader.h"
#include "driver.h"
#include "fuzz_support.h"
#include "gif_loader.h"
#include "jpeg_decoder.h"
#include "png_loader.h"
#include "test_support.h"
#include "tga_reader.h"
#include "webp_loader.h"

namespace {

using namespace tarnwick;

std::vector<std::string> CrasherFiles(const std::string &target)
{
    std::vector<std::string> paths;
    const std::string folder = std::string(TARNWICK_SOURCE_DIR) + "/tests/crashers/" + target;
    if(DIR *p_dir = opendir(folder.c_str())) {
        while(const dirent *p_entry = readdir(p_dir))
            if(p_entry->d_name[0] != '.')
                paths.push_back(folder + "/" + p_entry->d_name);
        closedir(p_dir);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool b_ShouldLoad(const std::string &path)
{
    return path.find(".loads.") != std::string::npos;
}

// Each loader on every file of its folder; none may report that it could not
// open a file that is there. Without libpng, giflib or libwebp no file of
// that format loads. The same bytes read from memory, as from a pipe, give
// the same result and cause.
TEST(Crashers, Loaders)
{
    const struct {
        const char *p_folder;
        ImageLoader p_load;
        bool b_built_in;
    } loaders[] = {{"tga", LoadTgaImage, true}, {"jpeg", LoadJpegImage, true},
                   {"png", LoadPngImage, b_IsPngSupportBuiltIn()}, {"bmp", LoadBmpImage, true},
                   {"gif", LoadGifImage, b_IsGifSupportBuiltIn()},
                   {"webp", LoadWebpImage, b_IsWebpSupportBuiltIn()}};
    for(const auto &loader : loaders) {
        for(const std::string &path : CrasherFiles(loader.p_folder)) {
            LoadFailure failure, piped_failure;
            const test::ImagePtr p_image(LoadImageAtPath(loader.p_load, path.c_str(), &failure));
            EXPECT_EQ(p_image != nullptr, b_ShouldLoad(path) && loader.b_built_in) << path;
            EXPECT_NE(failure, LoadFailure::kCannotOpen) << path;
            const test::Bytes bytes = test::ReadFileBytes(path);
            const test::ImagePtr p_piped(loader.p_load(BytesInput(bytes.data(), bytes.size()), &piped_failure));
            EXPECT_EQ(piped_failure, failure) << path;
            EXPECT_EQ(p_piped != nullptr, p_image != nullptr) << path;
        }
    }
}

// fuzz_gif also asks each input for a frame past any file's last, so that
// every frame is drawn and disposed of: no file of the folder has that many.
TEST(Crashers, GifEveryFrame)
{
    for(const std::string &path : CrasherFiles("gif")) {
        const test::Bytes bytes = test::ReadFileBytes(path);
        LoadFailure failure;
        EXPECT_EQ(test::ImagePtr(LoadGifImage(test::MemoryInput(bytes, kFuzzGifFramePastTheLast), &failure)), nullptr)
            << path;
    }
}

TEST(Crashers, WholeConversion)
{
    test::TempDir dir;
    for(const std::string &path : CrasherFiles("convert")) {
        const test::Bytes input = test::ReadFileBytes(path);
        ASSERT_FALSE(input.empty()) << path;
        const std::string image_path = dir.File(std::string("image") + p_FuzzImageExtension(input[0]));
        const std::string header_path = dir.File("image.h");
        ASSERT_TRUE(test::WriteFileBytes(image_path, test::Bytes(input.begin() + 1, input.end())));
        const char *argv[kMaxFuzzArguments];
        const int n_argc =
            n_FuzzConversionArguments(input[0], input.back(), image_path.c_str(), header_path.c_str(), argv);
        const int n_status = RunTarnwick(n_argc, argv);
        EXPECT_EQ(n_status, b_ShouldLoad(path) ? 0 : -1) << path;
        EXPECT_EQ(test::FileExists(header_path), n_status == 0) << path;
        std::remove(header_path.c_str());
    }
}

} // namespace
