// The tests' own computation of every format's items (reference_items.h).
#include "reference_items.h"

#include <algorithm>
#include <cmath>

#include "test_support.h"

namespace reference {

Picture LoadPicture(const std::string &label, const std::string &fixture, int n_width, int n_height)
{
    Picture picture{label, test::Fixture(fixture), n_width, n_height, {}};
    const test::Bytes rgba = test::ReadFileBytes(test::Fixture(fixture.substr(0, fixture.rfind('.')) + ".rgba"));
    for(size_t i = 0; i + 3 < rgba.size(); i += 4)
        picture.pixels.push_back(uint32_t(rgba[i + 3]) << 24 | uint32_t(rgba[i]) << 16 | uint32_t(rgba[i + 1]) << 8 |
                                 rgba[i + 2]);
    return picture;
}

uint32_t Channel(uint32_t n_pixel, int n_shift)
{
    return n_pixel >> n_shift & 0xff;
}

uint32_t OverBlack(uint32_t n_pixel)
{
    const double f_alpha = Channel(n_pixel, 24) / 255.0;
    uint32_t n_result = 0xff000000u;
    for(int n_shift = 0; n_shift < 24; n_shift += 8)
        n_result |= uint32_t(std::lround(Channel(n_pixel, n_shift) * f_alpha)) << n_shift;
    return n_result;
}

uint32_t Gray(uint32_t n_pixel)
{
    const double f_gray = Channel(n_pixel, 16) * double(0.299f) + Channel(n_pixel, 8) * double(0.587f) +
                          Channel(n_pixel, 0) * double(0.114f);
    return f_gray >= 255 ? 255 : uint32_t(f_gray);
}

uint32_t Rgb565(uint32_t n_pixel)
{
    return (Channel(n_pixel, 16) >> 3) << 11 | (Channel(n_pixel, 8) >> 2) << 5 | Channel(n_pixel, 0) >> 3;
}

Items EachPixel(const Picture &picture, const std::function<uint32_t(uint32_t)> &item)
{
    Items items;
    for(uint32_t n_pixel : picture.pixels)
        items.push_back(item(n_pixel));
    return items;
}

std::vector<int> MonoBits(const Picture &picture, bool b_dither)
{
    const int w = picture.n_width, h = picture.n_height;
    std::vector<int> work, bits(size_t(w * h));
    for(uint32_t n_pixel : picture.pixels)
        work.push_back(int(Gray(OverBlack(n_pixel))));
    for(int y = 0; y < h; ++y) {
        for(int x = 0; x < w; ++x) {
            const int n_value = work[size_t(y * w + x)];
            bits[size_t(y * w + x)] = n_value >= 128;
            if(!b_dither)
                continue;
            const int e = n_value - (n_value >= 128 ? 255 : 0);
            if(x + 1 < w)
                work[size_t(y * w + x + 1)] += e * 7 / 16;
            if(y + 1 < h && x > 0)
                work[size_t((y + 1) * w + x - 1)] += e * 3 / 16;
            if(y + 1 < h)
                work[size_t((y + 1) * w + x)] += e * 5 / 16;
            if(y + 1 < h && x + 1 < w)
                work[size_t((y + 1) * w + x + 1)] += e * 1 / 16;
        }
    }
    return bits;
}

Items Rows(const std::vector<int> &bits, int n_width, int n_height, bool b_lsb_first)
{
    const int n_row_bytes = (n_width + 7) / 8;
    Items bytes(size_t(n_row_bytes * n_height), 0);
    for(int y = 0; y < n_height; ++y)
        for(int x = 0; x < n_width; ++x)
            if(bits[size_t(y * n_width + x)])
                bytes[size_t(y * n_row_bytes + x / 8)] |= b_lsb_first ? 1u << (x % 8) : 0x80u >> (x % 8);
    return bytes;
}

Items Pages(const std::vector<int> &bits, int n_width, int n_height)
{
    Items bytes(size_t((n_height + 7) / 8 * n_width), 0);
    for(int y = 0; y < n_height; ++y)
        for(int x = 0; x < n_width; ++x)
            if(bits[size_t(y * n_width + x)])
                bytes[size_t(y / 8 * n_width + x)] |= 1u << (y % 8);
    return bytes;
}

Items Bytes(const Items &items, int n_bytes, bool b_low_first)
{
    Items bytes;
    for(uint32_t n_item : items)
        for(int k = 0; k < n_bytes; ++k)
            bytes.push_back(n_item >> (8 * (b_low_first ? k : n_bytes - 1 - k)) & 0xff);
    return bytes;
}

Items PaletteOf(const Picture &picture)
{
    Items palette;
    for(uint32_t n_pixel : picture.pixels)
        if(std::find(palette.begin(), palette.end(), n_pixel) == palette.end())
            palette.push_back(n_pixel);
    return palette;
}

int IndexBits(size_t n_colours)
{
    return n_colours <= 2 ? 1 : n_colours <= 4 ? 2 : n_colours <= 16 ? 4 : 8;
}

Items PackedIndices(const Picture &picture, const Items &palette, int n_bits)
{
    const int n_row_bytes = (picture.n_width * n_bits + 7) / 8;
    Items bytes(size_t(n_row_bytes * picture.n_height), 0);
    for(int y = 0; y < picture.n_height; ++y) {
        for(int x = 0; x < picture.n_width; ++x) {
            const uint32_t n_pixel = picture.pixels[size_t(y * picture.n_width + x)];
            const uint32_t n_index = uint32_t(std::find(palette.begin(), palette.end(), n_pixel) - palette.begin());
            const int n_bit = x * n_bits;
            bytes[size_t(y * n_row_bytes + n_bit / 8)] |= n_index << (8 - n_bits - n_bit % 8);
        }
    }
    return bytes;
}

} // namespace reference
