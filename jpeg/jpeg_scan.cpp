// Scan decoding: scan header, entropy-coded data, restart intervals.
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
// Each block is a DC difference (a size symbol, then that many bits, added to
// the component's predictor) and AC run/size symbols until end-of-block or
// position 63. Coefficients are multiplied by the quantisation factors (the
// inverse-DCT scale factors are already folded in), placed at their natural
// position through the zigzag table and stored by StoreBlock. Blocks beyond a
// plane's padded size are decoded and dropped.
//
// With a restart interval, a marker follows every n_restart_interval MCUs;
// there all DC predictors restart at 0 and the bit reader drops its byte.
//
// Corrupt data fails the decode: a code that matches nothing within 16 bits,
// an AC run past position 63, a DC size above 16, or running out of input.
// The last one stops the scan at once, so the work of a decode is bounded by
// its input and not by the MCU count the frame header declares.
#include "jpeg_scan.h"

#include <algorithm>

namespace {

constexpr int kMaxCodeLength = 16;
constexpr int kMaxDcSize = 16; // ReadBits delivers at most 16 bits
constexpr uint8_t kEndOfBlock = 0x00;
constexpr uint8_t kSixteenZeros = 0xF0;

// Loads the next data byte into the reader, skipping a stuffed zero.
bool LoadByte(BitReader &reader, InputBuffer &input)
{
    uint8_t n_byte = 0;
    if(reader.b_input_ended || !ReadByte(input, n_byte) ||
       (n_byte == 0x00 && reader.b_last_ff && !ReadByte(input, n_byte))) {
        reader.b_input_ended = 1;
        reader.n_byte = 0;
        return false;
    }
    reader.n_byte = n_byte;
    reader.b_last_ff = n_byte == 0xFF;
    reader.n_bits_left = 8;
    return true;
}

const FrameComponent *p_FindFrameComponent(const JpegDecoder &decoder, uint8_t n_id)
{
    for(int j = 0; j < decoder.n_components; ++j)
        if(decoder.components[j].n_id == n_id)
            return &decoder.components[j];
    return nullptr;
}

// The selector names a frame component, and its two Huffman tables and the
// component's quantisation table were defined in this decode. (A frame header
// already guarantees the component's ID, plane and quantisation table id.)
bool b_ComponentUsable(const JpegDecoder &decoder, const ScanComponent &scan_component)
{
    return scan_component.p_component && scan_component.n_dc_table <= JpegDecoder::kMaxTableId &&
           scan_component.n_ac_table <= JpegDecoder::kMaxTableId &&
           decoder.huffman_tables[scan_component.n_dc_table][0].b_defined &&
           decoder.huffman_tables[scan_component.n_ac_table][1].b_defined &&
           decoder.quant_tables[scan_component.p_component->n_quant_table].b_defined;
}

int32_t n_CeilDiv(int32_t n_value, int32_t n_divisor)
{
    return (n_value + n_divisor - 1) / n_divisor;
}

// Sets the MCU grid of the scan and each component's blocks per MCU. A frame
// header guarantees 1..4 components sampled 1..15 and a frame of 0..32767
// samples each way; a frame of width or height 0 has no MCU.
void SetScanGeometry(const JpegDecoder &decoder, ScanHeader &header)
{
    if(header.n_scan_components != 1) {
        header.n_mcus_per_row = decoder.n_mcus_per_row;
        header.n_mcu_count = decoder.n_mcu_count;
        for(int j = 0; j < header.n_scan_components; ++j) {
            ScanComponent &scan_component = header.scan_components[j];
            scan_component.n_mcu_blocks_across = scan_component.p_component->n_h_sampling;
            scan_component.n_mcu_blocks_down = scan_component.p_component->n_v_sampling;
        }
        return;
    }
    int32_t n_hmax = 1, n_vmax = 1;
    for(int j = 0; j < decoder.n_components; ++j) {
        n_hmax = std::max<int32_t>(n_hmax, decoder.components[j].n_h_sampling);
        n_vmax = std::max<int32_t>(n_vmax, decoder.components[j].n_v_sampling);
    }
    ScanComponent &only = header.scan_components[0];
    only.n_mcu_blocks_across = 1;
    only.n_mcu_blocks_down = 1;
    // H <= hmax, so a row holds at most ceil(32767 / 8) blocks: no overflow.
    const int32_t n_columns = n_CeilDiv(decoder.n_frame_width * only.p_component->n_h_sampling, n_hmax);
    const int32_t n_rows = n_CeilDiv(decoder.n_frame_height * only.p_component->n_v_sampling, n_vmax);
    header.n_mcus_per_row = n_CeilDiv(n_columns, 8);
    header.n_mcu_count = header.n_mcus_per_row * n_CeilDiv(n_rows, 8);
}

// One block: DC difference and AC coefficients, dequantised, in natural
// order. False on corrupt data or when the input ended.
bool DecodeBlock(BitReader &reader, InputBuffer &input, const ScanComponent &scan_component,
                 const float *p_factors, int16_t &n_predictor, float *p_coefficients)
{
    for(int i = 0; i < 64; ++i)
        p_coefficients[i] = 0.0f;

    uint8_t n_size = 0;
    if(!DecodeSymbol(reader, input, *scan_component.p_dc_table, n_size) || n_size > kMaxDcSize)
        return false;
    if(n_size)
        n_predictor = int16_t(uint16_t(n_predictor + ReadBits(reader, n_size, input)));
    p_coefficients[0] = float(n_predictor) * p_factors[0];

    for(int k = 1; k < 64;) {
        uint8_t n_symbol = 0;
        if(!DecodeSymbol(reader, input, *scan_component.p_ac_table, n_symbol))
            return false;
        const int n_run = n_symbol >> 4;
        const int n_value_size = n_symbol & 0x0F;
        if(n_symbol == kEndOfBlock)
            break;
        if(n_symbol == kSixteenZeros) {
            k += 16;
            continue;
        }
        k += n_run;
        if(n_value_size == 0 || k > 63)
            return false; // a run with no value, or one past the last position
        p_coefficients[kZigzagToNatural[k - 1]] = float(ReadBits(reader, n_value_size, input)) * p_factors[k];
        ++k;
    }
    return !reader.b_input_ended;
}

} // namespace

