// Sequential scan decoding: scan header, entropy-coded data, restart
// intervals; and the start-of-scan handler of every frame kind.
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
// The MCUs take their bits through a BitWindow (jpeg_bits.h), a 64-bit
// register loaded several bytes ahead, so that symbols and values are read
// without a check per bit; it delivers exactly the bits that reading the
// data one bit at a time would, in the same order, and leaves the BitReader
// and the InputBuffer where such a reading would. Progressive scans
// (jpeg_progressive.h) read through the same window.
//
// Corrupt data fails the decode: a code that matches nothing within 16 bits,
// an AC run past position 63, a DC size above 16, or running out of input.
// The last one stops the scan at once, so the work of a decode is bounded by
// its input and not by the MCU count the frame header declares.
#include "jpeg_scan.h"

#include <cstring>

#include "jpeg_idct.h"
#include "jpeg_progressive.h"

namespace tarnwick {
namespace {

constexpr int kMaxDcSize = 16; // TakeValue delivers at most 16 bits
constexpr uint8_t kEndOfBlock = 0x00;
constexpr uint8_t kSixteenZeros = 0xF0;

// The position in the frame of the component with the ID, or -1.
int n_FrameIndexOf(const JpegDecoder &decoder, uint8_t n_id)
{
    for(int j = 0; j < decoder.n_components; ++j)
        if(decoder.components[j].n_id == n_id)
            return j;
    return -1;
}

// The Huffman tables that the scan decodes with, and the component's
// quantisation table, were defined in this decode: both classes for a
// sequential scan, the class of its band for a progressive one (none for a
// DC refinement). Sets p_dc_table and p_ac_table (nullptr for a class not
// used). (A frame header already guarantees the component's plane and
// quantisation table id.)
bool SelectTables(const JpegDecoder &decoder, const ScanHeader &header, ScanComponent &scan_component)
{
    const bool b_dc_used = !decoder.b_progressive || (header.n_spectral_start == 0 && header.n_bit_high == 0);
    const bool b_ac_used = !decoder.b_progressive || header.n_spectral_start > 0;
    scan_component.p_dc_table = nullptr;
    scan_component.p_ac_table = nullptr;
    if(b_dc_used) {
        if(scan_component.n_dc_table > JpegDecoder::kMaxTableId ||
           !decoder.huffman_tables[scan_component.n_dc_table][0].b_defined)
            return false;
        scan_component.p_dc_table = &decoder.huffman_tables[scan_component.n_dc_table][0];
    }
    if(b_ac_used) {
        if(scan_component.n_ac_table > JpegDecoder::kMaxTableId ||
           !decoder.huffman_tables[scan_component.n_ac_table][1].b_defined)
            return false;
        scan_component.p_ac_table = &decoder.huffman_tables[scan_component.n_ac_table][1];
    }
    return decoder.quant_tables[scan_component.p_component->n_quant_table].b_defined;
}

// Sets the MCU grid of the scan and each component's blocks per MCU, from the
// geometry the frame header worked out; a frame of width or height 0 has no
// MCU.
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
    ScanComponent &only = header.scan_components[0];
    only.n_mcu_blocks_across = 1;
    only.n_mcu_blocks_down = 1;
    header.n_mcus_per_row = only.p_component->n_blocks_across;
    header.n_mcu_count = int32_t(only.p_component->n_blocks_across) * only.p_component->n_blocks_down;
}

// The quantised coefficients of one block in natural order, all zero
// between blocks, and whether the block has any AC coefficient.
struct CoefficientBlock {
    alignas(16) int16_t values[64];
    bool b_any_ac;
};

void ClearBlock(CoefficientBlock &block)
{
    std::memset(block.values, 0, sizeof(block.values));
    block.b_any_ac = false;
}

// Bits that one AC coefficient takes at most: a code of up to 16 bits and a
// value of up to 15.
constexpr int kCoefficientBits = 32;

// One block: DC difference and AC coefficients, dequantised, in natural
// order, into an all-zero block. False on corrupt data or when the input
// ended.
//
// While the window holds kCoefficientBits bits, a coefficient is read without
// a check per bit: its symbol and value bits are found with one look at the
// AC table's coefficient lookahead when they fit in kLookaheadBits, and
// otherwise through the symbol lookahead (or the search for a longer code)
// and the value bits at the top of the register. Near the end of the
// InputBuffer's block the window may hold fewer bits; the coefficient is then
// read through TakeSymbol and TakeValue, which load the rest as they go.
bool DecodeBlock(BitWindow &window, InputBuffer &input, const ScanComponent &scan_component,
                 int16_t &n_predictor, CoefficientBlock &block)
{
    int16_t *p_coefficients = block.values;
    uint8_t n_size = 0;
    if(!TakeSymbol(window, input, *scan_component.p_dc_table, n_size) || n_size > kMaxDcSize)
        return false;
    if(n_size)
        n_predictor = int16_t(uint16_t(n_predictor + TakeValue(window, input, n_size)));
    p_coefficients[0] = n_predictor;
    bool b_any_ac = false;

    const HuffmanTable &ac_table = *scan_component.p_ac_table;
    BitRegister bits = RegisterOf(window);
    bool b_valid = true;
    for(int k = 1; k < 64;) {
        if(bits.n_count < kCoefficientBits) {
            StoreRegister(bits, window);
            FillWindow(window);
            bits = RegisterOf(window);
        }
        uint8_t n_symbol = 0;
        int16_t n_value = 0;
        if(bits.n_count >= kCoefficientBits) {
            const uint32_t n_prefix = uint32_t(bits.n_bits >> (64 - kLookaheadBits));
            const uint32_t n_entry = ac_table.coefficient_lookahead[n_prefix];
            if(n_entry) {
                k += int(n_entry >> 8 & 0xFF);
                if(k > 63) {
                    b_valid = false; // a run past the last position
                    break;
                }
                DropRegisterBits(bits, int(n_entry & 0xFF));
                p_coefficients[kZigzagToNatural[k - 1]] = int16_t(n_entry >> 16);
                b_any_ac = true;
                ++k;
                continue;
            }
            const uint32_t n_code = ac_table.lookahead[n_prefix];
            if(n_code) {
                n_symbol = uint8_t(n_code);
                DropRegisterBits(bits, int(n_code >> 8));
            } else {
                StoreRegister(bits, window);
                b_valid = TakeSymbolFromFullWindow(window, ac_table, n_symbol);
                bits = RegisterOf(window);
                if(!b_valid)
                    break;
            }
            // The value bits are there: at most 16 of the 32 went to the code.
            const int n_value_size = n_symbol & 0x0F;
            if(n_value_size) {
                n_value = ExtendSign(uint32_t(bits.n_bits >> (64 - n_value_size)), n_value_size);
                DropRegisterBits(bits, n_value_size);
            }
        } else {
            StoreRegister(bits, window);
            b_valid = TakeSymbol(window, input, ac_table, n_symbol);
            if(b_valid && (n_symbol & 0x0F))
                n_value = TakeValue(window, input, n_symbol & 0x0F);
            bits = RegisterOf(window);
            if(!b_valid)
                break;
        }
        if(n_symbol == kEndOfBlock)
            break;
        if(n_symbol == kSixteenZeros) {
            k += 16;
            continue;
        }
        k += n_symbol >> 4;
        if((n_symbol & 0x0F) == 0 || k > 63) {
            b_valid = false; // a run with no value, or one past the last position
            break;
        }
        p_coefficients[kZigzagToNatural[k - 1]] = n_value;
        b_any_ac = true;
        ++k;
    }
    StoreRegister(bits, window);
    block.b_any_ac = b_any_ac;
    return b_valid && !window.b_input_ended;
}

} // namespace

