// Progressive scans, after ITU-T T.81 Annex G (Huffman coding).
//
// Four kinds of scan, by the band and the approximation they carry:
//   DC first   (Ss = 0, Ah = 0): per block a DC difference, as in a
//              sequential scan, added to the component's predictor; the
//              coefficient is the predictor shifted left by Al. Interleaved
//              or not, on the MCU grid of a sequential scan.
//   DC refine  (Ss = 0, Ah > 0): one raw bit per block, bit Al of the DC.
//   AC first   (Ss > 0, Ah = 0): one component, one block per MCU. Run/size
//              symbols as in a sequential scan, the values shifted left by
//              Al; a symbol of size 0 and run r < 15 ends the band of this
//              block and of the next 2^r - 1 + (r more bits) blocks: an
//              end-of-band run.
//   AC refine  (Ss > 0, Ah > 0): one component. Each coefficient already
//              non-zero gets one correction bit (1: its magnitude grows by
//              2^Al); each symbol (run r, size 1) places a new coefficient of
//              +-2^Al after r zero coefficients, passing over and correcting
//              the non-zero ones on the way; end-of-band runs as above, whose
//              blocks still take the correction bits of their non-zero
//              coefficients.
// Restart markers end every n_restart_interval MCUs: the DC predictors and
// the end-of-band run start again at 0.
//
// Work stays in proportion to the data. A block costs at least one bit in
// the component's DC first scan, and an AC scan of a component whose DC
// first scan is not complete is refused, as is the end of the image before
// every component's is; a DC scan or an AC first scan reads data for every
// block it touches, except for the blocks of end-of-band runs, which it
// passes over at once (a run of up to 32767 blocks costs one symbol). Only
// a refinement's end-of-band run walks blocks without reading data, to find
// their non-zero coefficients, and only when some block of the component
// has one in the band. The progression lets each position of a component
// take at most 14 scans (a first one, Al at most 13, then one per bit), and
// the decoder's limit on scans (kMaxScans, jpeg_decoder.h) bounds the scans
// of the image. Corrupt data fails the scan: a code matching nothing, a
// value past the band, a refinement symbol of size other than 0 or 1, a DC
// size above 16, or running out of input, which stops the scan at once.
#include "jpeg_progressive.h"

#include <cstddef>
#include <cstdint>

#include "jpeg_bits.h"
#include "jpeg_idct.h"
#include "memory_block.h"
#include "platform.h"
#include "simd.h"

