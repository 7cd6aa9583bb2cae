// Scan decoding: the scan header, the MCU walk of a sequential scan that
// fills the component planes, and the start-of-scan handler that runs a
// sequential or a progressive scan.
#ifndef TARNWICK_JPEG_SCAN_H
#define TARNWICK_JPEG_SCAN_H

#include <cstdint>

#include "input_buffer.h"
#include "jpeg_bits.h"
#include "jpeg_decoder.h"

namespace tarnwick {

struct ScanComponent {
    uint8_t n_id;                         // component selector, as read
    uint8_t n_index;                      // position of the component it names in the frame
    const FrameComponent *p_component;    // that frame component
    uint8_t n_dc_table;
    uint8_t n_ac_table;
    // The tables the scan decodes with; nullptr for a class it does not use
    // (a progressive scan uses one class, a DC refinement none).
    const HuffmanTable *p_dc_table;
    const HuffmanTable *p_ac_table;
    uint8_t n_mcu_blocks_across;          // blocks of this component per MCU,
    uint8_t n_mcu_blocks_down;            // across and down
};

// At most four components, the largest number a scan may carry.
constexpr int kMaxScanComponents = 4;

struct ScanHeader {
    uint8_t n_scan_components;
    ScanComponent scan_components[kMaxScanComponents];
    // Spectral selection and successive approximation, as read: the scan
    // codes zigzag positions n_spectral_start (Ss) to n_spectral_end (Se),
    // down to bit n_bit_low (Al); n_bit_high (Ah) is 0 in the first scan of
    // those positions and the previous scan's Al in a refinement. A
    // sequential scan codes all 64 at full precision whatever they say.
    uint8_t n_spectral_start;
    uint8_t n_spectral_end;
    uint8_t n_bit_high;
    uint8_t n_bit_low;
    // The MCU grid of this scan: the frame's for a scan of two or more
    // components; one block per MCU, over the component's own blocks, for a
    // scan of one component.
    int32_t n_mcu_count;
    int32_t n_mcus_per_row;
};

// Reads the scan header that follows the start-of-scan marker; false when it
// is cut short, carries more than four components, or names a component,
// table or plane the frame does not have, or (progressive frames) breaks the
// progression (jpeg_progressive.h).
bool ReadScanHeader(const JpegDecoder &decoder, InputBuffer &input, ScanHeader &header);
// Decodes MCU n_mcu of a sequential scan into the planes; false on corrupt
// data or when the input ended.
bool DecodeMcu(JpegDecoder &decoder, int32_t n_mcu, const ScanHeader &header, BitReader &reader,
               InputBuffer &input);
// What a restart marker ends: every DC predictor starts again at 0, and the
// next marker of the file, whatever it is, is consumed. False when the input
// ends first.
bool HandleRestartMarker(JpegDecoder &decoder, InputBuffer &input);
// Walks a scan's MCUs one restart interval at a time (the whole scan when
// restarts are off): decode_interval(n_first, n_stop, window) decodes MCUs
// n_first .. n_stop - 1 through one bit window, which nothing else reads
// the input beside until the interval's marker; after each marker
// on_restart() runs. False as soon as an interval or a marker search fails.
template <typename DecodeInterval, typename OnRestart>
bool DecodeByRestartIntervals(JpegDecoder &decoder, const ScanHeader &header, InputBuffer &input,
                              DecodeInterval decode_interval, OnRestart on_restart)
{
    BitReader reader;
    ClearBitReader(reader);
    // b_restart is only ever set together with a non-zero interval.
    const int32_t n_interval = decoder.b_restart ? decoder.n_restart_interval : header.n_mcu_count;
    for(int32_t n_mcu = 0; n_mcu < header.n_mcu_count;) {
        const int32_t n_stop = header.n_mcu_count - n_mcu > n_interval ? n_mcu + n_interval : header.n_mcu_count;
        BitWindow window = OpenWindow(reader, input);
        const bool b_decoded = decode_interval(n_mcu, n_stop, window);
        CloseWindow(window, reader, input);
        if(!b_decoded)
            return false;
        n_mcu = n_stop;
        if(n_mcu == header.n_mcu_count)
            break;
        // Any marker ends the interval; its restart number is not checked.
        if(!HandleRestartMarker(decoder, input))
            return false;
        ResetBitReader(reader);
        on_restart();
    }
    return true;
}
// The start-of-scan handler: the scan header, then every MCU of the scan.
bool ParseScan(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);

} // namespace tarnwick

#endif // TARNWICK_JPEG_SCAN_H