bool ReadScanHeader(const JpegDecoder &decoder, InputBuffer &input, ScanHeader &header)
{
    uint16_t n_length = 0;
    if(!decoder.b_frame_seen || !ReadU16(input, n_length) || !ReadByte(input, header.n_scan_components) ||
       header.n_scan_components > kMaxScanComponents)
        return false;
    for(int j = 0; j < header.n_scan_components; ++j) {
        ScanComponent &scan_component = header.scan_components[j];
        uint8_t n_tables = 0;
        if(!ReadByte(input, scan_component.n_id) || !ReadByte(input, n_tables))
            return false;
        scan_component.n_dc_table = n_tables >> 4;
        scan_component.n_ac_table = n_tables & 0x0F;
        const int n_index = n_FrameIndexOf(decoder, scan_component.n_id);
        if(n_index < 0)
            return false;
        scan_component.n_index = uint8_t(n_index);
        scan_component.p_component = &decoder.components[n_index];
    }
    uint8_t n_approximation = 0;
    if(!ReadByte(input, header.n_spectral_start) || !ReadByte(input, header.n_spectral_end) ||
       !ReadByte(input, n_approximation))
        return false;
    header.n_bit_high = n_approximation >> 4;
    header.n_bit_low = n_approximation & 0x0F;
    for(int j = 0; j < header.n_scan_components; ++j)
        if(!SelectTables(decoder, header, header.scan_components[j]))
            return false;
    SetScanGeometry(decoder, header);
    return !decoder.b_progressive || b_IsValidProgressiveScan(decoder, header);
}

