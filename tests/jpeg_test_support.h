// JPEG test helpers: an InputBuffer over given bytes, decoding bytes or a
// path with the cause of a failure, one sequential MCU read through a
// BitReader, byte builders for marker segments, the zigzag order as the
// diagonal walk, the inverse DCT's scale factors, and the comparison with
// libjpeg's reference pictures.
#ifndef TARNWICK_TESTS_JPEG_TEST_SUPPORT_H
#define TARNWICK_TESTS_JPEG_TEST_SUPPORT_H

#include <cstdio>
#include <string>
#include <vector>

#include "jpeg_bits.h"
#include "jpeg_decoder.h"
#include "jpeg_scan_common.h"
#include "test_support.h"

namespace test {

// An InputBuffer attached to a stream over the bytes.
struct FileInput {
    explicit FileInput(const Bytes &bytes);
    BytesStream file;
    tarnwick::InputBuffer input;
};

// Decodes the bytes or the file with a fresh decoder; *p_failure (when
// given) gets the decoder's cause.
ImagePtr DecodeJpegBytes(const Bytes &bytes, tarnwick::LoadFailure *p_failure = nullptr);
ImagePtr DecodeJpegFile(const std::string &path, tarnwick::LoadFailure *p_failure = nullptr);

// Decodes MCU n_mcu of a sequential scan as the scan does, through a window
// opened from the reader and closed into it again, so that the reader and
// the input can be looked at between MCUs.
bool DecodeMcuThroughReader(tarnwick::JpegFrame &frame, const tarnwick::ScanHeader &header, int32_t n_mcu,
                            tarnwick::BitReader &reader, tarnwick::InputBuffer &input);

// ---- Marker segments -------------------------------------------------------

Bytes Marker(uint16_t n_marker);
// Marker, length (counting itself) and body.
Bytes Segment(uint16_t n_marker, const Bytes &body);
// Marker and a length field that disagrees with what follows.
Bytes SegmentWithLength(uint16_t n_marker, uint16_t n_length, const Bytes &body);

extern const Bytes kSoi;
extern const Bytes kEoi;

// One 8-bit quantisation table body with every entry n_value.
Bytes QuantBody8(uint8_t n_table_byte, uint8_t n_value);
Bytes Dqt8(uint8_t n_id, uint8_t n_value = 1);

struct ComponentFields {
    uint8_t n_id, n_sampling, n_quant_table;
};

Bytes FrameBody(uint16_t n_width, uint16_t n_height, const std::vector<ComponentFields> &components,
                uint8_t n_precision = 8);
Bytes Sof0(uint16_t n_width, uint16_t n_height, const std::vector<ComponentFields> &components);
Bytes GraySof0(uint16_t n_width, uint16_t n_height);

extern const std::vector<ComponentFields> kYcc420;

// Huffman table 3 of both classes holding one 1-bit code, for symbol 0, and a
// scan of the given components over them: each pair of zero bits is a flat
// block (DC difference 0, then end of block), n_blocks of them in whole
// bytes. The components' quantisation tables must be defined elsewhere.
Bytes FlatScan(const Bytes &ids, int n_blocks = 1);

// The zigzag sequence (natural index of each zigzag position 0..63), walked
// diagonal by diagonal: odd diagonals run down-left, even ones up-right.
std::vector<int> ZigzagWalk();

// The inverse DCT's scale factor of row or column j in double precision:
// 1 for j = 0, sqrt(2) cos(j pi / 16) else.
double IdctScaleFactor(int j);

// ---- Reference pictures ------------------------------------------------

// A binary PGM (P5) or PPM (P6) with maxval 255.
struct Pnm {
    int n_width = 0, n_height = 0, n_channels = 0;
    Bytes samples;
};
bool ReadPnm(const std::string &path, Pnm &pnm);

struct Difference {
    double psnr = 0.0;
    int n_max = 0;
};
// Compares the decoded pixels with the reference channel by channel; a gray
// reference is compared with each of the three colour bytes.
Difference Compare(const tarnwick::Image &image, const Pnm &reference);

// Decodes the JPEG file and expects an 8-bit opaque Image of the
// reference's size, gray exactly when the reference is, within the
// tolerance of libjpeg's float inverse DCT (see jpeg_files_test.cpp): at
// least 42 dB PSNR and at most 5 levels apart for colour, 49 dB and 2 levels
// for gray. Prints the figures.
void ExpectCloseToReference(const std::string &jpeg_path, const std::string &reference_path);

} // namespace test

#endif // TARNWICK_TESTS_JPEG_TEST_SUPPORT_H
