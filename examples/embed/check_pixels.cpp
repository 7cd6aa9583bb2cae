// Checks the files written by embed_example against plain (unpacked) headers
// of the same pictures: each file must hold exactly the header text that its
// format needs and then the pixels of the plain array, byte for byte.
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

// Prints the outcome for one file; true when it matches.
bool Compare(const std::string &path, const Bytes &expected, size_t n_header_size, size_t n_channels)
{
    const Bytes actual = ReadFile(path);
    size_t n_at = 0;
    while(n_at < expected.size() && n_at < actual.size() && expected[n_at] == actual[n_at])
        ++n_at;
    if(n_at == expected.size() && actual.size() == expected.size()) {
        std::printf("%s: all %zu pixels match the plain header\n", path.c_str(),
                    (expected.size() - n_header_size) / n_channels);
        return true;
    }
    if(n_at < n_header_size)
        std::printf("%s: differs in its header text at byte %zu (file size %zu, expected %zu)\n", path.c_str(),
                    n_at, actual.size(), expected.size());
    else
        std::printf("%s: first differing pixel is number %zu (file size %zu, expected %zu)\n", path.c_str(),
                    (n_at - n_header_size) / n_channels, actual.size(), expected.size());
    return false;
}

std::string Text(const char *p_format, unsigned int n_width, unsigned int n_height)
{
    char p_text[128];
    std::snprintf(p_text, sizeof(p_text), p_format, n_width, n_height);
    return p_text;
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
    return b_ok ? 0 : 1;
}