namespace {

// The quantisation factors of each component of a scan, in natural order
// (the tables hold them in zigzag order): the blocks are dequantised in
// natural order, inside the transform.
struct NaturalFactors {
    float values[kMaxScanComponents][64];
};

NaturalFactors NaturalFactorsOf(const JpegDecoder &decoder, const ScanHeader &header)
{
    NaturalFactors factors;
    for(int j = 0; j < header.n_scan_components; ++j) {
        const float *p_zigzag = decoder.quant_tables[header.scan_components[j].p_component->n_quant_table].factors;
        factors.values[j][0] = p_zigzag[0];
        for(int k = 1; k < 64; ++k)
            factors.values[j][kZigzagToNatural[k - 1]] = p_zigzag[k];
    }
    return factors;
}

// MCUs n_first .. n_stop - 1 of a sequential scan, with no restart marker
// among them, through one window; the block starts all zero and is left so.
bool DecodeMcus(JpegDecoder &decoder, const ScanHeader &header, const NaturalFactors &factors, int32_t n_first,
                int32_t n_stop, BitWindow &window, InputBuffer &input, CoefficientBlock &block)
{
    for(int32_t n_mcu = n_first; n_mcu < n_stop; ++n_mcu) {
        const int32_t n_mcu_row = n_mcu / header.n_mcus_per_row;
        const int32_t n_mcu_col = n_mcu % header.n_mcus_per_row;
        for(int j = 0; j < header.n_scan_components; ++j) {
            const ScanComponent &scan_component = header.scan_components[j];
            const int n_index = scan_component.n_index;
            const float *p_factors = factors.values[j];
            const int32_t n_plane_width = decoder.n_plane_widths[n_index];
            const int32_t n_plane_height = decoder.n_plane_heights[n_index];
            const int n_across = scan_component.n_mcu_blocks_across;
            const int n_down = scan_component.n_mcu_blocks_down;
            // The component's blocks in this MCU, in raster order, H to a row.
            for(int n_block_row = 0; n_block_row < n_down; ++n_block_row) {
                const int32_t n_y0 = 8 * (n_down * n_mcu_row + n_block_row);
                for(int n_block_col = 0; n_block_col < n_across; ++n_block_col) {
                    const bool b_decoded =
                        DecodeBlock(window, input, scan_component, decoder.n_dc_predictors[n_index], block);
                    const int32_t n_x0 = 8 * (n_across * n_mcu_col + n_block_col);
                    if(b_decoded && n_x0 < n_plane_width && n_y0 < n_plane_height) {
                        int8_t *p_dest = decoder.p_planes[n_index] + n_y0 * n_plane_width + n_x0;
                        if(!block.b_any_ac)
                            StoreDcOnlyBlock(float(block.values[0]) * p_factors[0], p_dest, n_plane_width);
                        else
                            StoreQuantisedBlock(block.values, p_factors, p_dest, n_plane_width);
                    }
                    ClearBlock(block);
                    if(!b_decoded)
                        return false;
                }
            }
        }
    }
    return true;
}

CoefficientBlock ZeroBlock()
{
    CoefficientBlock block;
    ClearBlock(block);
    return block;
}

} // namespace