namespace tarnwick {
namespace {

// The largest Al (and Ah - 1) of a scan. libjpeg accepts the same: the
// coefficients of 8-bit samples fit in 11 bits, 15 with the quantisation
// tables' smallest step, and shifted by 13 they still fit in 16-bit storage.
constexpr int kMaxApproximationBit = 13;
constexpr int kLastZigzagPosition = 63;
constexpr uint8_t kZeroRunSymbolRun = 15; // run 15, size 0: sixteen zeros

enum class ScanKind { kDcFirst, kDcRefine, kAcFirst, kAcRefine };

ScanKind KindOf(const ScanHeader &header)
{
    if(header.n_spectral_start == 0)
        return header.n_bit_high == 0 ? ScanKind::kDcFirst : ScanKind::kDcRefine;
    return header.n_bit_high == 0 ? ScanKind::kAcFirst : ScanKind::kAcRefine;
}

// Bits n_start..n_end (0..63) set.
uint64_t n_BandMask(int n_start, int n_end)
{
    const uint64_t n_up_to_end = n_end == 63 ? ~uint64_t(0) : (uint64_t(1) << (n_end + 1)) - 1;
    return n_up_to_end & ~((uint64_t(1) << n_start) - 1);
}

// 16-bit two's-complement arithmetic for coefficients of corrupt files,
// which may leave the range of valid ones.
inline int16_t n_ShiftedLeft(int16_t n_value, int n_bits)
{
    return int16_t(uint16_t(uint32_t(uint16_t(n_value)) << n_bits));
}

// The block of component n_index at block column and row (bx, by) of its
// plane, or nullptr when the plane does not reach it.
int16_t *p_BlockOf(const JpegFrame &frame, const ProgressiveState &state, int n_index, int32_t n_bx, int32_t n_by)
{
    const int32_t n_blocks_across = frame.n_plane_widths[n_index] / 8;
    if(n_bx >= n_blocks_across || n_by >= frame.n_plane_heights[n_index] / 8)
        return nullptr;
    return state.p_coefficients[n_index] + 64 * (size_t(n_by) * size_t(n_blocks_across) + size_t(n_bx));
}

// --- DC scans ------------------------------------------------------------------

// The DC coefficients of the blocks of MCU n_mcu, in the order of a
// sequential MCU. Blocks beyond a plane are decoded and dropped.
bool DecodeDcMcu(JpegFrame &frame, ProgressiveState &state, const ScanHeader &header, bool b_first, int32_t n_mcu,
                 BitReaderWindow &window, InputBuffer &input)
{
    const int n_bit_low = header.n_bit_low;
    const bool b_decoded =
        WalkMcuBlocks(header, McuPositionOf(header, n_mcu), [&](int j, int32_t n_block_column, int32_t n_block_row) {
            const ScanComponent &scan_component = header.scan_components[j];
            const int n_index = scan_component.n_index;
            int16_t *p_block = p_BlockOf(frame, state, n_index, n_block_column, n_block_row);
            int16_t n_dropped = 0;
            int16_t &n_dc = p_block ? p_block[0] : n_dropped;
            if(b_first) {
                int16_t &n_predictor = frame.n_dc_predictors[n_index];
                if(!DecodeDcDifference(window, input, *scan_component.p_dc_table, n_predictor))
                    return false;
                n_dc = n_ShiftedLeft(n_predictor, n_bit_low);
            } else if(TakeBit(window, input)) {
                n_dc = int16_t(uint16_t(n_dc) | (1u << n_bit_low));
            }
            return true;
        });
    return b_decoded && !window.b_input_ended;
}

// --- AC scans ------------------------------------------------------------------

// The first bits of the band of one block that no end-of-band run covers.
// An end of band here sets n_eob_run to the number of blocks after this one
// that the run covers too.
bool DecodeAcFirstBlock(BitReaderWindow &window, InputBuffer &input, const ScanHeader &header, int16_t *p_block,
                        int32_t &n_eob_run, uint64_t &n_nonzero_positions)
{
    const HuffmanTable &table = *header.scan_components[0].p_ac_table;
    WindowRegister bits = LoadRegister(window);
    bool b_valid = true;
    for(int k = header.n_spectral_start; k <= header.n_spectral_end; ++k) {
        FillRegister(bits, window, kMaxCodeLength + 15);
        uint8_t n_symbol = 0;
        if(!TakeRegisterSymbol(bits, window, input, table, n_symbol)) {
            b_valid = false;
            break;
        }
        const int n_run = n_symbol >> 4, n_size = n_symbol & 0x0F;
        if(n_size) {
            k += n_run;
            if(k > header.n_spectral_end) {
                b_valid = false; // a value past the band
                break;
            }
            const int16_t n_value = ExtendSign(TakeRegisterBits(bits, window, input, n_size), n_size);
            p_block[k] = n_ShiftedLeft(n_value, header.n_bit_low);
            n_nonzero_positions |= uint64_t(1) << k;
        } else if(n_run == kZeroRunSymbolRun) {
            k += 15; // and the loop's step: sixteen zeros
        } else {
            n_eob_run = int32_t((1u << n_run) - 1 + TakeRegisterBits(bits, window, input, n_run));
            break;
        }
    }
    StoreRegister(bits, window);
    return b_valid;
}

// Adds 2^Al (n_bit) to the magnitude of a non-zero coefficient whose
// correction bit is 1, unless that bit of it is set already.
inline void CorrectCoefficient(int16_t &n_coefficient, int n_bit)
{
    if((n_coefficient & n_bit) == 0)
        n_coefficient = int16_t(uint16_t(n_coefficient >= 0 ? n_coefficient + n_bit : n_coefficient - n_bit));
}

// Some coefficient at positions n_start..n_end of the block is not zero.
// Most blocks of a refinement's end-of-band run have none: one pass, which
// the compiler vectorises, finds out.
inline bool b_AnyNonzero(const int16_t *p_block, int n_start, int n_end)
{
    int n_any = 0;
    for(int k = n_start; k <= n_end; ++k)
        n_any |= p_block[k];
    return n_any != 0;
}

// The correction bits of the non-zero coefficients at positions
// n_start..n_end of the block.
void CorrectNonzeroCoefficients(WindowRegister &bits, BitReaderWindow &window, InputBuffer &input, int16_t *p_block,
                                int n_start, int n_end, int n_bit)
{
    for(int k = n_start; k <= n_end; ++k)
        if(p_block[k] != 0 && TakeRegisterBit(bits, window, input))
            CorrectCoefficient(p_block[k], n_bit);
}

void CorrectNonzeroCoefficients(BitReaderWindow &window, InputBuffer &input, int16_t *p_block, int n_start, int n_end,
                                int n_bit)
{
    WindowRegister bits = LoadRegister(window);
    CorrectNonzeroCoefficients(bits, window, input, p_block, n_start, n_end, n_bit);
    StoreRegister(bits, window);
}

// One more bit of the band of one block that no end-of-band run covers. An
// end of band here sets n_eob_run to the number of blocks after this one
// that the run covers too.
bool DecodeAcRefineBlock(BitReaderWindow &window, InputBuffer &input, const ScanHeader &header, int16_t *p_block,
                         int32_t &n_eob_run, uint64_t &n_nonzero_positions)
{
    const HuffmanTable &table = *header.scan_components[0].p_ac_table;
    const int n_end = header.n_spectral_end;
    const int n_bit = 1 << header.n_bit_low;
    WindowRegister bits = LoadRegister(window);
    bool b_valid = true;
    int k = header.n_spectral_start;
    for(; k <= n_end; ++k) {
        FillRegister(bits, window, kMaxCodeLength + 15);
        uint8_t n_symbol = 0;
        if(!TakeRegisterSymbol(bits, window, input, table, n_symbol)) {
            b_valid = false;
            break;
        }
        int n_run = n_symbol >> 4;
        const int n_size = n_symbol & 0x0F;
        int16_t n_new = 0;
        if(n_size == 1) {
            n_new = int16_t(TakeRegisterBit(bits, window, input) ? n_bit : -n_bit);
        } else if(n_size != 0) {
            b_valid = false; // a new coefficient is always one bit
            break;
        } else if(n_run != kZeroRunSymbolRun) {
            n_eob_run = int32_t((1u << n_run) - 1 + TakeRegisterBits(bits, window, input, n_run));
            break;
        }
        // Pass over the non-zero coefficients, correcting each, and n_run
        // zero ones; the next zero one takes the new coefficient. (A run of
        // sixteen zeros stops on its sixteenth.)
        for(; k <= n_end; ++k) {
            if(p_block[k] != 0) {
                if(TakeRegisterBit(bits, window, input))
                    CorrectCoefficient(p_block[k], n_bit);
            } else if(--n_run < 0) {
                break;
            }
        }
        if(n_new) {
            if(k > n_end) {
                b_valid = false; // no zero coefficient left for it
                break;
            }
            p_block[k] = n_new;
            n_nonzero_positions |= uint64_t(1) << k;
        }
    }
    // The rest of the band after an end of band.
    if(b_valid)
        CorrectNonzeroCoefficients(bits, window, input, p_block, k, n_end, n_bit);
    StoreRegister(bits, window);
    return b_valid;
}

// Blocks n_first .. n_stop - 1 of an AC scan of one component, in raster
// order over the component's own blocks (which lie inside its store:
// checked with the scan header). n_eob_run carries the blocks of an
// end-of-band run not yet passed.
bool DecodeAcBlocks(JpegFrame &frame, ProgressiveState &state, const ScanHeader &header, bool b_first,
                    int32_t n_first, int32_t n_stop, BitReaderWindow &window, InputBuffer &input, int32_t &n_eob_run)
{
    const int n_index = header.scan_components[0].n_index;
    uint64_t &n_nonzero_positions = state.n_nonzero_positions[n_index];
    const uint64_t n_band = n_BandMask(header.n_spectral_start, header.n_spectral_end);
    const int n_bit = 1 << header.n_bit_low;
    // One block per MCU: the MCU's position is the block's. Its block in the
    // store follows the previous one, except at the start of a row.
    const int32_t n_blocks_across = header.n_mcus_per_row;
    McuPosition position = McuPositionOf(header, n_first);
    int16_t *p_block = p_BlockOf(frame, state, n_index, position.n_column, position.n_row);
    const auto step = [&] {
        StepMcu(n_blocks_across, position);
        p_block = position.n_column ? p_block + 64 : p_BlockOf(frame, state, n_index, 0, position.n_row);
    };
    for(int32_t n_block = n_first; n_block < n_stop;) {
        if(n_eob_run > 0) {
            const int32_t n_run_end = n_stop - n_block < n_eob_run ? n_stop : n_block + n_eob_run;
            n_eob_run -= n_run_end - n_block;
            if(b_first || !(n_nonzero_positions & n_band)) {
                // Nothing to do in these blocks: their band stays as it is.
                n_block = n_run_end;
                if(n_block < n_stop) {
                    position = McuPositionOf(header, n_block);
                    p_block = p_BlockOf(frame, state, n_index, position.n_column, position.n_row);
                }
                continue;
            }
            // A refinement: the blocks' non-zero coefficients take their
            // correction bits.
            for(; n_block < n_run_end; ++n_block, step())
                if(b_AnyNonzero(p_block, header.n_spectral_start, header.n_spectral_end))
                    CorrectNonzeroCoefficients(window, input, p_block, header.n_spectral_start,
                                               header.n_spectral_end, n_bit);
            if(window.b_input_ended)
                return false;
            continue;
        }
        const bool b_decoded =
            b_first ? DecodeAcFirstBlock(window, input, header, p_block, n_eob_run, n_nonzero_positions)
                    : DecodeAcRefineBlock(window, input, header, p_block, n_eob_run, n_nonzero_positions);
        if(!b_decoded || window.b_input_ended)
            return false;
        ++n_block;
        step();
    }
    return true;
}

// MCUs n_first .. n_stop - 1 of the scan, with no restart marker among them.
bool DecodeInterval(JpegFrame &frame, ProgressiveState &state, const ScanHeader &header, ScanKind kind,
                    int32_t n_first, int32_t n_stop, BitReaderWindow &window, InputBuffer &input, int32_t &n_eob_run)
{
    if(kind == ScanKind::kAcFirst || kind == ScanKind::kAcRefine)
        return DecodeAcBlocks(frame, state, header, kind == ScanKind::kAcFirst, n_first, n_stop, window, input,
                              n_eob_run);
    for(int32_t n_mcu = n_first; n_mcu < n_stop; ++n_mcu)
        if(!DecodeDcMcu(frame, state, header, kind == ScanKind::kDcFirst, n_mcu, window, input))
            return false;
    return true;
}

// A DC first scan begins each component's data: its quantisation factors
// are kept from here on.
void KeepQuantFactors(ProgressiveState &state, const ScanHeader &header)
{
    for(int j = 0; j < header.n_scan_components; ++j) {
        const ScanComponent &scan_component = header.scan_components[j];
        for(int k = 0; k < 64; ++k)
            state.dequant_factors[scan_component.n_index][k] = scan_component.p_quant_table->factors[k];
    }
}

// The scan decoded all its MCUs: its positions now hold bits down to Al.
void RecordScan(JpegFrame &frame, ProgressiveState &state, const ScanHeader &header, ScanKind kind)
{
    for(int j = 0; j < header.n_scan_components; ++j) {
        const int n_index = header.scan_components[j].n_index;
        for(int k = header.n_spectral_start; k <= header.n_spectral_end; ++k)
            state.n_coefficient_bits[n_index][k] = int8_t(header.n_bit_low);
        if(kind == ScanKind::kDcFirst)
            frame.n_dc_complete_bits |= uint8_t(1u << n_index);
    }
}

// The one allocation of a frame's coefficients: n_blocks blocks of 64
// zero-filled 16-bit values (at least one byte for none), or nullptr. A
// large store is a block of fresh zero pages (memory_block.h), so the blocks
// that no scan reaches cost no memory.
int16_t *AllocateCoefficientStore(size_t n_blocks)
{
    constexpr size_t kBlockBytes = 64 * sizeof(int16_t);
    if(n_blocks > SIZE_MAX / kBlockBytes)
        return nullptr;
    return static_cast<int16_t *>(AllocateZeroedBlock(n_blocks * kBlockBytes));
}

} // namespace

void ClearCoefficients(ProgressiveState &state)
{
    state.p_coefficient_store = nullptr;
    state.n_coefficient_blocks = 0;
    for(int16_t *&p_coefficients : state.p_coefficients)
        p_coefficients = nullptr;
}

void ReleaseCoefficients(ProgressiveState &state)
{
    FreeBlock(state.p_coefficient_store, state.n_coefficient_blocks * 64 * sizeof(int16_t));
    ClearCoefficients(state);
}

bool AllocateCoefficients(const JpegFrame &frame, ProgressiveState &state)
{
    size_t n_offsets[kMaxComponents];
    size_t n_blocks = 0;
    for(int i = 0; i < frame.n_components; ++i) {
        n_offsets[i] = n_blocks;
        n_blocks += size_t(frame.n_plane_widths[i] / 8) * size_t(frame.n_plane_heights[i] / 8);
    }
    state.p_coefficient_store = AllocateCoefficientStore(n_blocks);
    if(!state.p_coefficient_store)
        return false;
    state.n_coefficient_blocks = n_blocks;
    for(int i = 0; i < frame.n_components; ++i) {
        state.p_coefficients[i] = state.p_coefficient_store + 64 * n_offsets[i];
        state.n_nonzero_positions[i] = 0;
        for(int8_t &n_bits : state.n_coefficient_bits[i])
            n_bits = -1;
    }
    return true;
}

bool b_IsValidProgressiveScan(const JpegFrame &frame, const ProgressiveState &state, const ScanHeader &header)
{
    const int n_start = header.n_spectral_start, n_end = header.n_spectral_end;
    const int n_high = header.n_bit_high, n_low = header.n_bit_low;
    if(n_start > n_end || n_end > kLastZigzagPosition || (n_start == 0 && n_end != 0) ||
       (n_start > 0 && header.n_scan_components != 1) || n_low > kMaxApproximationBit ||
       (n_high != 0 && n_low != n_high - 1))
        return false;
    for(int j = 0; j < header.n_scan_components; ++j) {
        const ScanComponent &scan_component = header.scan_components[j];
        const int n_index = scan_component.n_index;
        if(n_start > 0) {
            // The DC first, and blocks that all lie in the store.
            const FrameComponent &component = *scan_component.p_component;
            if(!(frame.n_dc_complete_bits >> n_index & 1) ||
               component.n_blocks_across > frame.n_plane_widths[n_index] / 8 ||
               component.n_blocks_down > frame.n_plane_heights[n_index] / 8)
                return false;
        }
        const int n_expected = n_high == 0 ? -1 : n_high;
        for(int k = n_start; k <= n_end; ++k)
            if(state.n_coefficient_bits[n_index][k] != n_expected)
                return false;
    }
    return true;
}

bool DecodeProgressiveScan(JpegFrame &frame, ProgressiveState &state, const ScanHeader &header,
                           uint16_t n_restart_interval, InputBuffer &input)
{
    const ScanKind kind = KindOf(header);
    if(kind == ScanKind::kDcFirst)
        KeepQuantFactors(state, header);
    int32_t n_eob_run = 0;
    const bool b_decoded = DecodeByRestartIntervals(
        frame, header, n_restart_interval, input,
        [&](int32_t n_first, int32_t n_stop, BitReaderWindow &window) {
            return DecodeInterval(frame, state, header, kind, n_first, n_stop, window, input, n_eob_run);
        },
        [&n_eob_run] { n_eob_run = 0; }); // an end-of-band run ends at a restart
    if(!b_decoded)
        return false;
    RecordScan(frame, state, header, kind);
    return true;
}

namespace {

// Bit k set when the coefficient at zigzag position k of the block is not
// zero.
inline uint64_t n_NonzeroPositions(const int16_t *p_block)
{
#if TARNWICK_SIMD_SSE2
    uint64_t n_zero = 0;
    const __m128i zero = _mm_setzero_si128();
    for(int k = 0; k < 64; k += 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_block + k));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p_block + k + 8));
        const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(first, zero), _mm_cmpeq_epi16(second, zero));
        n_zero |= uint64_t(uint32_t(_mm_movemask_epi8(zeros))) << k;
    }
    return ~n_zero;
