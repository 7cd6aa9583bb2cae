// Huffman JPEG decoder, sequential and progressive: the state of one decode
// and its entry points.
//
// A decode walks the file's markers through an InputBuffer and hands each
// marker segment to the handler that kMarkerHandlers holds for it. Tables and
// frame fields accumulate in the JpegDecoder; the frame header allocates one
// sample plane per component. In a sequential frame (SOF0, SOF1) each scan
// decodes MCU after MCU, every 8x8 block going through StoreBlock into its
// plane. In a progressive frame (SOF2) the scans refine the coefficients of
// every block, kept until the end of the image, which then go through
// StoreBlock all at once. At the end-of-image marker the planes become a new
// Image. Every other frame kind is refused.
//
// Component IDs are labels: the scans name components by ID, and every
// per-component array below is indexed by the component's position in the
// frame header. Planes hold one signed byte per sample (sample - 128),
// row-major, with n_plane_widths[i] bytes per row; both padded sizes are
// multiples of 8. The scan handler ParseScan is declared in jpeg_scan.h, the
// progressive scans and the coefficient store in jpeg_progressive.h, the
// block store in jpeg_idct.h and the assembly of the Image in jpeg_color.h.
#ifndef TARNWICK_JPEG_DECODER_H
#define TARNWICK_JPEG_DECODER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "image.h"
#include "image_input.h"
#include "input_buffer.h"

namespace tarnwick {

struct QuantTable {
    uint8_t b_16bit;    // entries were 16 bits wide in the segment
    uint8_t b_defined;  // a segment of the current decode filled this table
    float factors[64];  // zigzag order, times the inverse-DCT scale factors
};

// Codes of up to this many bits are found with one look at a table.
constexpr int kLookaheadBits = 9;

struct HuffmanTable {
    uint8_t b_defined;                    // a segment of this decode filled it
    uint8_t n_code_counts[16];            // [i]: codes of length i + 1
    const uint8_t *p_first_values[16];    // [i]: first symbol of length i + 1
    uint16_t n_first_codes[16];           // [i]: first canonical code of length i + 1
    uint8_t symbols[256];                 // by increasing code length

    // The lookahead tables, built by BuildLookahead (jpeg_bits.h) at the
    // first scan that decodes with the table, so that a file of nothing but
    // table segments costs no more than their parsing; b_lookahead_built
    // drops whenever a segment defines the table anew.
    uint8_t b_lookahead_built;
    // Index of the length where the search for a code longer than
    // kLookaheadBits starts: kLookaheadBits, or the shortest length that has
    // codes if that is longer.
    uint8_t n_long_code_start;
    // [p], p the next kLookaheadBits bits: the code they begin with, as its
    // length in bits << 8 | its symbol; 0 when no code of up to
    // kLookaheadBits bits matches.
    uint16_t lookahead[1 << kLookaheadBits];
    // [p]: for a symbol of run r and size s != 0 whose code and s value bits
    // all lie within p, the value (EXTEND applied) << 16 | r << 8 | code
    // length + s; 0 otherwise. (Used by the tables of AC coefficients.)
    uint32_t coefficient_lookahead[1 << kLookaheadBits];
};

struct FrameComponent {
    uint8_t n_id;
    uint8_t n_h_sampling;
    uint8_t n_v_sampling;
    uint8_t n_h_upsample; // largest horizontal factor / this one
    uint8_t n_v_upsample; // largest vertical factor / this one
    uint8_t n_quant_table;
    // The component's own extent in blocks, ceil(ceil(width * H / hmax) / 8)
    // by ceil(ceil(height * V / vmax) / 8): what a scan of this component
    // alone walks.
    uint16_t n_blocks_across;
    uint16_t n_blocks_down;
};

struct JpegDecoder {
    // Limits of the record, checked where the file's fields are read: table
    // ids and Huffman classes index the fixed table slots, the number of
    // components the four per-component slots below, and a frame side below
    // 32768 stays positive in the signed 16-bit size fields and keeps every
    // plane under 2^30 bytes.
    static constexpr uint8_t kMaxTableId = 3;
    static constexpr uint8_t kMaxHuffmanClass = 1;
    static constexpr int kMaxHuffmanSymbols = 256;
    static constexpr uint8_t kMaxComponents = 4;
    static constexpr uint8_t kMaxSamplingFactor = 15;
    static constexpr uint16_t kMaxFrameSide = 32767;
    // Scans of one image. Encoders write 1 to 4 scans for a sequential frame
    // and 6 to 14 for a progressive one (cjpeg, jpegtran, ImageMagick,
    // Pillow: 6 gray, 10 YCbCr, 14 RGB); even a script that sends several
    // coefficient bands of three components at two or three precisions
    // stays within a few dozen. A refinement's end-of-band runs may walk
    // every block of its component without reading data (about 1 ms over
    // 65536 blocks for a band of 63 positions), so the limit caps the work a
    // file can ask for that way: the 101st scan fails the decode.
    static constexpr uint16_t kMaxScans = 100;

