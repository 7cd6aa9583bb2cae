// Sequential scan decoding: the blocks of each MCU, read through the
// BitReader's window, into the planes.
//
// The MCUs take their bits through a BitReaderWindow (jpeg_bits.h), loaded
// several bytes ahead, so that symbols and values are read without a check
// per bit; it delivers exactly the bits that reading the data one bit at a
// time would, in the same order, and leaves the BitReader and the
// InputBuffer where such a reading would.
//
// Corrupt data fails the decode: a code that matches nothing within 16 bits,
// an AC run past position 63, a DC size above 16, or running out of input.
// The last one stops the scan at once, so the work of a decode is bounded by
// its input and not by the MCU count the frame header declares.
#include "jpeg_sequential.h"

#include <cstring>

#include "jpeg_idct.h"

namespace tarnwick {
namespace {

constexpr uint8_t kEndOfBlock = 0x00;
constexpr uint8_t kSixteenZeros = 0xF0;

// The window is refilled while it holds fewer bits than this: enough for any
// one AC coefficient, a code of up to 16 bits and a value of up to 15, which
// can then be taken without a check per bit.
constexpr int kRefillBelowBits = 32;

void ClearBlock(CoefficientBlock &block)
{
    std::memset(block.values, 0, sizeof(block.values));
    block.b_any_ac = false;
}

// One block: DC difference and AC coefficients, quantised, in natural order,
// into an all-zero block. False on corrupt data or when the input ended.
//
// While the window holds kRefillBelowBits bits, a coefficient is read
// without a check per bit: its symbol and value bits are found with one look
// at the AC table's coefficient lookahead when they fit in kLookaheadBits,
// and otherwise through the symbol lookahead (or the search for a longer
// code) and the value bits at the top of the register. Near the end of the
// InputBuffer's block the window may hold fewer bits; the coefficient is then
// read through TakeSymbol and TakeValue, which load the rest as they go.
bool DecodeBlock(BitReaderWindow &window, InputBuffer &input, const ScanComponent &scan_component,
                 int16_t &n_predictor, CoefficientBlock &block)
{
    int16_t *p_coefficients = block.values;
    if(!DecodeDcDifference(window, input, *scan_component.p_dc_table, n_predictor))
        return false;
    p_coefficients[0] = n_predictor;
    bool b_any_ac = false;

    const HuffmanTable &ac_table = *scan_component.p_ac_table;
    WindowRegister bits = LoadRegister(window);
    bool b_valid = true;
    for(int k = 1; k < 64;) {
        if(bits.n_count < kRefillBelowBits) {
            StoreRegister(bits, window);
            FillWindow(window);
            bits = LoadRegister(window);
        }
        uint8_t n_symbol = 0;
        int16_t n_value = 0;
        if(bits.n_count >= kRefillBelowBits) {
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
                bits = LoadRegister(window);
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
            bits = LoadRegister(window);
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

NaturalFactors NaturalFactorsOf(const ScanHeader &header)
{
    NaturalFactors factors;
    for(int j = 0; j < header.n_scan_components; ++j) {
        const float *p_zigzag = header.scan_components[j].p_quant_table->factors;
        factors.values[j][0] = p_zigzag[0];
        for(int k = 1; k < 64; ++k)
            factors.values[j][kZigzagToNatural[k - 1]] = p_zigzag[k];
    }
    return factors;
}

CoefficientBlock ZeroBlock()
{
    CoefficientBlock block;
    ClearBlock(block);
    return block;
}

bool DecodeMcu(JpegFrame &frame, const ScanHeader &header, const NaturalFactors &factors, int32_t n_mcu,
               BitReaderWindow &window, InputBuffer &input, CoefficientBlock &block)
{
    return WalkMcuBlocks(header, McuPositionOf(header, n_mcu), [&](int j, int32_t n_block_column, int32_t n_block_row) {
        const int n_index = header.scan_components[j].n_index;
        const bool b_decoded =
            DecodeBlock(window, input, header.scan_components[j], frame.n_dc_predictors[n_index], block);
        const int32_t n_x0 = 8 * n_block_column, n_y0 = 8 * n_block_row;
        const int32_t n_plane_width = frame.n_plane_widths[n_index];
        if(b_decoded && n_x0 < n_plane_width && n_y0 < frame.n_plane_heights[n_index]) {
            int8_t *p_dest = frame.p_planes[n_index] + n_y0 * n_plane_width + n_x0;
            const float *p_factors = factors.values[j];
            if(!block.b_any_ac)
                StoreDcOnlyBlock(float(block.values[0]) * p_factors[0], p_dest, n_plane_width);
            else
                StoreQuantisedBlock(block.values, p_factors, p_dest, n_plane_width);
        }
        ClearBlock(block);
        return b_decoded;
    });
}

bool DecodeSequentialScan(JpegFrame &frame, const ScanHeader &header, uint16_t n_restart_interval,
                          InputBuffer &input)
{
    CoefficientBlock block = ZeroBlock();
    const NaturalFactors factors = NaturalFactorsOf(header);
    const bool b_decoded = DecodeByRestartIntervals(
        frame, header, n_restart_interval, input,
        [&](int32_t n_first, int32_t n_stop, BitReaderWindow &window) {
            for(int32_t n_mcu = n_first; n_mcu < n_stop; ++n_mcu)
                if(!DecodeMcu(frame, header, factors, n_mcu, window, input, block))
                    return false;
            return true;
        },
        [] {});
    if(!b_decoded)
        return false;
    for(int j = 0; j < header.n_scan_components; ++j)
        frame.n_dc_complete_bits |= uint8_t(1u << header.scan_components[j].n_index);
    return true;
}

} // namespace tarnwick