#else
    uint64_t n_nonzero = 0;
    for(int k = 0; k < 64; ++k)
        n_nonzero |= uint64_t(p_block[k] != 0) << k;
    return n_nonzero;
#endif
}

} // namespace

void TransformCoefficients(JpegFrame &frame, const ProgressiveState &state)
{
    uint8_t natural_of[64];
    natural_of[0] = 0;
    for(int k = 1; k < 64; ++k)
        natural_of[k] = kZigzagToNatural[k - 1];
    // Dequantised in natural order, as a sequential scan gives them to
    // StoreBlock: only the coefficients that are not zero are written into
    // the all-zero block (a zero one is 0.0 either way) and cleared again
    // after it; a block of a DC coefficient alone is stored as such.
    float coefficients[64];
    for(float &f_coefficient : coefficients)
        f_coefficient = 0.0f;
    for(int i = 0; i < frame.n_components; ++i) {
        const float *p_factors = state.dequant_factors[i];
        const int32_t n_width = frame.n_plane_widths[i];
        const int32_t n_blocks_across = n_width / 8, n_blocks_down = frame.n_plane_heights[i] / 8;
        const int16_t *p_block = state.p_coefficients[i];
        for(int32_t n_by = 0; n_by < n_blocks_down; ++n_by) {
            int8_t *p_row = frame.p_planes[i] + size_t(n_by) * 8 * size_t(n_width);
            for(int32_t n_bx = 0; n_bx < n_blocks_across; ++n_bx, p_block += 64) {
                const uint64_t n_nonzero = n_NonzeroPositions(p_block);
                if(n_nonzero <= 1) {
                    StoreDcOnlyBlock(float(p_block[0]) * p_factors[0], p_row + 8 * n_bx, n_width);
                    continue;
                }
                for(uint64_t n_left = n_nonzero; n_left; n_left &= n_left - 1) {
                    const int k = n_CountTrailingZeros64(n_left);
                    coefficients[natural_of[k]] = float(p_block[k]) * p_factors[k];
                }
                StoreBlock(coefficients, p_row + 8 * n_bx, n_width);
                for(uint64_t n_left = n_nonzero; n_left; n_left &= n_left - 1)
                    coefficients[natural_of[n_CountTrailingZeros64(n_left)]] = 0.0f;
            }
        }
    }
}

} // namespace tarnwick
