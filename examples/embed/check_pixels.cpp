// Checks the files written by embed_example against plain (unpacked) headers
// of the same pictures: each file must hold exactly the header text that its
// format needs and then the pixels of the plain array, byte for byte. The
// RGB565 and 1-bit files are checked against values computed here from the
// plain 32-bit pixels, with the rules of Tarnwick's manual page.
// Usage: embed_check <folder with embed_example's output>
#include <cstdio>
#include <string>
#include <vector>

namespace photo {
#include "sample_jpg.h"
}
namespace painting {
#include "sample_tga.h"
}
namespace painting_gray {
#include "sample_tga_gray.h"
}

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const std::string &path)
{
    Bytes bytes;
    std::FILE *p_file = std::fopen(path.c_str(), "rb");
    if(!p_file)
        return bytes;
    unsigned char p_block[4096];
    for(size_t n_read; (n_read = std::fread(p_block, 1, sizeof(p_block), p_file)) > 0;)
        bytes.insert(bytes.end(), p_block, p_block + n_read);
    std::fclose(p_file);
    return bytes;
}

// The expected file: its header text, then every pixel as the channels named
// by the shifts (bits of 0xAARRGGBB), one byte each.
Bytes ExpectedFile(const std::string &header_text, const unsigned int *p_pixels, unsigned int n_count,
                   const std::vector<int> &channel_shifts)
{
    Bytes bytes(header_text.begin(), header_text.end());
    for(unsigned int i = 0; i < n_count; ++i) {
        for(int n_shift : channel_shifts)
            bytes.push_back(static_cast<unsigned char>(p_pixels[i] >> n_shift));
    }
    return bytes;
}

// Prints the outcome for one file; true when it matches. Each pixel takes
// n_channels bytes, or, with n_channels 0, one bit (eight pixels a byte).
bool Compare(const std::string &path, const Bytes &expected, size_t n_header_size, size_t n_channels)
{
    const auto n_Pixels = [n_channels](size_t n_bytes) { return n_channels ? n_bytes / n_channels : n_bytes * 8; };
    const Bytes actual = ReadFile(path);
    size_t n_at = 0;
    while(n_at < expected.size() && n_at < actual.size() && expected[n_at] == actual[n_at])
        ++n_at;
    if(n_at == expected.size() && actual.size() == expected.size()) {
        std::printf("%s: all %zu pixels match the plain header\n", path.c_str(),
                    n_Pixels(expected.size() - n_header_size));
        return true;
    }
    if(n_at < n_header_size)
        std::printf("%s: differs in its header text at byte %zu (file size %zu, expected %zu)\n", path.c_str(),
                    n_at, actual.size(), expected.size());
    else
        std::printf("%s: first differing pixel is number %zu (file size %zu, expected %zu)\n", path.c_str(),
                    n_Pixels(n_at - n_header_size), actual.size(), expected.size());
    return false;
}

std::string Text(const char *p_format, unsigned int n_width, unsigned int n_height)
{
    char p_text[128];
    std::snprintf(p_text, sizeof(p_text), p_format, n_width, n_height);
    return p_text;
}

// The pixel over black, each channel c * alpha / 255 rounded to nearest.
unsigned int OverBlack(unsigned int n_pixel)
{
    const unsigned int n_alpha = n_pixel >> 24;
    unsigned int n_result = 0;
    for(int n_shift = 0; n_shift < 24; n_shift += 8)
        n_result |= ((n_pixel >> n_shift & 255) * n_alpha + 127) / 255 << n_shift;
    return n_result;
}

// The PPM bytes that embed_example writes for the RGB565 values of the pixels.
Bytes Rgb565Ppm(const std::string &header_text, const unsigned int *p_pixels, unsigned int n_count)
{
    Bytes bytes(header_text.begin(), header_text.end());
    for(unsigned int i = 0; i < n_count; ++i) {
        const unsigned int n_pixel = OverBlack(p_pixels[i]);
        const unsigned int n_red = (n_pixel >> 16 & 255) >> 3, n_green = (n_pixel >> 8 & 255) >> 2,
                           n_blue = (n_pixel & 255) >> 3;
        bytes.push_back(static_cast<unsigned char>(n_red << 3 | n_red >> 2));
        bytes.push_back(static_cast<unsigned char>(n_green << 2 | n_green >> 4));
        bytes.push_back(static_cast<unsigned char>(n_blue << 3 | n_blue >> 2));
    }
    return bytes;
}

