// The frame of a JPEG decode: what its frame header declares (size, the
// components and their sampling), the geometry worked out from it, the
// sample planes the scans fill, and the quantisation tables the components
// name. Every stage below the marker loop works on a JpegFrame.
//
// Component IDs are labels: the scans name components by ID, and every
// per-component array below is indexed by the component's position in the
// frame header. A plane holds one signed byte per sample (sample - 128),
// row-major, with n_plane_widths[i] bytes per row; both padded sizes are
// multiples of 8.
#ifndef TARNWICK_JPEG_FRAME_H
#define TARNWICK_JPEG_FRAME_H

#include <cstdint>

namespace tarnwick {

// Zigzag position k (1..63) -> natural index row * 8 + column, at entry k - 1.
extern const uint8_t kZigzagToNatural[63];

struct QuantTable {
    uint8_t b_16bit;    // entries were 16 bits wide in the segment
    uint8_t b_defined;  // a segment of the current decode filled this table
    float factors[64];  // zigzag order, times the inverse-DCT scale factors
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

// Limits of the frame, checked where the frame header is read: quantisation
// table ids index the four table slots, the number of components the four
// per-component slots, and a frame side below 32768 stays positive in the
// signed 16-bit size fields and keeps every plane under 2^30 bytes.
constexpr uint8_t kMaxTableId = 3;
constexpr uint8_t kMaxComponents = 4;
constexpr uint8_t kMaxSamplingFactor = 15;
constexpr uint16_t kMaxFrameSide = 32767;

struct JpegFrame {
    uint8_t n_precision;
    int16_t n_height;
    int16_t n_width;
    uint8_t n_components;
    FrameComponent components[4];
    uint8_t b_progressive; // the frame header was SOF2
    // The geometry, set by SetFrameGeometry: the largest sampling factors,
    // and the MCU grid of an interleaved scan, MCUs of 8 * n_h_max x
    // 8 * n_v_max samples.
    uint8_t n_h_max;
    uint8_t n_v_max;
    int32_t n_mcu_count;
    int32_t n_mcus_per_row;
    // b_frame_seen is 0 at the start of every decode, while a frame header is
    // being read and once the planes are released. Only a frame header that
    // was read whole, passed every limit above and got all its planes (and,
    // for a progressive frame, its coefficient store) sets it, and then it
    // guarantees: n_components is 1, 3 or 4; components[0 .. n_components -
    // 1] have distinct n_id (any byte), sampling factors 1..15, upsample
    // factors 1..15 and n_quant_table 0..3; for each position i below
    // n_components, p_planes[i] is a zero-filled plane of n_plane_widths[i] x
    // n_plane_heights[i] bytes (multiples of 8); the frame is 1..32767
    // samples each way and n_mcu_count = n_mcus_per_row x MCU rows. So a scan
    // or the end-of-image marker must fail while it is 0. Tables are another
    // matter: a quantisation table may arrive after the frame header, so the
    // scan itself must refuse a component whose QuantTable, or a selector
    // whose HuffmanTable, has b_defined 0.
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
    int8_t *p_planes[4];
    uint16_t n_plane_widths[4];
    uint16_t n_plane_heights[4];
    int16_t n_dc_predictors[4];
};

// From the frame size and the components' sampling factors: n_h_max, n_v_max,
// the MCU grid, and each component's upsampling factors and extent in blocks.
void SetFrameGeometry(JpegFrame &frame);
// Sizes and allocates the plane of each component, zero-filled so that a
// sample no block writes reads as the mid level 128; false when an allocation
// fails (the planes allocated so far stay recorded for ReleasePlanes).
bool AllocatePlanes(JpegFrame &frame);
// Releases every plane that is allocated; b_frame_seen and the DC marks drop
// with them, so that they never stand for memory that is gone.
void ReleasePlanes(JpegFrame &frame);

} // namespace tarnwick

#endif // TARNWICK_JPEG_FRAME_H