bool DecodeMcu(JpegDecoder &decoder, int32_t n_mcu, const ScanHeader &header, BitReader &reader,
               InputBuffer &input)
{
    BitWindow window = OpenWindow(reader, input);
    CoefficientBlock block = ZeroBlock();
    const NaturalFactors factors = NaturalFactorsOf(decoder, header);
    const bool b_decoded = DecodeMcus(decoder, header, factors, n_mcu, n_mcu + 1, window, input, block);
    CloseWindow(window, reader, input);
    return b_decoded;
}

bool HandleRestartMarker(JpegDecoder &decoder, InputBuffer &input)
{
    uint16_t n_marker = 0;
    for(int16_t &n_predictor : decoder.n_dc_predictors)
        n_predictor = 0;
    return FindMarker(input, n_marker);
}

namespace {

// A scan that carries no component reads no entropy-coded data; with restart
// processing on, the marker search still happens after every interval. Only
// those searches are made, each consuming a marker of the file, so the cost is
// bounded by the file, not by the MCU count the frame declares.
bool PassOverEmptyScan(JpegDecoder &decoder, InputBuffer &input, int32_t n_mcu_count)
{
    if(!decoder.b_restart || n_mcu_count == 0)
        return true;
    for(int32_t n_search = (n_mcu_count - 1) / decoder.n_restart_interval; n_search > 0; --n_search) {
        if(!HandleRestartMarker(decoder, input))
            return false;
    }
    return true;
}

bool DecodeSequentialScan(JpegDecoder &decoder, const ScanHeader &header, InputBuffer &input)
{
    CoefficientBlock block = ZeroBlock();
    const NaturalFactors factors = NaturalFactorsOf(decoder, header);
    const bool b_decoded = DecodeByRestartIntervals(
        decoder, header, input,
        [&](int32_t n_first, int32_t n_stop, BitWindow &window) {
            return DecodeMcus(decoder, header, factors, n_first, n_stop, window, input, block);
        },
        [] {});
    if(!b_decoded)
        return false;
    for(int j = 0; j < header.n_scan_components; ++j)
        decoder.n_dc_complete_bits |= uint8_t(1u << header.scan_components[j].n_index);
    return true;
}

// The lookahead tables of the Huffman tables the scan decodes with, built at
// the first scan that uses each.
void PrepareScanTables(JpegDecoder &decoder, const ScanHeader &header)
{
    for(int j = 0; j < header.n_scan_components; ++j) {
        const ScanComponent &scan_component = header.scan_components[j];
        if(scan_component.p_dc_table)
            PrepareLookahead(decoder.huffman_tables[scan_component.n_dc_table][0]);
        if(scan_component.p_ac_table)
            PrepareLookahead(decoder.huffman_tables[scan_component.n_ac_table][1]);
    }
}

} // namespace

bool ParseScan(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    ScanHeader header;
    if(!ReadScanHeader(decoder, input, header))
        return false;
    PrepareScanTables(decoder, header);
    if(++decoder.n_scan_count > JpegDecoder::kMaxScans)
        return FailDecode(decoder, LoadFailure::kTooManyScans);
    if(header.n_scan_components == 0)
        return PassOverEmptyScan(decoder, input, header.n_mcu_count);
    return decoder.b_progressive ? DecodeProgressiveScan(decoder, header, input)
                                 : DecodeSequentialScan(decoder, header, input);
}

} // namespace tarnwick