    QuantTable quant_tables[4];
    HuffmanTable huffman_tables[4][2]; // [table id][0 = DC, 1 = AC]
    uint8_t n_precision;
    int16_t n_frame_height;
    int16_t n_frame_width;
    // The frame's geometry, set once by the frame header: the largest
    // sampling factors, and the MCU grid of an interleaved scan, MCUs of
    // 8 * n_h_max x 8 * n_v_max samples.
    uint8_t n_h_max;
    uint8_t n_v_max;
    int32_t n_mcu_count;
    int32_t n_mcus_per_row;
    uint8_t n_components;
    FrameComponent components[4];
    uint8_t b_progressive; // the frame header was SOF2
    uint8_t b_restart;
    uint16_t n_restart_interval;
    // b_frame_seen is 0 at the start of every decode, while a frame header is
    // being read and once the planes are released. Only a frame header that
    // was read whole, passed every limit above and got all its planes (and,
    // for a progressive frame, its coefficient store) sets it, and then it
    // guarantees: n_components is 1 or 3; components[0 .. n_components - 1]
    // have distinct n_id (any byte), sampling factors 1..15, upsample
    // factors 1..15 and n_quant_table 0..3; for each position i below
    // n_components, p_planes[i] is a zero-filled plane of n_plane_widths[i] x
    // n_plane_heights[i] bytes (multiples of 8), and in a progressive frame
    // p_coefficients[i] holds 64 zeros for each of its 8x8 blocks; the frame
    // is 1..32767 samples each way and n_mcu_count = n_mcus_per_row x MCU
    // rows. So a scan or the end-of-image marker must fail while it is 0.
    // Tables are another matter: a quantisation table may arrive after the
    // frame header, so the scan itself must refuse a component whose
    // QuantTable, or a selector whose HuffmanTable, has b_defined 0 (Decode
    // clears all twelve marks first).
    uint8_t b_frame_seen;
    // Bit i is set once the DC coefficients of component i are complete: a
    // sequential scan carrying it, or a progressive scan of the first bits of
    // its DC coefficients, has decoded all its MCUs since the frame header.
    // The end-of-image marker refuses a frame with a component whose bit is
    // clear, and a progressive AC scan a component whose bit is clear:
    // coding a block's DC costs at least one bit, so this keeps the work of
    // the later scans and of assembling the Image in proportion to the data
    // the file really holds, and a header-only file of a few bytes never
    // becomes an Image as large as it declares.
    uint8_t n_dc_complete_bits;
    uint16_t n_scan_count; // scans met since the frame header
    int8_t *p_planes[4];
    uint16_t n_plane_widths[4];
    uint16_t n_plane_heights[4];
    int16_t n_dc_predictors[4];

