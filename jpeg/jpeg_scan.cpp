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
// The MCUs take their bits through a BitWindow (below), a 64-bit register
// loaded several bytes ahead, so that symbols and values are read without a
// check per bit; it delivers exactly the bits that reading the data one bit
// at a time would, in the same order, and leaves the BitReader and the
// InputBuffer where such a reading would.
//
// Corrupt data fails the decode: a code that matches nothing within 16 bits,
// an AC run past position 63, a DC size above 16, or running out of input.
// The last one stops the scan at once, so the work of a decode is bounded by
// its input and not by the MCU count the frame header declares.
#include "jpeg_scan.h"

#include "jpeg_idct.h"

namespace tarnwick {
namespace {

constexpr int kMaxCodeLength = 16;
constexpr int kMaxDcSize = 16; // TakeValue delivers at most 16 bits
constexpr uint8_t kEndOfBlock = 0x00;
constexpr uint8_t kSixteenZeros = 0xF0;

const FrameComponent *FindFrameComponent(const JpegDecoder &decoder, uint8_t n_id)
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

// The canonical code search: for
// L = 0, 1, ... 15 in turn, the code formed by the first L + 1 bits matches
// when it lies within the n_code_counts[L] codes from n_first_codes[L].
// code_of_length(L) gives that code. Returns the length in bits of the code
// that matched, 0 when none matched within 16 bits.
// Lengths below n_start_length have no codes (their counts are 0) and are
// passed over.
template <typename CodeOfLength>
inline int MatchCode(const HuffmanTable &table, int n_start_length, CodeOfLength code_of_length,
                       uint8_t &n_symbol)
{
    for(int n_length = n_start_length; n_length < kMaxCodeLength; ++n_length) {
        const int32_t n_offset = code_of_length(n_length) - table.n_first_codes[n_length];
        // The table parser refuses more than 256 symbols, so the codes of
        // every length point inside symbols.
        if(uint32_t(n_offset) < table.n_code_counts[n_length]) {
            n_symbol = table.p_first_values[n_length][n_offset];
            return n_length + 1;
        }
    }
    return 0;
}

// The search over bits that come one at a time from next_bit().
template <typename NextBit>
inline bool MatchCodeBitByBit(const HuffmanTable &table, NextBit next_bit, uint8_t &n_symbol)
{
    int32_t n_code = 0;
    return MatchCode(table, 0, [&n_code, &next_bit](int) { return n_code = n_code << 1 | next_bit(); },
                       n_symbol) != 0;
}

// The EXTEND rule on n_bits (1..16) bits v whose first bit is the top one: a
// value whose first bit is 0 is v - (2^n - 1), within 16 bits.
inline int16_t ExtendSign(uint32_t n_value, int n_bits)
{
    // Without a branch: the sign of a coefficient is a coin toss.
    const uint32_t n_negative_mask = (n_value >> (n_bits - 1)) - 1u; // all ones when the first bit is 0
    n_value += n_negative_mask & (1u - (1u << n_bits));
    return int16_t(uint16_t(n_value));
}

// --- Bit window --------------------------------------------------------------
//
// The MCU decoder's bits come through a 64-bit register that holds the unread
// bits at its top. Data bytes are loaded into it several at a time, with the
// stuffing rule (a 0x00 after a 0xFF data byte is dropped), and symbols and
// values are then taken from it without a check per bit: a code is still
// matched length by length, shortest first, against the first codes and
// counts.
//
// The window is opened from the BitReader at the start of an MCU and closed
// into it at the end. Closing hands back every byte that was loaded ahead and
// from which no bit was taken, so that the BitReader and the InputBuffer then
// stand exactly where reading the same bits one at a time would have left
// them: a restart marker search, or the decode's marker search after the
// scan, goes on from the same byte.
//
// Bytes are loaded ahead only from the InputBuffer's current block. A new
// block is read only when the window is empty and a bit is needed, and then
// one byte through ReadByte, as a bit-at-a-time reading would; that position
// becomes the anchor. So every byte handed back lies in the current block,
// after the anchor, whose count of loaded bytes and last-0xFF state are known.
struct BitWindow {
    uint64_t n_bits;          // unread bits at the top, zeros below them
    int n_count;              // unread bits, 0..64
    uint32_t n_loaded;        // data bytes loaded since opening
    const uint8_t *p_next;    // next byte of the block
    const uint8_t *p_end;     // end of the block's valid bytes
    bool b_last_ff;           // the last loaded data byte was 0xFF
    bool b_input_ended;       // a bit was asked for after the input ended
    bool b_stuffed_since_anchor;
    const uint8_t *p_anchor;  // a block position after n_anchor_loaded data bytes
    uint32_t n_anchor_loaded;
    bool b_anchor_last_ff;
};

void SetAnchor(BitWindow &window)
{
    window.p_anchor = window.p_next;
    window.n_anchor_loaded = window.n_loaded;
    window.b_anchor_last_ff = window.b_last_ff;
    window.b_stuffed_since_anchor = false;
}

BitWindow OpenWindow(const BitReader &reader, const InputBuffer &input)
{
    BitWindow window;
    window.n_count = reader.n_bits_left;
    // The unread bits of the reader's byte, and zeros below them.
    window.n_bits = window.n_count ? (uint64_t(reader.n_byte) << 56) & ~(~uint64_t(0) >> window.n_count) : 0;
    window.n_loaded = 0;
    window.p_next = input.p_cursor;
    window.p_end = input.data + input.n_count;
    window.b_last_ff = reader.b_last_ff;
    window.b_input_ended = reader.b_input_ended;
    SetAnchor(window);
    return window;
}

inline void AppendByte(BitWindow &window, uint8_t n_byte)
{
    window.n_bits |= uint64_t(n_byte) << (56 - window.n_count);
    window.n_count += 8;
    window.b_last_ff = n_byte == 0xFF;
    ++window.n_loaded;
}

// Loads data bytes from the current block while whole bytes fit. A stuffed
// zero at the very end of the block is left there: its data byte is in the
// next block, which only an empty window may read.
inline void FillWindow(BitWindow &window)
{
    while(window.n_count <= 56 && window.p_next != window.p_end) {
        const uint8_t *p_next = window.p_next;
        uint8_t n_byte = *p_next++;
        if(n_byte == 0x00 && window.b_last_ff) {
            if(p_next == window.p_end)
                return;
            n_byte = *p_next++;
            window.b_stuffed_since_anchor = true;
        }
        window.p_next = p_next;
        AppendByte(window, n_byte);
    }
}

// The window is empty and a bit is needed: loads one data byte, dropping a
// stuffed zero, reading a new block if need be. False once the input has ended.
[[gnu::noinline]] bool LoadByteOnDemand(BitWindow &window, InputBuffer &input)
{
    if(window.b_input_ended)
        return false;
    input.p_cursor = window.p_next;
    uint8_t n_byte = 0;
    const bool b_loaded = ReadByte(input, n_byte) && !(n_byte == 0x00 && window.b_last_ff && !ReadByte(input, n_byte));
    if(b_loaded)
        AppendByte(window, n_byte);
    else
        window.b_input_ended = true;
    window.p_next = input.p_cursor;
    window.p_end = input.data + input.n_count;
    SetAnchor(window);
    return b_loaded;
}

// One bit, loading on demand: the path near block ends and at the end of
// the input. Once the input has ended every bit reads 0.
inline int TakeBit(BitWindow &window, InputBuffer &input)
{
    if(window.n_count == 0 && !LoadByteOnDemand(window, input))
        return 0;
    const int n_bit = int(window.n_bits >> 63);
    window.n_bits <<= 1;
    --window.n_count;
    return n_bit;
}

inline void DropBits(BitWindow &window, int n_bits)
{
    window.n_bits <<= n_bits;
    window.n_count -= n_bits;
}

inline bool TakeSymbol(BitWindow &window, InputBuffer &input, const HuffmanTable &table, int n_start_length,
                         uint8_t &n_symbol)
{
    if(window.n_count < kMaxCodeLength)
        FillWindow(window);
    if(window.n_count >= kMaxCodeLength) {
        // Sixteen bits are there: the code of each length is read straight
        // from the top of the window, and the bits are dropped once it
        // matches (all sixteen when none does, as a bit-at-a-time search
        // would have read).
        const uint64_t n_bits = window.n_bits;
        const int n_length = MatchCode(
            table, n_start_length, [n_bits](int n_index) { return int32_t(n_bits >> (63 - n_index)); }, n_symbol);
        DropBits(window, n_length ? n_length : kMaxCodeLength);
        return n_length != 0;
    }
    return MatchCodeBitByBit(table, [&window, &input] { return TakeBit(window, input); }, n_symbol) &&
           !window.b_input_ended;
}

// n_bits (1..16) bits, sign-extended by ExtendSign.
inline int16_t TakeValue(BitWindow &window, InputBuffer &input, int n_bits)
{
    if(window.n_count < n_bits)
        FillWindow(window);
    uint32_t n_value = 0;
    if(window.n_count >= n_bits) {
        n_value = uint32_t(window.n_bits >> (64 - n_bits));
        DropBits(window, n_bits);
    } else {
        for(int i = 0; i < n_bits; ++i)
            n_value = n_value << 1 | uint32_t(TakeBit(window, input));
    }
    return ExtendSign(n_value, n_bits);
}

// Hands back the bytes loaded ahead and stores the state into the reader.
void CloseWindow(const BitWindow &window, BitReader &reader, InputBuffer &input)
{
    // Bytes from which a bit was taken: all but the whole unread bytes at the
    // end. The unread bits of the last of them make the reader's byte.
    const uint32_t n_kept = window.n_loaded - uint32_t(window.n_count / 8);
    const int n_bits_left = window.n_count % 8;
    const uint8_t *p_cursor = window.p_anchor;
    bool b_last_ff = window.b_anchor_last_ff;
    if(!window.b_stuffed_since_anchor) {
        p_cursor += n_kept - window.n_anchor_loaded;
        if(n_kept > window.n_anchor_loaded)
            b_last_ff = p_cursor[-1] == 0xFF;
    } else {
        // Walk the bytes again, with the stuffing rule, from the anchor.
        for(uint32_t i = window.n_anchor_loaded; i < n_kept; ++i) {
            uint8_t n_byte = *p_cursor++;
            if(n_byte == 0x00 && b_last_ff)
                n_byte = *p_cursor++;
            b_last_ff = n_byte == 0xFF;
        }
    }
    input.p_cursor = p_cursor;
    reader.n_byte = uint8_t(uint8_t(window.n_bits >> 56) & (0xFF00u >> n_bits_left));
    reader.n_bits_left = uint8_t(n_bits_left);
    reader.b_last_ff = b_last_ff;
    reader.b_input_ended = window.b_input_ended;
}

// The coefficients of one block, and which of them are not zero: the block
// is cleared once, and after each block only the coefficients written.
struct CoefficientBlock {
    float values[64];
    uint8_t a_written[64]; // natural indices written, in the order written
    int n_written;
};

void ClearWritten(CoefficientBlock &block)
{
    for(int i = 0; i < block.n_written; ++i)
        block.values[block.a_written[i]] = 0.0f;
    block.n_written = 0;
}

// The index of the shortest code length that has codes (16 when none has).
uint8_t n_FirstUsedLength(const HuffmanTable &table)
{
    uint8_t n_length = 0;
    while(n_length < kMaxCodeLength && table.n_code_counts[n_length] == 0)
        ++n_length;
    return n_length;
}

void SetCodeSearchStarts(ScanHeader &header)
{
    for(int j = 0; j < header.n_scan_components; ++j) {
        ScanComponent &scan_component = header.scan_components[j];
        scan_component.n_dc_start_length = n_FirstUsedLength(*scan_component.p_dc_table);
        scan_component.n_ac_start_length = n_FirstUsedLength(*scan_component.p_ac_table);
    }
}

// One block: DC difference and AC coefficients, dequantised, in natural
// order, into an all-zero block. False on corrupt data or when the input
// ended.
bool DecodeBlock(BitWindow &window, InputBuffer &input, const ScanComponent &scan_component,
                 const float *p_factors, int16_t &n_predictor, CoefficientBlock &block)
{
    float *p_coefficients = block.values;
    uint8_t n_size = 0;
    if(!TakeSymbol(window, input, *scan_component.p_dc_table, scan_component.n_dc_start_length, n_size) ||
       n_size > kMaxDcSize)
        return false;
    if(n_size)
        n_predictor = int16_t(uint16_t(n_predictor + TakeValue(window, input, n_size)));
    p_coefficients[0] = float(n_predictor) * p_factors[0];
    block.a_written[block.n_written++] = 0;

    for(int k = 1; k < 64;) {
        uint8_t n_symbol = 0;
        if(!TakeSymbol(window, input, *scan_component.p_ac_table, scan_component.n_ac_start_length, n_symbol))
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
        const uint8_t n_natural = kZigzagToNatural[k - 1];
        p_coefficients[n_natural] = float(TakeValue(window, input, n_value_size)) * p_factors[k];
        block.a_written[block.n_written++] = n_natural;
        ++k;
    }
    return !window.b_input_ended;
}

} // namespace

void ClearBitReader(BitReader &reader)
{
    reader.n_byte = 0;
    reader.b_last_ff = 0;
    reader.n_bits_left = 0;
    reader.b_input_ended = 0;
}

void ResetBitReader(BitReader &reader)
{
    reader.n_bits_left = 0;
    reader.b_last_ff = 0;
}

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
        scan_component.p_component = FindFrameComponent(decoder, scan_component.n_id);
        if(!b_ComponentUsable(decoder, scan_component))
            return false;
        scan_component.p_dc_table = &decoder.huffman_tables[scan_component.n_dc_table][0];
        scan_component.p_ac_table = &decoder.huffman_tables[scan_component.n_ac_table][1];
    }
    // Spectral selection and successive approximation: sequential scans
    // always cover all 64 coefficients at full precision.
    if(!SkipInput(input, 3))
        return false;
    SetScanGeometry(decoder, header);
    SetCodeSearchStarts(header);
    return true;
}

