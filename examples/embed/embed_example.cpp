// Pictures embedded at build time: each header below was made by Tarnwick
// with run-length packing and the unpacking function p_DecompressRLEImage.
// The program unpacks them and writes them out as image files that common
// viewers open, so you can see what went into the binary.
//
// Every such header defines its own p_DecompressRLEImage, so each one is
// included inside a namespace of its own.
#include <cstdio>
#include <string>

namespace photo {
#include "sample_jpg.h"      // p_sample_jpg, n_sample_jpg_width, n_sample_jpg_height
}
namespace painting {
#include "sample_tga.h"      // p_sample_tga, n_sample_tga_width, n_sample_tga_height
}
namespace painting_gray {
#include "sample_tga_gray.h" // the same picture, one 8-bit gray value per pixel
}

namespace {

// Pixels are 0xAARRGGBB, top row first.
bool WritePpm(const std::string &path, const unsigned int *p_pixels, unsigned int n_width, unsigned int n_height)
{
    std::FILE *p_file = std::fopen(path.c_str(), "wb");
    if(!p_file)
        return false;
    std::fprintf(p_file, "P6\n%u %u\n255\n", n_width, n_height);
    for(unsigned int i = 0; i < n_width * n_height; ++i) {
        const unsigned char p_rgb[3] = {static_cast<unsigned char>(p_pixels[i] >> 16),
                                        static_cast<unsigned char>(p_pixels[i] >> 8),
                                        static_cast<unsigned char>(p_pixels[i])};
        std::fwrite(p_rgb, 1, 3, p_file);
    }
    return std::fclose(p_file) == 0;
}

// Like WritePpm, but keeps the alpha byte (PAM with four channels).
bool WritePam(const std::string &path, const unsigned int *p_pixels, unsigned int n_width, unsigned int n_height)
{
    std::FILE *p_file = std::fopen(path.c_str(), "wb");
    if(!p_file)
        return false;
    std::fprintf(p_file, "P7\nWIDTH %u\nHEIGHT %u\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                 n_width, n_height);
    for(unsigned int i = 0; i < n_width * n_height; ++i) {
        const unsigned char p_rgba[4] = {static_cast<unsigned char>(p_pixels[i] >> 16),
                                         static_cast<unsigned char>(p_pixels[i] >> 8),
                                         static_cast<unsigned char>(p_pixels[i]),
                                         static_cast<unsigned char>(p_pixels[i] >> 24)};
        std::fwrite(p_rgba, 1, 4, p_file);
    }
    return std::fclose(p_file) == 0;
}

bool WritePgm(const std::string &path, const unsigned char *p_gray, unsigned int n_width, unsigned int n_height)
{
    std::FILE *p_file = std::fopen(path.c_str(), "wb");
    if(!p_file)
        return false;
    std::fprintf(p_file, "P5\n%u %u\n255\n", n_width, n_height);
    std::fwrite(p_gray, 1, n_width * n_height, p_file);
    return std::fclose(p_file) == 0;
}

} // namespace

int main(int n_argc, char **p_argv)
{
    const std::string folder = n_argc > 1 ? std::string(p_argv[1]) + "/" : std::string();
    bool b_ok = true;

    {
        using namespace photo;
        unsigned int *p_pixels = p_DecompressRLEImage(p_sample_jpg, n_sample_jpg_width * n_sample_jpg_height);
        b_ok = p_pixels && WritePpm(folder + "sample_jpg.ppm", p_pixels, n_sample_jpg_width, n_sample_jpg_height) && b_ok;
        delete[] p_pixels;
    }
    {
        using namespace painting;
        unsigned int *p_pixels = p_DecompressRLEImage(p_sample_tga, n_sample_tga_width * n_sample_tga_height);
        b_ok = p_pixels && WritePam(folder + "sample_tga.pam", p_pixels, n_sample_tga_width, n_sample_tga_height) && b_ok;
        delete[] p_pixels;
    }
    {
        using namespace painting_gray;
        unsigned char *p_gray = p_DecompressRLEImage(p_sample_tga, n_sample_tga_width * n_sample_tga_height);
        b_ok = p_gray && WritePgm(folder + "sample_tga_gray.pgm", p_gray, n_sample_tga_width, n_sample_tga_height) && b_ok;
        delete[] p_gray;
    }

    if(!b_ok)
        std::fprintf(stderr, "error: could not write the pictures to '%s'\n", folder.empty() ? "." : folder.c_str());
    return b_ok ? 0 : 1;
}