void Clear(BitReader &reader)
{
    reader.n_byte = 0;
    reader.b_last_ff = 0;
    reader.n_bits_left = 0;
    reader.b_input_ended = 0;
}

void Reset(BitReader &reader)
{
    reader.n_bits_left = 0;
    reader.b_last_ff = 0;
}

int ReadBit(BitReader &reader, InputBuffer &input)
{
    if(reader.n_bits_left == 0 && !LoadByte(reader, input))
        return 0;
    --reader.n_bits_left;
    const int n_bit = reader.n_byte >> 7;
    reader.n_byte = uint8_t(reader.n_byte << 1);
    return n_bit;
}

int16_t ReadBits(BitReader &reader, int n_bits, InputBuffer &input)
{
    const uint32_t n_first = uint32_t(ReadBit(reader, input));
    uint32_t n_value = n_first;
    for(int i = 1; i < n_bits; ++i)
        n_value = (n_value << 1 | uint32_t(ReadBit(reader, input))) & 0xFFFFu;
    if(!n_first)
        n_value += 1u - (1u << n_bits); // negative: value - (2^n - 1), within 16 bits
    return int16_t(uint16_t(n_value));
}

bool DecodeSymbol(BitReader &reader, InputBuffer &input, const HuffmanTable &table, uint8_t &n_symbol)
{
    int32_t n_code = 0;
    for(int n_length = 0; n_length < kMaxCodeLength; ++n_length) {
        n_code = n_code << 1 | ReadBit(reader, input);
        const int32_t n_offset = n_code - table.n_first_codes[n_length];
        // The table parser refuses more than 256 symbols, so the codes of
        // every length point inside symbols.
        if(n_offset >= 0 && n_offset < table.n_code_counts[n_length]) {
            n_symbol = table.p_first_values[n_length][n_offset];
            return !reader.b_input_ended;
        }
    }
    return false;
}