bool DecodeMcu(JpegDecoder &decoder, int32_t n_mcu, const ScanHeader &header, BitReader &reader,
               InputBuffer &input)
{
    const int32_t n_mcu_row = n_mcu / header.n_mcus_per_row;
    const int32_t n_mcu_col = n_mcu % header.n_mcus_per_row;
    BitWindow window = OpenWindow(reader, input);
    CoefficientBlock block;
    for(float &f_value : block.values)
        f_value = 0.0f;
    block.n_written = 0;
    for(int j = 0; j < header.n_scan_components; ++j) {
        const ScanComponent &scan_component = header.scan_components[j];
        const FrameComponent &component = *scan_component.p_component;
        const int n_slot = component.n_id - 1;
        const float *p_factors = decoder.quant_tables[component.n_quant_table].factors;
        const int32_t n_plane_width = decoder.n_plane_widths[n_slot];
        const int32_t n_plane_height = decoder.n_plane_heights[n_slot];
        const int n_across = scan_component.n_mcu_blocks_across;
        const int n_down = scan_component.n_mcu_blocks_down;
        // The component's blocks in this MCU, in raster order, H to a row.
        for(int n_block_row = 0; n_block_row < n_down; ++n_block_row) {
            const int32_t n_y0 = 8 * (n_down * n_mcu_row + n_block_row);
            for(int n_block_col = 0; n_block_col < n_across; ++n_block_col) {
                if(!DecodeBlock(window, input, scan_component, p_factors, decoder.n_dc_predictors[n_slot], block)) {
                    CloseWindow(window, reader, input);
                    return false;
                }
                const int32_t n_x0 = 8 * (n_across * n_mcu_col + n_block_col);
                if(n_x0 < n_plane_width && n_y0 < n_plane_height)
                    StoreBlock(block.values, decoder.p_planes[n_slot] + n_y0 * n_plane_width + n_x0,
                               n_plane_width);
                ClearWritten(block);
            }
        }
    }
    CloseWindow(window, reader, input);
    return true;
}

