// Pictures embedded at build time: each header below was made by Tarnwick
// with run-length packing and the unpacking function p_DecompressRLEImage.
// The program unpacks them and writes them out as image files that common
// viewers open, so you can see what went into the binary.
//
// Every such header defines its own p_DecompressRLEImage, so each one is
// included inside a namespace of its own. (Headers of different item types,
// 32-bit, 16-bit and 8-bit, could share one: their functions are overloads.)
#include <cstdio>
#include <initializer_list>
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
namespace photo_rgb565 {
#include "sample_jpg_rgb565.h" // the photo as 16-bit RGB565 values (unsigned short)
}
namespace painting_mono {
#include "sample_tga_mono.h" // the picture, 1 bit per pixel (dithered): rows of n_sample_tga_row_bytes bytes
}

namespace {

// Writes a Netpbm file: its header text, then for every pixel the channels
// picked out by the shifts (red 16, green 8, blue 0, alpha 24 of 0xAARRGGBB;
// 0 for a gray byte), one byte each.
template <typename Pixel>
bool WriteNetpbm(const std::string &path, const std::string &header, const Pixel *p_pixels, unsigned int n_count,
                 std::initializer_list<int> shifts)
{
    std::FILE *p_file = std::fopen(path.c_str(), "wb");
    if(!p_file)
        return false;
    std::fputs(header.c_str(), p_file);
    for(unsigned int i = 0; i < n_count; ++i) {
        for(int n_shift : shifts)
            std::fputc(static_cast<unsigned char>(p_pixels[i] >> n_shift), p_file);
    }
    return std::fclose(p_file) == 0;
}

std::string Header(const char *p_format, unsigned int n_width, unsigned int n_height)
{
    char p_text[128];
    std::snprintf(p_text, sizeof(p_text), p_format, n_width, n_height);
    return p_text;
}

// Unpacks one embedded picture with the p_DecompressRLEImage of its header and
// writes it out: this is all a program needs to get its pixels back.
template <typename Pixel>
bool UnpackAndWrite(Pixel *(*p_Decompress)(const Pixel *, int), const Pixel *p_packed, unsigned int n_width,
                    unsigned int n_height, const std::string &path, const char *p_header_format,
                    std::initializer_list<int> shifts)
{
    Pixel *p_pixels = p_Decompress(p_packed, int(n_width * n_height)); // new[]'d, 0 if that failed
    const bool b_ok = p_pixels && WriteNetpbm(path, Header(p_header_format, n_width, n_height), p_pixels,
                                              n_width * n_height, shifts);
    delete[] p_pixels;
    return b_ok;
}

// Writes RGB565 pixels as a PPM file: each channel widened back to 8 bits by
// repeating its top bits (31 -> 255, 63 -> 255).
bool WriteRgb565AsPpm(const std::string &path, const unsigned short *p_pixels, unsigned int n_width,
                      unsigned int n_height)
{
    std::FILE *p_file = std::fopen(path.c_str(), "wb");
    if(!p_file)
        return false;
    std::fputs(Header("P6\n%u %u\n255\n", n_width, n_height).c_str(), p_file);
    for(unsigned int i = 0; i < n_width * n_height; ++i) {
        const unsigned int n_red = p_pixels[i] >> 11, n_green = p_pixels[i] >> 5 & 63, n_blue = p_pixels[i] & 31;
        std::fputc(static_cast<int>(n_red << 3 | n_red >> 2), p_file);
        std::fputc(static_cast<int>(n_green << 2 | n_green >> 4), p_file);
        std::fputc(static_cast<int>(n_blue << 3 | n_blue >> 2), p_file);
    }
    return std::fclose(p_file) == 0;
}

// Writes 1-bit rows as a PBM file. Both lay out rows of (width + 7) / 8 bytes
// with the leftmost pixel in the top bit, but in PBM a set bit is black while
// Tarnwick sets it for a light pixel, so every byte is inverted (padding bits
// included, which PBM ignores).
bool WriteMonoAsPbm(const std::string &path, const unsigned char *p_rows, unsigned int n_row_bytes,
                    unsigned int n_width, unsigned int n_height)
{
    std::FILE *p_file = std::fopen(path.c_str(), "wb");
    if(!p_file)
        return false;
    std::fputs(Header("P4\n%u %u\n", n_width, n_height).c_str(), p_file);
    for(unsigned int i = 0; i < n_row_bytes * n_height; ++i)
        std::fputc(static_cast<unsigned char>(~p_rows[i]), p_file);
    return std::fclose(p_file) == 0;
}

} // namespace

int main(int n_argc, char **p_argv)
{
    const std::string folder = n_argc > 1 ? std::string(p_argv[1]) + "/" : std::string();
    const char *const p_ppm = "P6\n%u %u\n255\n";
    const char *const p_pam = "P7\nWIDTH %u\nHEIGHT %u\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    const char *const p_pgm = "P5\n%u %u\n255\n";

    bool b_ok = UnpackAndWrite(photo::p_DecompressRLEImage, photo::p_sample_jpg, photo::n_sample_jpg_width,
                               photo::n_sample_jpg_height, folder + "sample_jpg.ppm", p_ppm, {16, 8, 0});
    b_ok = UnpackAndWrite(painting::p_DecompressRLEImage, painting::p_sample_tga, painting::n_sample_tga_width,
                          painting::n_sample_tga_height, folder + "sample_tga.pam", p_pam, {16, 8, 0, 24}) && b_ok;
    b_ok = UnpackAndWrite(painting_gray::p_DecompressRLEImage, painting_gray::p_sample_tga,
                          painting_gray::n_sample_tga_width, painting_gray::n_sample_tga_height,
                          folder + "sample_tga_gray.pgm", p_pgm, {0}) && b_ok;


    {
        using namespace photo_rgb565;
        // One unsigned short per pixel.
        unsigned short *p_pixels = p_DecompressRLEImage(p_sample_jpg, int(n_sample_jpg_width * n_sample_jpg_height));
        b_ok = p_pixels && WriteRgb565AsPpm(folder + "sample_jpg_rgb565.ppm", p_pixels, n_sample_jpg_width,
                                            n_sample_jpg_height) && b_ok;
        delete[] p_pixels;
    }
    {
        using namespace painting_mono;
        // The packed items are bytes of rows: unpack row bytes x height of them.
        const unsigned int n_bytes = n_sample_tga_row_bytes * n_sample_tga_height;
        unsigned char *p_rows = p_DecompressRLEImage(p_sample_tga, int(n_bytes));
        b_ok = p_rows && WriteMonoAsPbm(folder + "sample_tga_mono.pbm", p_rows, n_sample_tga_row_bytes,
                                        n_sample_tga_width, n_sample_tga_height) && b_ok;
        delete[] p_rows;
    }

    if(!b_ok)
        std::fprintf(stderr, "error: could not write the pictures to '%s'\n", folder.empty() ? "." : folder.c_str());
    return b_ok ? 0 : 1;
}
