#include "jpeg_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "jpeg_sequential.h"

namespace test {

using tarnwick::JpegDecoder;
using tarnwick::LoadFailure;

FileInput::FileInput(const Bytes &bytes) : file(bytes)
{
    tarnwick::AttachInputBuffer(input, file.get());
}

ImagePtr DecodeJpegBytes(const Bytes &bytes, LoadFailure *p_failure)
{
    BytesStream file(bytes);
    JpegDecoder decoder;
    ImagePtr p_image(decoder.Decode(file.get()));
    if(p_failure)
        *p_failure = decoder.failure;
    return p_image;
}

ImagePtr DecodeJpegFile(const std::string &path, LoadFailure *p_failure)
{
    LoadFailure failure;
    ImagePtr p_image(tarnwick::LoadImageAtPath(tarnwick::LoadJpegImage, path.c_str(), &failure));
    if(p_failure)
        *p_failure = failure;
    return p_image;
}

bool DecodeMcuThroughReader(tarnwick::JpegFrame &frame, const tarnwick::ScanHeader &header, int32_t n_mcu,
                            tarnwick::BitReader &reader, tarnwick::InputBuffer &input)
{
    tarnwick::BitReaderWindow window = tarnwick::OpenWindow(reader, input);
    tarnwick::CoefficientBlock block = tarnwick::ZeroBlock();
    const tarnwick::NaturalFactors factors = tarnwick::NaturalFactorsOf(header);
    const bool b_decoded = tarnwick::DecodeMcu(frame, header, factors, n_mcu, window, input, block);
    tarnwick::CloseWindow(window, reader, input);
    return b_decoded;
}

Bytes Marker(uint16_t n_marker)
{
    return {uint8_t(n_marker >> 8), uint8_t(n_marker)};
}

Bytes Segment(uint16_t n_marker, const Bytes &body)
{
    return SegmentWithLength(n_marker, uint16_t(body.size() + 2), body);
}

Bytes SegmentWithLength(uint16_t n_marker, uint16_t n_length, const Bytes &body)
{
    return Join({Marker(n_marker), {uint8_t(n_length >> 8), uint8_t(n_length)}, body});
}

const Bytes kSoi = Marker(0xFFD8);
const Bytes kEoi = Marker(0xFFD9);

Bytes QuantBody8(uint8_t n_table_byte, uint8_t n_value)
{
    Bytes body(1 + 64, n_value);
    body[0] = n_table_byte;
    return body;
}

Bytes Dqt8(uint8_t n_id, uint8_t n_value)
{
    return Segment(0xFFDB, QuantBody8(n_id, n_value));
}

Bytes FrameBody(uint16_t n_width, uint16_t n_height, const std::vector<ComponentFields> &components,
                uint8_t n_precision)
{
    Bytes body = {n_precision, uint8_t(n_height >> 8), uint8_t(n_height), uint8_t(n_width >> 8), uint8_t(n_width),
                  uint8_t(components.size())};
    for(const ComponentFields &c : components)
        body.insert(body.end(), {c.n_id, c.n_sampling, c.n_quant_table});
    return body;
}

Bytes Sof0(uint16_t n_width, uint16_t n_height, const std::vector<ComponentFields> &components)
{
    return Segment(0xFFC0, FrameBody(n_width, n_height, components));
}

Bytes GraySof0(uint16_t n_width, uint16_t n_height)
{
    return Sof0(n_width, n_height, {{1, 0x11, 0}});
}

const std::vector<ComponentFields> kYcc420 = {{1, 0x22, 0}, {2, 0x11, 1}, {3, 0x11, 1}};

Bytes FlatScan(const Bytes &ids, int n_blocks)
{
    Bytes dht_body;
    for(uint8_t n_table_byte : {0x03, 0x13}) {
        dht_body.insert(dht_body.end(), {n_table_byte, 1});
        dht_body.resize(dht_body.size() + 15, 0);
        dht_body.push_back(0x00);
    }
    Bytes sos_body = {uint8_t(ids.size())};
    for(uint8_t n_id : ids)
        sos_body.insert(sos_body.end(), {n_id, 0x33});
    sos_body.insert(sos_body.end(), {0, 63, 0});
    return Join({Segment(0xFFC4, dht_body), Segment(0xFFDA, sos_body), Bytes(size_t(n_blocks + 3) / 4, 0x00)});
}

std::vector<int> ZigzagWalk()
{
    std::vector<int> natural;
    for(int s = 0; s < 15; ++s) {
        const int n_low = s < 8 ? 0 : s - 7, n_high = s < 8 ? s : 7;
        for(int i = 0; i <= n_high - n_low; ++i) {
            const int r = s % 2 ? n_low + i : n_high - i;
            natural.push_back(r * 8 + (s - r));
        }
    }
    return natural;
}

double IdctScaleFactor(int j)
{
    return j ? std::sqrt(2.0) * std::cos(j * std::acos(-1.0) / 16) : 1.0;
}

// ---- Reference pictures ------------------------------------------------

namespace {

constexpr double kMinColorPsnr = 42.0;
constexpr int kMaxColorDifference = 5;
constexpr double kMinGrayPsnr = 49.0;
constexpr int kMaxGrayDifference = 2;

} // namespace

bool ReadPnm(const std::string &path, Pnm &pnm)
{
    const Bytes bytes = test::ReadFileBytes(path);
    size_t i = 0;
    auto next_token = [&]() {
        std::string token;
        while(i < bytes.size() && std::isspace(bytes[i]))
            ++i;
        while(i < bytes.size() && !std::isspace(bytes[i]))
            token += char(bytes[i++]);
        return token;
    };
    const std::string magic = next_token();
    pnm.n_channels = magic == "P6" ? 3 : (magic == "P5" ? 1 : 0);
    pnm.n_width = std::atoi(next_token().c_str());
    pnm.n_height = std::atoi(next_token().c_str());
    const std::string maxval = next_token();
    ++i; // the single whitespace byte before the samples
    const size_t n_size = size_t(pnm.n_width) * size_t(pnm.n_height) * size_t(pnm.n_channels);
    if(!pnm.n_channels || maxval != "255" || i + n_size > bytes.size())
        return false;
    pnm.samples.assign(bytes.begin() + long(i), bytes.begin() + long(i + n_size));
    return true;
}

Difference Compare(const tarnwick::Image &image, const Pnm &reference)
{
    double sum = 0.0;
    int n_max = 0;
    size_t n_count = 0;
    for(int y = 0; y < image.n_height; ++y)
        for(int x = 0; x < image.n_width; ++x) {
            const uint32_t n_pixel = image.p_buffer[size_t(y) * size_t(image.n_width) + size_t(x)];
            for(int c = 0; c < 3; ++c) {
                const int n_ours = int(n_pixel >> (16 - 8 * c) & 0xFF);
                const size_t n_index = (size_t(y) * size_t(reference.n_width) + size_t(x)) * size_t(reference.n_channels) +
                                       size_t(reference.n_channels == 3 ? c : 0);
                const int n_delta = n_ours - int(reference.samples[n_index]);
                sum += double(n_delta) * n_delta;
                n_max = std::max(n_max, std::abs(n_delta));
                ++n_count;
            }
        }
    const double mse = n_count ? sum / double(n_count) : 0.0;
    return Difference{mse > 0.0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0, n_max};
}

void ExpectCloseToReference(const std::string &jpeg_path, const std::string &reference_path)
{
    SCOPED_TRACE(jpeg_path);
    Pnm reference;
    ASSERT_TRUE(ReadPnm(reference_path, reference)) << reference_path;
    ImagePtr p_image = test::DecodeJpegFile(jpeg_path);
    ASSERT_TRUE(p_image);
    ASSERT_EQ(p_image->n_width, reference.n_width);
    ASSERT_EQ(p_image->n_height, reference.n_height);
    EXPECT_EQ(p_image->n_bpp, 8);
    EXPECT_EQ(p_image->b_grayscale, reference.n_channels == 1);
    EXPECT_EQ(p_image->b_alpha, 0);
    const size_t n_pixels = size_t(n_PixelCount(*p_image));
    for(size_t i = 0; i < n_pixels; ++i) {
        const uint32_t n_pixel = p_image->p_buffer[i];
        ASSERT_EQ(n_pixel >> 24, 0xFFu) << "pixel " << i;
        if(reference.n_channels == 1) {
            ASSERT_EQ(n_pixel, 0xFF000000u | (n_pixel & 0xFF) * 0x010101u) << "pixel " << i;
        }
    }
    const Difference difference = Compare(*p_image, reference);
    const bool b_gray = reference.n_channels == 1;
    EXPECT_GE(difference.psnr, b_gray ? kMinGrayPsnr : kMinColorPsnr);
    EXPECT_LE(difference.n_max, b_gray ? kMaxGrayDifference : kMaxColorDifference);
    std::printf("  %-30s %4d x %-4d PSNR %.2f dB, largest difference %d\n", jpeg_path.substr(jpeg_path.rfind('/') + 1).c_str(),
                p_image->n_width, p_image->n_height, difference.psnr, difference.n_max);
}

} // namespace test