// What a restart marker ends: every DC predictor starts again at 0, and the
// next marker of the file, whatever it is, is consumed. False when the input
// ends first.
bool HandleRestartMarker(JpegDecoder &decoder, InputBuffer &input)
{
    uint16_t n_marker = 0;
    for(int16_t &n_predictor : decoder.n_dc_predictors)
        n_predictor = 0;
    return FindMarker(input, n_marker);
}

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

bool ParseScan(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    ScanHeader header;
    if(!ReadScanHeader(decoder, input, header))
        return false;
    if(header.n_scan_components == 0)
        return PassOverEmptyScan(decoder, input, header.n_mcu_count);
    BitReader reader;
    ClearBitReader(reader);
    // b_restart is only ever set together with a non-zero interval.
    int32_t n_until_restart = decoder.n_restart_interval;
    for(int32_t n_mcu = 0; n_mcu < header.n_mcu_count; ++n_mcu) {
        if(!DecodeMcu(decoder, n_mcu, header, reader, input))
            return false;
        if(!decoder.b_restart || --n_until_restart > 0 || n_mcu + 1 == header.n_mcu_count)
            continue;
        // Any marker ends the interval; its restart number is not checked.
        if(!HandleRestartMarker(decoder, input))
            return false;
        ResetBitReader(reader);
        n_until_restart = decoder.n_restart_interval;
    }
    for(int j = 0; j < header.n_scan_components; ++j)
        decoder.n_scanned_id_bits |= uint8_t(1u << (header.scan_components[j].n_id - 1));
    return true;
}

} // namespace tarnwick
