// Scan decoding: the bit reader over the entropy-coded bytes, canonical
// Huffman symbols, and the MCU walk that fills the component planes.
#ifndef TARNWICK_JPEG_SCAN_H
#define TARNWICK_JPEG_SCAN_H

#include <cstdint>

#include "input_buffer.h"
#include "jpeg_decoder.h"

namespace tarnwick {

// Where the entropy-coded data stands between two MCUs. The data is read most
// significant bit first, dropping the zero byte stuffed after every 0xFF data
// byte; markers are not recognised inside it: the data ends by count, after
// the scan's last MCU.
struct BitReader {
    uint8_t n_byte;        // unread bits at the top
    uint8_t b_last_ff;     // the last byte loaded into n_byte was 0xFF
    uint8_t n_bits_left;   // unread bits in n_byte, 0..7
    uint8_t b_input_ended; // a bit was asked for after the input ended
};

struct ScanComponent {
    uint8_t n_id;                         // component selector, as read
    const FrameComponent *p_component;    // the frame component it names
    uint8_t n_dc_table;
    uint8_t n_ac_table;
    const HuffmanTable *p_dc_table;
    const HuffmanTable *p_ac_table;
    uint8_t n_mcu_blocks_across;          // blocks of this component per MCU,
    uint8_t n_mcu_blocks_down;            // across and down
    uint8_t n_dc_start_length;            // the code searches start at this length
    uint8_t n_ac_start_length;            // index: shorter lengths have no codes
};

// At most four components, the largest number a scan may carry.
constexpr int kMaxScanComponents = 4;

struct ScanHeader {
    uint8_t n_scan_components;
    ScanComponent scan_components[kMaxScanComponents];
    // The MCU grid of this scan: the frame's for a scan of two or more
    // components; one block per MCU, over the component's own blocks, for a
    // scan of one component.
    int32_t n_mcu_count;
    int32_t n_mcus_per_row;
};

// All fields 0: the state at the start of a scan.
void ClearBitReader(BitReader &reader);
// After a restart marker: the rest of the current byte and the memory of a
// preceding 0xFF are dropped.
void ResetBitReader(BitReader &reader);
// Reads the scan header that follows the start-of-scan marker; false when it
// is cut short, carries more than four components, or names a component,
// table or plane the frame does not have.
bool ReadScanHeader(const JpegDecoder &decoder, InputBuffer &input, ScanHeader &header);
// Decodes MCU n_mcu of the scan into the planes; false on corrupt data or
// when the input ended.
bool DecodeMcu(JpegDecoder &decoder, int32_t n_mcu, const ScanHeader &header, BitReader &reader,
               InputBuffer &input);
// The start-of-scan handler: the scan header, then every MCU of the scan.
bool ParseScan(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);

} // namespace tarnwick

#endif // TARNWICK_JPEG_SCAN_H
