// The scan header, restart markers, and the scan without components.
#include "jpeg_scan_common.h"

namespace tarnwick {
namespace {

// The position in the frame of the component with the ID, or -1.
int n_FrameIndexOf(const JpegFrame &frame, uint8_t n_id)
{
    for(int j = 0; j < frame.n_components; ++j)
        if(frame.components[j].n_id == n_id)
            return j;
    return -1;
}

// The Huffman tables that the scan decodes with, and the component's
// quantisation table, were defined in this decode: both classes for a
// sequential scan, the class of its band for a progressive one (none for a
// DC refinement). Sets p_dc_table and p_ac_table (nullptr for a class not
// used) and p_quant_table. (A frame header already guarantees the
// component's plane and quantisation table id.)
bool SelectTables(const JpegFrame &frame, const QuantTable (&quant_tables)[4],
                  const HuffmanTable (&huffman_tables)[4][2], const ScanHeader &header,
                  ScanComponent &scan_component)
{
    const bool b_dc_used = !frame.b_progressive || (header.n_spectral_start == 0 && header.n_bit_high == 0);
    const bool b_ac_used = !frame.b_progressive || header.n_spectral_start > 0;
    scan_component.p_dc_table = nullptr;
    scan_component.p_ac_table = nullptr;
    if(b_dc_used) {
        if(scan_component.n_dc_table > kMaxTableId || !huffman_tables[scan_component.n_dc_table][0].b_defined)
            return false;
        scan_component.p_dc_table = &huffman_tables[scan_component.n_dc_table][0];
    }
    if(b_ac_used) {
        if(scan_component.n_ac_table > kMaxTableId || !huffman_tables[scan_component.n_ac_table][1].b_defined)
            return false;
        scan_component.p_ac_table = &huffman_tables[scan_component.n_ac_table][1];
    }
    scan_component.p_quant_table = &quant_tables[scan_component.p_component->n_quant_table];
    return scan_component.p_quant_table->b_defined;
}

// Sets the MCU grid of the scan and each component's blocks per MCU, from the
// geometry the frame header worked out; a frame of width or height 0 has no
// MCU.
void SetScanGeometry(const JpegFrame &frame, ScanHeader &header)
{
    if(header.n_scan_components != 1) {
        header.n_mcus_per_row = frame.n_mcus_per_row;
        header.n_mcu_count = frame.n_mcu_count;
        for(int j = 0; j < header.n_scan_components; ++j) {
            ScanComponent &scan_component = header.scan_components[j];
            scan_component.n_mcu_blocks_across = scan_component.p_component->n_h_sampling;
            scan_component.n_mcu_blocks_down = scan_component.p_component->n_v_sampling;
        }
        return;
    }
    ScanComponent &only = header.scan_components[0];
    only.n_mcu_blocks_across = 1;
    only.n_mcu_blocks_down = 1;
    header.n_mcus_per_row = only.p_component->n_blocks_across;
    header.n_mcu_count = int32_t(only.p_component->n_blocks_across) * only.p_component->n_blocks_down;
}

} // namespace

bool ReadScanHeader(const JpegFrame &frame, const QuantTable (&quant_tables)[4],
                    const HuffmanTable (&huffman_tables)[4][2], InputBuffer &input, ScanHeader &header)
{
    uint16_t n_length = 0;
    if(!ReadU16(input, n_length) || !ReadByte(input, header.n_scan_components) ||
       header.n_scan_components > kMaxScanComponents)
        return false;
    for(int j = 0; j < header.n_scan_components; ++j) {
        ScanComponent &scan_component = header.scan_components[j];
        uint8_t n_tables = 0;
        if(!ReadByte(input, scan_component.n_id) || !ReadByte(input, n_tables))
            return false;
        scan_component.n_dc_table = n_tables >> 4;
        scan_component.n_ac_table = n_tables & 0x0F;
        const int n_index = n_FrameIndexOf(frame, scan_component.n_id);
        if(n_index < 0)
            return false;
        scan_component.n_index = uint8_t(n_index);
        scan_component.p_component = &frame.components[n_index];
    }
    uint8_t n_approximation = 0;
    if(!ReadByte(input, header.n_spectral_start) || !ReadByte(input, header.n_spectral_end) ||
       !ReadByte(input, n_approximation))
        return false;
    header.n_bit_high = n_approximation >> 4;
    header.n_bit_low = n_approximation & 0x0F;
    for(int j = 0; j < header.n_scan_components; ++j)
        if(!SelectTables(frame, quant_tables, huffman_tables, header, header.scan_components[j]))
            return false;
    SetScanGeometry(frame, header);
    return true;
}

bool HandleRestartMarker(JpegFrame &frame, InputBuffer &input)
{
    uint16_t n_marker = 0;
    for(int16_t &n_predictor : frame.n_dc_predictors)
        n_predictor = 0;
    return FindMarker(input, n_marker);
}

bool PassOverEmptyScan(JpegFrame &frame, uint16_t n_restart_interval, int32_t n_mcu_count, InputBuffer &input)
{
    if(!n_restart_interval || n_mcu_count == 0)
        return true;
    for(int32_t n_search = (n_mcu_count - 1) / n_restart_interval; n_search > 0; --n_search) {
        if(!HandleRestartMarker(frame, input))
            return false;
    }
    return true;
}

} // namespace tarnwick
