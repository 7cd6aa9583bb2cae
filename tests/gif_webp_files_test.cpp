// GIF and WebP files made by other people's encoders (from Debian packages)
// and by ImageMagick, gifsicle, Pillow and libwebp's tools, against the
// reference decoders: every frame of every GIF as ImageMagick's -coalesce
// composites it, every WebP as dwebp decodes it (an animation's first frame
// as libwebp's animation decoder shows it). tests/fixtures/README.md says
// where each file comes from. In a build without giflib or libwebp every
// file of that format must be refused with its "not built in" cause.
#include <gtest/gtest.h>

#include <string>

#include "gif_loader.h"
#include "test_support.h"
#include "webp_loader.h"

namespace {

using namespace tarnwick;
using test::Bytes;
using test::ImagePtr;

struct PictureFile {
    const char *p_name; // under tests/fixtures, without the extension
    int32_t n_width;
    int32_t n_height;
    uint32_t n_frames;  // frames of the reference: every frame of a GIF, the first of a WebP
    bool b_animated = false;
};

void PrintTo(const PictureFile &c, std::ostream *p_os)
{
    *p_os << c.p_name;
}

bool b_IsGif(const PictureFile &c)
{
    return std::string(c.p_name).rfind("gif/", 0) == 0;
}

// Frame n_frame of the picture, read from its file, or from memory as a
// picture from a pipe is.
ImagePtr LoadFrame(ImageLoader p_load, const std::string &path, const Bytes *p_bytes, uint32_t n_frame,
                   LoadFailure &failure)
{
    ImageInput input = p_bytes ? BytesInput(p_bytes->data(), p_bytes->size()) : ImageInput{path.c_str(), nullptr, 0};
    if(!p_bytes && !OpenImageInput(path.c_str(), input, failure))
        return nullptr;
    input.n_frame = n_frame;
    ImagePtr p_image(p_load(input, &failure));
    if(!p_bytes)
        ReleaseImageInput(input);
    return p_image;
}

class PictureFileTest : public ::testing::TestWithParam<PictureFile> {};

TEST_P(PictureFileTest, EveryFrameAsTheReferenceDecoderReadsIt)
{
    const PictureFile &c = GetParam();
    const bool b_gif = b_IsGif(c);
    const ImageLoader p_load = b_gif ? LoadGifImage : LoadWebpImage;
    const std::string base = test::Fixture(c.p_name);
    const std::string path = base + (b_gif ? ".gif" : ".webp");
    const Bytes file = test::ReadFileBytes(path);
    ASSERT_FALSE(file.empty()) << path;
    LoadFailure failure;
    if(!(b_gif ? b_IsGifSupportBuiltIn() : b_IsWebpSupportBuiltIn())) {
        EXPECT_EQ(LoadFrame(p_load, path, nullptr, 0, failure), nullptr);
        EXPECT_EQ(failure, b_gif ? LoadFailure::kGifNotBuiltIn : LoadFailure::kWebpNotBuiltIn);
        return;
    }
    const Bytes rgba = test::ReadFileBytes(base + ".rgba");
    const size_t n_frame_pixels = size_t(c.n_width) * size_t(c.n_height);
    ASSERT_EQ(rgba.size(), c.n_frames * n_frame_pixels * 4);
    for(uint32_t n_frame = 0; n_frame < c.n_frames; ++n_frame) {
        const uint8_t *p_reference = rgba.data() + n_frame * n_frame_pixels * 4;
        bool b_transparent = false;
        for(size_t i = 0; i < n_frame_pixels; ++i)
            b_transparent |= p_reference[4 * i + 3] != 0xFF;
        for(const Bytes *p_bytes : {static_cast<const Bytes *>(nullptr), &file}) {
            const char *p_source = p_bytes ? "from memory" : "from the file";
            const ImagePtr p_image = LoadFrame(p_load, path, p_bytes, n_frame, failure);
            ASSERT_NE(p_image, nullptr) << "frame " << n_frame << " " << p_source << ": " << DescribeLoadFailure(failure);
            EXPECT_EQ(failure, LoadFailure::kNone);
            ASSERT_EQ(p_image->n_width, c.n_width);
            ASSERT_EQ(p_image->n_height, c.n_height);
            EXPECT_EQ(p_image->n_bpp, 8);
            EXPECT_EQ(p_image->b_grayscale, 0);
            // A GIF knows from its pixels; a WebP says whether it carries alpha.
            if(b_gif || b_transparent) {
                EXPECT_EQ(p_image->b_alpha != 0, b_transparent) << "frame " << n_frame;
            }
            for(size_t i = 0; i < n_frame_pixels; ++i) {
                const uint8_t *p_pixel = p_reference + 4 * i;
                const uint32_t n_expected = uint32_t(p_pixel[3]) << 24 | uint32_t(p_pixel[0]) << 16 |
                                            uint32_t(p_pixel[1]) << 8 | p_pixel[2];
                ASSERT_EQ(p_image->p_buffer[i], n_expected)
                    << "frame " << n_frame << " " << p_source << ", pixel (" << i % size_t(c.n_width) << ", "
                    << i / size_t(c.n_width) << ")";
            }
        }
    }
    // Past the last frame: a GIF has no such frame, an animated WebP gives
    // only its first, and a still WebP is one picture whatever is asked.
    const ImagePtr p_past = LoadFrame(p_load, path, nullptr, c.n_frames, failure);
    if(b_gif || c.b_animated) {
        EXPECT_EQ(p_past, nullptr);
        EXPECT_EQ(failure, b_gif ? LoadFailure::kNoSuchFrame : LoadFailure::kWebpLaterFrame);
    } else {
        ASSERT_NE(p_past, nullptr);
        EXPECT_EQ(p_past->p_buffer[n_frame_pixels - 1],
                  uint32_t(rgba[4 * n_frame_pixels - 1]) << 24 | uint32_t(rgba[4 * n_frame_pixels - 4]) << 16 |
                      uint32_t(rgba[4 * n_frame_pixels - 3]) << 8 | rgba[4 * n_frame_pixels - 2]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictureFileTest,
    ::testing::Values(
        // Debian: GIF87a, a 30-frame GIF87a animation, interlaced, a first
        // frame smaller than the screen, every disposal method (0 to 3)
        // with transparency, sizes from 7 x 4 up.
        PictureFile{"gif/deb_afl_not_kitty", 32, 32, 1}, PictureFile{"gif/deb_dojox_busy", 32, 32, 30},
        PictureFile{"gif/deb_dojox_grid_sort_up", 7, 4, 1}, PictureFile{"gif/deb_dojox_loading", 24, 24, 4},
        PictureFile{"gif/deb_famfamfam_europeanunion", 16, 11, 1}, PictureFile{"gif/deb_http_icons_blank", 16, 16, 1},
        PictureFile{"gif/deb_pidgin_chimuelo", 20, 20, 1}, PictureFile{"gif/deb_pidgin_llanto", 19, 19, 1},
        PictureFile{"gif/deb_pidgin_msn_lightning", 19, 19, 6}, PictureFile{"gif/deb_pidgin_qip_ab", 20, 24, 6},
        PictureFile{"gif/deb_pidgin_qip_ai", 20, 20, 12}, PictureFile{"gif/deb_pidgin_qip_ao", 28, 28, 16},
        PictureFile{"gif/deb_pidgin_qip_be", 21, 25, 7}, PictureFile{"gif/deb_pidgin_yahoo_flower", 18, 18, 1},
        PictureFile{"gif/deb_pidgin_yahoo_think", 18, 18, 4}, PictureFile{"gif/deb_pidgin_yahoo_tired", 18, 18, 6},
        PictureFile{"gif/deb_sdl2_surfacetest", 32, 32, 1}, PictureFile{"gif/deb_tkabber_poker_04", 72, 96, 1},
        PictureFile{"gif/deb_tkabber_renju_right_top", 32, 32, 1},
        // gifsicle: each disposal method over sprites that reach past the
        // first frame, optimised frames, interlaced frames, local colour
        // tables, frames past the screen's edge.
        PictureFile{"gif/gifsicle_disposal_asis", 27, 22, 5},
        PictureFile{"gif/gifsicle_disposal_background", 27, 22, 5},
        PictureFile{"gif/gifsicle_disposal_none", 27, 22, 5},
        PictureFile{"gif/gifsicle_disposal_previous", 27, 22, 5}, PictureFile{"gif/gifsicle_interlaced", 24, 20, 2},
        PictureFile{"gif/gifsicle_local_tables", 24, 20, 3}, PictureFile{"gif/gifsicle_optimised", 24, 20, 3},
        PictureFile{"gif/gifsicle_partial_screen", 30, 24, 2}, PictureFile{"gif/gifsicle_past_the_edge", 16, 12, 3},
        // ImageMagick and Pillow.
        PictureFile{"gif/im_1x1", 1, 1, 1}, PictureFile{"gif/im_interlaced", 33, 17, 1},
        PictureFile{"gif/im_sprites_previous", 24, 20, 4}, PictureFile{"gif/im_still", 24, 20, 1},
        PictureFile{"gif/im_transparent", 30, 30, 1}, PictureFile{"gif/im_two_colors", 24, 20, 1},
        PictureFile{"gif/pil_disc_disposal1", 40, 30, 5}, PictureFile{"gif/pil_disc_disposal2", 40, 30, 5},
        PictureFile{"gif/pil_disc_disposal3", 40, 30, 5}, PictureFile{"gif/pil_disc_opaque", 40, 30, 5},
        PictureFile{"gif/pil_interlaced_7_colors", 24, 20, 1},
        // cwebp: lossy at several qualities and settings, lossy with lossy
        // and lossless alpha, lossless with and without alpha (and with the
        // colour under transparent pixels kept), near-lossless, an ICC
        // profile, 1 x 1.
        PictureFile{"webp/cwebp_lossless", 33, 21, 1}, PictureFile{"webp/cwebp_lossless_1x1", 1, 1, 1},
        PictureFile{"webp/cwebp_lossless_alpha", 33, 21, 1}, PictureFile{"webp/cwebp_lossless_alpha_exact", 33, 21, 1},
        PictureFile{"webp/cwebp_lossless_z9", 33, 21, 1}, PictureFile{"webp/cwebp_lossy_alpha_lossless", 33, 21, 1},
        PictureFile{"webp/cwebp_lossy_alpha_q50", 33, 21, 1},
        PictureFile{"webp/cwebp_lossy_filter_one_segment", 33, 21, 1}, PictureFile{"webp/cwebp_lossy_iccp", 13, 7, 1},
        PictureFile{"webp/cwebp_lossy_q10", 33, 21, 1}, PictureFile{"webp/cwebp_lossy_q50", 33, 21, 1},
        PictureFile{"webp/cwebp_lossy_q95_m6", 33, 21, 1}, PictureFile{"webp/cwebp_lossy_sharp_yuv", 33, 21, 1},
        PictureFile{"webp/cwebp_near_lossless_alpha", 33, 21, 1},
        // Debian: lossy and lossless (palettes of 2 to 256 colours) from
        // several encoders, an animated icon with alpha.
        PictureFile{"webp/deb_afl_not_kitty", 32, 32, 1},
        PictureFile{"webp/deb_golang_blue_purple_pink_lossy", 150, 100, 1},
        PictureFile{"webp/deb_golang_gopher_doc_1bpp_lossless", 75, 100, 1},
        PictureFile{"webp/deb_golang_gopher_doc_8bpp_lossless", 75, 100, 1},
        PictureFile{"webp/deb_golang_video_001_lossy", 150, 103, 1}, PictureFile{"webp/deb_sdl2_image_sample", 23, 42, 1},
        PictureFile{"webp/deb_sdl2_surfacetest", 32, 32, 1},
        PictureFile{"webp/deb_shotcut_select0r_animated", 200, 200, 1, true},
        // Animations: gif2webp, img2webp with lossy and lossless frames, a
        // first frame smaller than the canvas at an offset.
        PictureFile{"webp/gif2webp_disc", 40, 30, 1, true}, PictureFile{"webp/gif2webp_partial_screen", 30, 24, 1, true},
        PictureFile{"webp/img2webp_mixed", 33, 21, 1, true},
        PictureFile{"webp/webpmux_offset_first_frame", 33, 21, 1, true}),
    [](const ::testing::TestParamInfo<PictureFile> &info) {
        std::string name = info.param.p_name;
        name[name.find('/')] = '_';
        return name;
    });

// A real file whose LZW data ends (its last sub-block runs past the end of
// the file) before the frame's last pixels: refused, like a cut PNG file.
TEST(PictureFiles, GifWhoseDataEndsEarlyIsRefused)
{
    LoadFailure failure;
    const ImagePtr p_image(
        LoadImageAtPath(LoadGifImage, test::Fixture("gif/deb_pidgin_cartman_cop_cut.gif").c_str(), &failure));
    EXPECT_EQ(p_image, nullptr);
    EXPECT_EQ(failure, b_IsGifSupportBuiltIn() ? LoadFailure::kTruncated : LoadFailure::kGifNotBuiltIn);
}

} // namespace
