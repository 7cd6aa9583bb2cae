// Sequential scans (SOF0, SOF1): each block is decoded whole, dequantised
// and stored through the inverse DCT into its plane, MCU after MCU.
//
// Each block is a DC difference (a size symbol, then that many bits, added to
// the component's predictor) and AC run/size symbols until end-of-block or
// position 63. Coefficients are multiplied by the quantisation factors (the
// inverse-DCT scale factors are already folded in), placed at their natural
// position through the zigzag table and stored by StoreBlock. Blocks beyond a
// plane's padded size are decoded and dropped.
#ifndef TARNWICK_JPEG_SEQUENTIAL_H
#define TARNWICK_JPEG_SEQUENTIAL_H

#include <cstdint>

#include "input_buffer.h"
#include "jpeg_bits.h"
#include "jpeg_frame.h"
#include "jpeg_scan_common.h"

namespace tarnwick {

// The quantisation factors of each component of a scan, in natural order
// (the tables hold them in zigzag order): the blocks are dequantised in
// natural order, inside the transform.
struct NaturalFactors {
    float values[kMaxScanComponents][64];
};
NaturalFactors NaturalFactorsOf(const ScanHeader &header);

// The quantised coefficients of one block in natural order, and whether the
// block has any AC coefficient. All zero between blocks: DecodeMcu leaves it
// so.
struct CoefficientBlock {
    alignas(16) int16_t values[64];
    bool b_any_ac;
};
CoefficientBlock ZeroBlock();

// Decodes MCU n_mcu of a sequential scan through the window and stores its
// blocks in the planes, with the factors of NaturalFactorsOf(header) and an
// all-zero block to work in; false on corrupt data or when the input ended.
bool DecodeMcu(JpegFrame &frame, const ScanHeader &header, const NaturalFactors &factors, int32_t n_mcu,
               BitReaderWindow &window, InputBuffer &input, CoefficientBlock &block);

// Decodes every MCU of a sequential scan with a restart marker after every
// n_restart_interval MCUs (0: none), and marks the DC coefficients of its
// components complete; false on corrupt data or when the input ended.
bool DecodeSequentialScan(JpegFrame &frame, const ScanHeader &header, uint16_t n_restart_interval,
                          InputBuffer &input);

} // namespace tarnwick

#endif // TARNWICK_JPEG_SEQUENTIAL_H