    // The colour transform segments: a JFIF APP0 (its samples are YCbCr) and
    // an Adobe APP14 with its transform (0: RGB or CMYK, 1: YCbCr, 2: YCCK).
    // Cleared when a decode begins; read at the end-of-image marker.
    uint8_t b_jfif_seen;
    uint8_t b_adobe_seen;
    uint8_t n_adobe_transform;

    // Progressive frames: the quantised coefficients of every block, kept
    // until the end of the image. p_coefficient_store is the one allocation
    // of the frame (AllocateCoefficientStore, jpeg_progressive.h);
    // p_coefficients[i] points at component i's blocks inside it, 64 values
    // in zigzag order for each, in rows of n_plane_widths[i] / 8 blocks and
    // n_plane_heights[i] / 8 rows: one block for each 8x8 block of its plane.
    // nullptr in a sequential frame and once released.
    int16_t *p_coefficient_store;
    size_t n_coefficient_blocks; // blocks of 64 values in the store
    int16_t *p_coefficients[4];
    // The successive-approximation state of component i's zigzag position k:
    // -1 until a scan has coded its first bits, then the bit position Al of
    // the last scan that coded it (0 once it is complete).
    int8_t n_coefficient_bits[4][64];
    // Bit k is set once some block of component i has a coefficient at
    // zigzag position k that is not zero: a refinement's end-of-band run over
    // a band without one has nothing to refine and is passed over at once.
    uint64_t n_nonzero_positions[4];
    // The quantisation factors of component i (zigzag order, scale factors
    // folded in), copied at its first scan: the coefficients are dequantised
    // at the end of the image, with the table that was in force when the
    // component's data began, even if a later segment replaces it.
    float dequant_factors[4][64];

    // Why the decode failed; kNone until it does. A handler that refuses its
    // segment for a reason of its own (a frame kind, a size, an allocation)
    // sets it; any other failure becomes kNotJpeg before a start-of-image
    // marker, kTruncated once the input has ended, kCorruptData otherwise.
    // A failed decode has released its planes and coefficients and keeps
    // b_frame_seen 0.
    LoadFailure failure;

    // Decodes the open file (read forward, never rewound or closed) into a
    // new Image, or returns nullptr with the cause in failure. Needs no prior
    // initialisation; every plane and the coefficient store are released
    // before it returns.
    Image *Decode(InputStream &stream);
};

// Opens the picture, decodes it with a fresh JpegDecoder and closes it;
// nullptr with the cause in *p_failure (kNone with an Image).
Image *LoadJpegImage(const ImageInput &input, LoadFailure *p_failure);

// Zigzag position k (1..63) -> natural index row * 8 + column, at entry k - 1.
extern const uint8_t kZigzagToNatural[63];

// One marker segment handler: true to go on, false to fail the decode.
typedef bool (*MarkerHandler)(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);

// Records the cause of a failing decode; returns false for the handler to pass on.
inline bool FailDecode(JpegDecoder &decoder, LoadFailure cause)
{
    decoder.failure = cause;
    return false;
}

bool AcceptMarker(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
// Fails the decode with the cause of a frame kind or feature not decoded here.
template <LoadFailure kCause>
bool RefuseMarker(uint16_t, JpegDecoder &decoder, InputBuffer &)
{
    return FailDecode(decoder, kCause);
}
bool SkipSegment(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseApp0(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseAdobeSegment(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseRestartInterval(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseQuantTables(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseHuffmanTables(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseFrameHeader(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);

// Releases a sample plane of n_width x n_height bytes (a block of
// memory_block.h); accepts nullptr.
void FreePlane(int8_t *p_plane, uint16_t n_width, uint16_t n_height);

// From the frame size and the components' sampling factors: n_h_max, n_v_max,
// the MCU grid, and each component's upsampling factors and extent in blocks.
void SetFrameGeometry(JpegDecoder &decoder);

} // namespace tarnwick

#endif // TARNWICK_JPEG_DECODER_H