bool ReadScanHeader(const JpegDecoder &decoder, InputBuffer &input, ScanHeader &header)
{
    uint16_t n_length = 0;
    // A scan carries 1..4 components. One of none would read no data yet
    // still walk every MCU of the frame: thousands of such eight-byte
    // headers would cost seconds.
    if(!decoder.b_frame_seen || !ReadU16(input, n_length) || !ReadByte(input, header.n_scan_components) ||
       header.n_scan_components < 1 || header.n_scan_components > kMaxScanComponents)
        return false;
    for(int j = 0; j < header.n_scan_components; ++j) {
        ScanComponent &scan_component = header.scan_components[j];
        uint8_t n_tables = 0;
        if(!ReadByte(input, scan_component.n_id) || !ReadByte(input, n_tables))
            return false;
        scan_component.n_dc_table = n_tables >> 4;
        scan_component.n_ac_table = n_tables & 0x0F;
        scan_component.p_component = p_FindFrameComponent(decoder, scan_component.n_id);
        if(!b_ComponentUsable(decoder, scan_component))
            return false;
        scan_component.p_dc_table = &decoder.huffman_tables[scan_component.n_dc_table][0];
        scan_component.p_ac_table = &decoder.huffman_tables[scan_component.n_ac_table][1];
    }
    // Spectral selection and successive approximation: sequential scans
    // always cover all 64 coefficients at full precision.
    if(!Skip(input, 3))
        return false;
    SetScanGeometry(decoder, header);
    return true;
}

bool DecodeMcu(JpegDecoder &decoder, int32_t n_mcu, const ScanHeader &header, BitReader &reader,
               InputBuffer &input)
{
    const int32_t n_mcu_row = n_mcu / header.n_mcus_per_row;
    const int32_t n_mcu_col = n_mcu % header.n_mcus_per_row;
    for(int j = 0; j < header.n_scan_components; ++j) {
        const ScanComponent &scan_component = header.scan_components[j];
        const FrameComponent &component = *scan_component.p_component;
        const int n_slot = component.n_id - 1;
        const float *p_factors = decoder.quant_tables[component.n_quant_table].factors;
        const int32_t n_plane_width = decoder.n_plane_widths[n_slot];
        const int32_t n_plane_height = decoder.n_plane_heights[n_slot];
        const int n_across = scan_component.n_mcu_blocks_across;
        const int n_blocks = n_across * scan_component.n_mcu_blocks_down;
        for(int b = 0; b < n_blocks; ++b) {
            float coefficients[64];
            if(!DecodeBlock(reader, input, scan_component, p_factors, decoder.n_dc_predictors[n_slot],
                            coefficients))
                return false;
            const int32_t n_x0 = 8 * (n_across * n_mcu_col + b % n_across);
            const int32_t n_y0 = 8 * (scan_component.n_mcu_blocks_down * n_mcu_row + b / n_across);
            if(n_x0 < n_plane_width && n_y0 < n_plane_height)
                StoreBlock(coefficients, decoder.p_planes[n_slot] + n_y0 * n_plane_width + n_x0,
                           n_plane_width);
        }
    }
    return true;
}

bool ParseScan(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    ScanHeader header;
    if(!ReadScanHeader(decoder, input, header))
        return false;
    BitReader reader;
    Clear(reader);
    // b_restart is only ever set together with a non-zero interval.
    int32_t n_until_restart = decoder.n_restart_interval;
    for(int32_t n_mcu = 0; n_mcu < header.n_mcu_count; ++n_mcu) {
        if(!DecodeMcu(decoder, n_mcu, header, reader, input))
            return false;
        if(!decoder.b_restart || --n_until_restart > 0 || n_mcu + 1 == header.n_mcu_count)
            continue;
        // Any marker ends the interval; its restart number is not checked.
        uint16_t n_marker = 0;
        for(int16_t &n_predictor : decoder.n_dc_predictors)
            n_predictor = 0;
        if(!FindMarker(input, n_marker))
            return false;
        Reset(reader);
        n_until_restart = decoder.n_restart_interval;
    }
    for(int j = 0; j < header.n_scan_components; ++j)
        decoder.n_scanned_id_bits |= uint8_t(1u << (header.scan_components[j].n_id - 1));
    return true;
}