// The PBM bytes for the dithered 1-bit rows of the pixels. Gray values over
// black, diffused by Floyd-Steinberg: a pixel is light when its working value
// is at least 128, and its error goes 7/16 right, 3/16 below left, 5/16 below
// and 1/16 below right (each truncated toward zero). In PBM a set bit is
// black, so the bits of dark pixels and of the row padding are set.
Bytes DitheredPbm(const std::string &header_text, const unsigned int *p_pixels, int n_width, int n_height)
{
    std::vector<int> work(size_t(n_width) * size_t(n_height));
    for(size_t i = 0; i < work.size(); ++i) {
        const unsigned int n_pixel = OverBlack(p_pixels[i]);
        const double f_gray = (n_pixel >> 16 & 255) * double(0.299f) + (n_pixel >> 8 & 255) * double(0.587f) +
                              (n_pixel & 255) * double(0.114f);
        work[i] = f_gray >= 255 ? 255 : int(f_gray);
    }
    const int n_row_bytes = (n_width + 7) / 8;
    Bytes rows(size_t(n_row_bytes) * size_t(n_height), 0xff);
    for(int y = 0; y < n_height; ++y) {
        for(int x = 0; x < n_width; ++x) {
            int *p_here = &work[size_t(y) * size_t(n_width) + size_t(x)];
            const bool b_light = *p_here >= 128;
            const int n_error = *p_here - (b_light ? 255 : 0);
            if(b_light)
                rows[size_t(y * n_row_bytes + x / 8)] &= static_cast<unsigned char>(~(0x80u >> (x % 8)));
            if(x + 1 < n_width)
                p_here[1] += n_error * 7 / 16;
            if(y + 1 < n_height) {
                if(x > 0)
                    p_here[n_width - 1] += n_error * 3 / 16;
                p_here[n_width] += n_error * 5 / 16;
                if(x + 1 < n_width)
                    p_here[n_width + 1] += n_error * 1 / 16;
            }
        }
    }
    Bytes bytes(header_text.begin(), header_text.end());
    bytes.insert(bytes.end(), rows.begin(), rows.end());
    return bytes;
}

} // namespace

int main(int n_argc, char **p_argv)
{
    if(n_argc != 2) {
        std::fprintf(stderr, "usage: embed_check <folder>\n");
        return 2;
    }
    const std::string folder = std::string(p_argv[1]) + "/";
    bool b_ok = true;

    {
        using namespace photo;
        const std::string text = Text("P6\n%u %u\n255\n", n_sample_jpg_width, n_sample_jpg_height);
        b_ok = Compare(folder + "sample_jpg.ppm",
                       ExpectedFile(text, p_sample_jpg, n_sample_jpg_width * n_sample_jpg_height, {16, 8, 0}),
                       text.size(), 3) && b_ok;
    }
    {
        using namespace painting;
        const std::string text = Text("P7\nWIDTH %u\nHEIGHT %u\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                                      n_sample_tga_width, n_sample_tga_height);
        b_ok = Compare(folder + "sample_tga.pam",
                       ExpectedFile(text, p_sample_tga, n_sample_tga_width * n_sample_tga_height, {16, 8, 0, 24}),
                       text.size(), 4) && b_ok;
    }
    {
        using namespace painting_gray;
        const std::string text = Text("P5\n%u %u\n255\n", n_sample_tga_width, n_sample_tga_height);
        Bytes expected(text.begin(), text.end());
        expected.insert(expected.end(), p_sample_tga, p_sample_tga + n_sample_tga_width * n_sample_tga_height);
        b_ok = Compare(folder + "sample_tga_gray.pgm", expected, text.size(), 1) && b_ok;
    }
    {
        using namespace photo;
        const std::string text = Text("P6\n%u %u\n255\n", n_sample_jpg_width, n_sample_jpg_height);
        b_ok = Compare(folder + "sample_jpg_rgb565.ppm",
                       Rgb565Ppm(text, p_sample_jpg, n_sample_jpg_width * n_sample_jpg_height), text.size(), 3) &&
               b_ok;
    }
    {
        using namespace painting;
        const std::string text = Text("P4\n%u %u\n", n_sample_tga_width, n_sample_tga_height);
        b_ok = Compare(folder + "sample_tga_mono.pbm",
                       DitheredPbm(text, p_sample_tga, int(n_sample_tga_width), int(n_sample_tga_height)),
                       text.size(), 0) && b_ok;
    }
    return b_ok ? 0 : 1;
}
