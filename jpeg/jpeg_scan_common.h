// What sequential and progressive scans share: the scan header, the walk
// over restart intervals, the walk from an MCU to its blocks, and the DC
// difference.
//
// A scan names up to four frame components, each with a DC and an AC Huffman
// table. Its data is a sequence of MCUs. A scan of two or more components is
// interleaved: each MCU holds H x V blocks of every component (H and V its
// sampling factors), in raster order, and the MCUs cover the frame as
// n_mcus_per_row x rows of 8*hmax x 8*vmax pixels. A scan of one component
// is not interleaved: each MCU is a single block, and the blocks run in
// raster order over that component's own extent of
// ceil(ceil(width * H / hmax) / 8) x ceil(ceil(height * V / vmax) / 8) blocks.
//
// With a restart interval, a marker follows every n_restart_interval MCUs;
// there all DC predictors restart at 0 and the bit reader drops its byte.
#ifndef TARNWICK_JPEG_SCAN_COMMON_H
#define TARNWICK_JPEG_SCAN_COMMON_H

#include <cstdint>

#include "input_buffer.h"
#include "jpeg_bits.h"
#include "jpeg_frame.h"
#include "jpeg_huffman.h"

namespace tarnwick {

struct ScanComponent {
    uint8_t n_id;                         // component selector, as read
    uint8_t n_index;                      // position of the component it names in the frame
    const FrameComponent *p_component;    // that frame component
    const QuantTable *p_quant_table;      // the quantisation table it names
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

// Reads the scan header that follows the start-of-scan marker, for a frame
// whose b_frame_seen is set; false when it is cut short, carries more than
// four components, or names a component the frame does not have, or a
// Huffman or quantisation table that no segment of this decode defined
// (only the Huffman classes the scan decodes with count). The progression of
// a progressive frame's scans is checked apart (jpeg_progressive.h).
bool ReadScanHeader(const JpegFrame &frame, const QuantTable (&quant_tables)[4],
                    const HuffmanTable (&huffman_tables)[4][2], InputBuffer &input, ScanHeader &header);

// --- From an MCU to its blocks -----------------------------------------------

// The column and row of an MCU in the scan's grid.
struct McuPosition {
    int32_t n_column;
    int32_t n_row;
};

inline McuPosition McuPositionOf(const ScanHeader &header, int32_t n_mcu)
{
    return McuPosition{n_mcu % header.n_mcus_per_row, n_mcu / header.n_mcus_per_row};
}

// The next MCU in raster order, without a division, in a grid of
// n_mcus_per_row MCUs a row (the scan header's).
inline void StepMcu(int32_t n_mcus_per_row, McuPosition &position)
{
    if(++position.n_column == n_mcus_per_row) {
        position.n_column = 0;
        ++position.n_row;
    }
}

// Calls visit(j, n_block_column, n_block_row) for every block of the MCU at
// the position, in the order of the data: scan component j by j, and each
// component's H x V blocks of the MCU in raster order, H to a row; the block
// column and row count the component's blocks from the frame's top left.
// Stops, and returns false, at the first visit that returns false.
template <typename Visit>
inline bool WalkMcuBlocks(const ScanHeader &header, McuPosition position, Visit visit)
{
    for(int j = 0; j < header.n_scan_components; ++j) {
        const int n_across = header.scan_components[j].n_mcu_blocks_across;
        const int n_down = header.scan_components[j].n_mcu_blocks_down;
        for(int n_row = 0; n_row < n_down; ++n_row) {
            const int32_t n_block_row = n_down * position.n_row + n_row;
            for(int n_column = 0; n_column < n_across; ++n_column)
                if(!visit(j, n_across * position.n_column + n_column, n_block_row))
                    return false;
        }
    }
    return true;
}

// --- The DC difference ---------------------------------------------------------

// A DC difference is a size symbol and that many value bits; TakeValue
// delivers at most 16.
constexpr int kMaxDcSize = 16;

// Adds the DC difference of one block to the predictor (16-bit, wrapping);
// a size of 0 leaves it as it is. False when no code matches or the size is
// above 16.
inline bool DecodeDcDifference(BitReaderWindow &window, InputBuffer &input, const HuffmanTable &table,
                               int16_t &n_predictor)
{
    uint8_t n_size = 0;
    if(!TakeSymbol(window, input, table, n_size) || n_size > kMaxDcSize)
        return false;
    if(n_size)
        n_predictor = int16_t(uint16_t(n_predictor + TakeValue(window, input, n_size)));
    return true;
}

// --- Restart intervals ---------------------------------------------------------

// What a restart marker ends: every DC predictor starts again at 0, and the
// next marker of the file, whatever it is, is consumed. False when the input
// ends first.
bool HandleRestartMarker(JpegFrame &frame, InputBuffer &input);

// Walks a scan's MCUs one restart interval at a time (n_restart_interval
// MCUs; the whole scan when it is 0): decode_interval(n_first, n_stop,
// window) decodes MCUs n_first .. n_stop - 1 through one window of the
// scan's BitReader, which nothing else reads the input beside until the
// interval's marker; after each marker on_restart() runs. False as soon as
// an interval or a marker search fails.
template <typename DecodeInterval, typename OnRestart>
bool DecodeByRestartIntervals(JpegFrame &frame, const ScanHeader &header, uint16_t n_restart_interval,
                              InputBuffer &input, DecodeInterval decode_interval, OnRestart on_restart)
{
    BitReader reader;
    ClearBitReader(reader);
    const int32_t n_interval = n_restart_interval ? n_restart_interval : header.n_mcu_count;
    for(int32_t n_mcu = 0; n_mcu < header.n_mcu_count;) {
        const int32_t n_stop = header.n_mcu_count - n_mcu > n_interval ? n_mcu + n_interval : header.n_mcu_count;
        BitReaderWindow window = OpenWindow(reader, input);
        const bool b_decoded = decode_interval(n_mcu, n_stop, window);
        CloseWindow(window, reader, input);
        if(!b_decoded)
            return false;
        n_mcu = n_stop;
        if(n_mcu == header.n_mcu_count)
            break;
        // Any marker ends the interval; its restart number is not checked.
        if(!HandleRestartMarker(frame, input))
            return false;
        ResetBitReader(reader);
        on_restart();
    }
    return true;
}

// A scan that carries no component reads no entropy-coded data; with
// restart processing on, the marker search still happens after every
// interval of the n_mcu_count MCUs. Only those searches are made, each
// consuming a marker of the file, so the cost is bounded by the file, not by
// the MCU count the frame declares. False when the input ends first.
bool PassOverEmptyScan(JpegFrame &frame, uint16_t n_restart_interval, int32_t n_mcu_count, InputBuffer &input);

} // namespace tarnwick

#endif // TARNWICK_JPEG_SCAN_COMMON_H
