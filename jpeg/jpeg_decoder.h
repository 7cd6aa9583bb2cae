// Sequential Huffman JPEG decoder: the state of one decode and its entry points.
//
// A decode walks the file's markers through an InputBuffer and hands each
// marker segment to the handler that kMarkerHandlers holds for it. Tables and
// frame fields accumulate in the JpegDecoder; the frame header allocates one
// sample plane per component; each scan decodes MCU after MCU, every 8x8 block
// going through StoreBlock into its plane; at the end-of-image marker the
// planes become a new Image. Baseline and extended sequential Huffman frames
// (SOF0, SOF1) are decoded; every other frame kind is refused.
//
// Planes hold one signed byte per sample (sample - 128), row-major, with
// n_plane_widths[id - 1] bytes per row; both padded sizes are multiples of 8.
// The per-component arrays are indexed by component ID - 1, not by position.
#ifndef TARNWICK_JPEG_DECODER_H
#define TARNWICK_JPEG_DECODER_H

#include <cstdint>
#include <cstdio>

#include "image.h"
#include "input_buffer.h"

struct QuantTable {
    uint8_t b_16bit;    // entries were 16 bits wide in the segment
    uint8_t b_defined;  // a segment of the current decode filled this table
    float factors[64];  // zigzag order, times the inverse-DCT scale factors
};

struct HuffmanTable {
    uint8_t b_defined;                    // a segment of this decode filled it
    uint8_t n_code_counts[16];            // [i]: codes of length i + 1
    const uint8_t *p_first_values[16];    // [i]: first symbol of length i + 1
    uint16_t n_first_codes[16];           // [i]: first canonical code of length i + 1
    uint8_t symbols[256];                 // by increasing code length
};

struct FrameComponent {
    uint8_t n_id;
    uint8_t n_h_sampling;
    uint8_t n_v_sampling;
    uint8_t n_h_upsample; // largest horizontal factor / this one
    uint8_t n_v_upsample; // largest vertical factor / this one
    uint8_t n_quant_table;
};

struct JpegDecoder {
    // Limits of the record, checked where the file's fields are read: table
    // ids and Huffman classes index the fixed table slots, component IDs the
    // four per-ID slots below, and a frame side below 32768 stays positive in
    // the signed 16-bit size fields and keeps every plane under 2^30 bytes.
    static constexpr uint8_t kMaxTableId = 3;
    static constexpr uint8_t kMaxHuffmanClass = 1;
    static constexpr int kMaxHuffmanSymbols = 256;
    static constexpr uint8_t kMaxComponents = 4;
    static constexpr uint8_t kMaxSamplingFactor = 15;
    static constexpr uint16_t kMaxFrameSide = 32767;

    QuantTable quant_tables[4];
    HuffmanTable huffman_tables[4][2]; // [table id][0 = DC, 1 = AC]
    uint8_t n_precision;
    int16_t n_frame_height;
    int16_t n_frame_width;
    int32_t n_mcu_count;
    int32_t n_mcus_per_row;
    uint8_t n_components;
    FrameComponent components[4];
    uint8_t b_restart;
    uint16_t n_restart_interval;
    // b_frame_seen is 0 at the start of every decode, while a frame header is
    // being read and once the planes are released. Only a frame header that
    // was read whole, passed every limit above and got all its planes sets it,
    // and then it guarantees: n_components is 1..4;
    // components[0 .. n_components - 1] have distinct n_id 1..4, sampling
    // factors 1..15, upsample factors 1..15 and n_quant_table 0..3; for each
    // of them p_planes[n_id - 1] is a zero-filled plane of n_plane_widths x
    // n_plane_heights bytes (multiples of 8); the frame is 0..32767 samples
    // each way and n_mcu_count = n_mcus_per_row x MCU rows. So a scan or the
    // end-of-image marker must fail while it is 0. Tables are another matter:
    // a quantisation table may arrive after the frame header, so the scan
    // itself must refuse a component whose QuantTable, or a selector whose
    // HuffmanTable, has b_defined 0 (Decode clears all twelve marks first).
    uint8_t b_frame_seen;
    // Bit ID - 1 is set once a scan carrying that component has decoded all
    // its MCUs since the frame header. Every component of a frame is coded in
    // some scan, and the end-of-image marker refuses a frame that has one no
    // scan carried: otherwise a header-only file of a few bytes would become
    // an Image as large as it declares, filled with the mid level.
    uint8_t n_scanned_id_bits;
    int8_t *p_planes[4];
    uint16_t n_plane_widths[4];
    uint16_t n_plane_heights[4];
    int16_t n_dc_predictors[4];

    // Decodes the open file (read, never rewound or closed) into a new Image,
    // or returns nullptr. Needs no prior initialisation; every plane is
    // released before it returns.
    Image *Decode(FILE *p_file);
};

// Zigzag position k (1..63) -> natural index row * 8 + column, at entry k - 1.
extern const uint8_t kZigzagToNatural[63];
// s[0] = 1, s[j] = sqrt(2) * cos(j * pi / 16).
extern const float kIdctScaleFactors[8];

// One marker segment handler: true to go on, false to fail the decode.
typedef bool (*MarkerHandler)(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);

bool AcceptMarker(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool RefuseMarker(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool SkipSegment(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool SkipApp0(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseRestartInterval(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseQuantTables(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseHuffmanTables(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseFrameHeader(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
// Scan header and entropy-coded data (jpeg_scan.cpp).
bool ParseScan(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);

// Inverse DCT of 64 dequantised, pre-scaled coefficients (natural order) into
// an 8x8 block of clamped, truncated samples at p_dest, rows n_stride apart.
void StoreBlock(const float *p_coefficients, int8_t *p_dest, int n_stride);

// Fill image.p_buffer from the planes (jpeg_color.cpp).
void AssembleColorImage(Image &image, const FrameComponent *p_components,
                        int8_t *const *p_planes, const uint16_t *n_plane_widths);
void AssembleGrayImage(Image &image, const FrameComponent &component,
                       int8_t *const *p_planes, const uint16_t *n_plane_widths);

#endif // TARNWICK_JPEG_DECODER_H
