// Progressive JPEG (SOF2): the coefficient store, the four kinds of
// progressive scan, and the inverse DCT of every block at the end of the
// image.
//
// A progressive frame sends each block's quantised coefficients in pieces:
// spectral selection splits the 64 zigzag positions into bands (the DC
// coefficient alone, or a run Ss..Se of AC positions), and successive
// approximation splits the bits of each coefficient: a first scan of a band
// sends the values shifted right by Al, each refinement scan one bit more
// (ITU-T T.81, Annex G). So the coefficients of every block are kept, as
// 16-bit integers, until the end of the image; then they are dequantised and
// go through the same float inverse DCT (StoreBlock), upsampling and colour
// conversion as a sequential frame's, so that a progressive file and its
// sequential twin holding the same coefficients decode to the same pixels.
#ifndef TARNWICK_JPEG_PROGRESSIVE_H
#define TARNWICK_JPEG_PROGRESSIVE_H

#include <cstddef>
#include <cstdint>

#include "input_buffer.h"
#include "jpeg_frame.h"
#include "jpeg_scan_common.h"

namespace tarnwick {

// What a progressive frame keeps beside its JpegFrame until the end of the
// image.
struct ProgressiveState {
    // The quantised coefficients of every block: p_coefficient_store is the
    // one allocation of the frame (AllocateCoefficients); p_coefficients[i]
    // points at component i's blocks inside it, 64 values in zigzag order for
    // each, in rows of n_plane_widths[i] / 8 blocks and n_plane_heights[i] / 8
    // rows: one block for each 8x8 block of its plane. nullptr in a
    // sequential frame and once released.
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
};

// No store: the state of a sequential frame, and of a progressive one before
// its frame header.
void ClearCoefficients(ProgressiveState &state);
// Releases the store, if any, and clears the pointers into it.
void ReleaseCoefficients(ProgressiveState &state);

// For a progressive frame whose planes are allocated: the coefficient store
// (a block for each 8x8 block of every plane), each component's pointer into
// it, and the successive-approximation state of a frame that no scan has
// touched. False when the store cannot be allocated.
bool AllocateCoefficients(const JpegFrame &frame, ProgressiveState &state);

// The scan header follows the progression of ITU-T T.81 G.1.1.1: a DC scan
// (Ss = Se = 0) of any components, or an AC scan (1 <= Ss <= Se <= 63) of
// one component whose DC coefficients are complete; Al at most 13; a first
// scan (Ah = 0) of positions no scan has coded yet, or a refinement whose Ah
// is the Al of the last scan of every one of its positions and whose Al is
// Ah - 1.
bool b_IsValidProgressiveScan(const JpegFrame &frame, const ProgressiveState &state, const ScanHeader &header);

// Decodes every MCU of a progressive scan of one or more components into the
// coefficient store, with a restart marker after every n_restart_interval
// MCUs (0: none); false on corrupt data or when the input ended.
bool DecodeProgressiveScan(JpegFrame &frame, ProgressiveState &state, const ScanHeader &header,
                           uint16_t n_restart_interval, InputBuffer &input);

// At the end of the image: dequantises the coefficients of every block of
// every plane and stores their inverse DCT there.
void TransformCoefficients(JpegFrame &frame, const ProgressiveState &state);

} // namespace tarnwick

#endif // TARNWICK_JPEG_PROGRESSIVE_H
