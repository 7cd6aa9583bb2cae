#include "jpeg_test_support.h"

#include <cmath>

namespace test {

using tarnwick::JpegDecoder;
using tarnwick::LoadFailure;

FileInput::FileInput(const Bytes &bytes) : file(bytes)
{
    tarnwick::AttachInputBuffer(input, file.get());
}

namespace {

ImagePtr DecodeOpenFile(FILE *p_file, LoadFailure *p_failure)
{
    if(!p_file)
        return nullptr;
    JpegDecoder decoder;
    ImagePtr p_image(decoder.Decode(p_file));
    if(p_failure)
        *p_failure = decoder.failure;
    return p_image;
}

} // namespace

ImagePtr DecodeJpegBytes(const Bytes &bytes, LoadFailure *p_failure)
{
    OpenBytesFile file(bytes);
    return DecodeOpenFile(file.get(), p_failure);
}

ImagePtr DecodeJpegFile(const std::string &path, LoadFailure *p_failure)
{
    FILE *p_file = std::fopen(path.c_str(), "rb");
    ImagePtr p_image = DecodeOpenFile(p_file, p_failure);
    if(p_file)
        std::fclose(p_file);
    return p_image;
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

} // namespace test
