// The items of every output format and layout, computed by the tests from a
// picture's reference pixels (the .rgba file beside each fixture, decoded by
// ImageMagick), independently of the program's own conversion.
#ifndef TARNWICK_TESTS_REFERENCE_ITEMS_H
#define TARNWICK_TESTS_REFERENCE_ITEMS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace reference {

using Items = std::vector<uint32_t>;

// A fixture and its reference pixels, 0xAARRGGBB.
struct Picture {
    std::string label;
    std::string path;
    int n_width;
    int n_height;
    Items pixels;
};

// The fixture (a path under tests/fixtures) and the pixels of the .rgba file
// of the same name beside it.
Picture LoadPicture(const std::string &label, const std::string &fixture, int n_width, int n_height);

uint32_t Channel(uint32_t n_pixel, int n_shift);
// Each channel c * a / 255, rounded to nearest; alpha 255.
uint32_t OverBlack(uint32_t n_pixel);
// 0.299 R + 0.587 G + 0.114 B with the single-precision weights, truncated.
uint32_t Gray(uint32_t n_pixel);
uint32_t Rgb565(uint32_t n_pixel);
Items EachPixel(const Picture &picture, const std::function<uint32_t(uint32_t)> &item);

// The gray values over black, each a bit: set from 128 up, or by
// Floyd-Steinberg diffusion of the error (7, 3, 5, 1 sixteenths, C++
// division).
std::vector<int> MonoBits(const Picture &picture, bool b_dither);
// Rows of (width + 7) / 8 bytes, the leftmost pixel in 0x80 (b_lsb_first:
// in 0x01).
Items Rows(const std::vector<int> &bits, int n_width, int n_height, bool b_lsb_first);
// Pages of 8 rows, a byte a column, the top row in bit 0.
Items Pages(const std::vector<int> &bits, int n_width, int n_height);

// Each item's n_bytes low bytes, low or high byte first.
Items Bytes(const Items &items, int n_bytes, bool b_low_first);

// The distinct colours in order of first appearance.
Items PaletteOf(const Picture &picture);
// 1, 2, 4 or 8.
int IndexBits(size_t n_colours);
// Each pixel's palette index, n_bits each, rows starting on a new byte, the
// leftmost pixel in the top bits.
Items PackedIndices(const Picture &picture, const Items &palette, int n_bits);

} // namespace reference

#endif // TARNWICK_TESTS_REFERENCE_ITEMS_H
