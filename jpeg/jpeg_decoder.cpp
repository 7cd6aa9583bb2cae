// Marker loop and segment parsers of the JPEG decoder.
//
// A JPEG file is a sequence of marker segments: 0xFF, a code byte, and for
// most codes a big-endian 16-bit length that counts itself and the body.
// Decode finds marker after marker and dispatches each through the constant
// table kMarkerHandlers. Everything before the start-of-image marker is
// ignored; the end-of-image marker turns the planes into the Image.
//
// Segment bodies handled here:
//   DQT  (0xFFDB) one or more of: byte Pq|Tq (precision 0 = 8-bit, 1 = 16-bit
//        entries; table id), then 64 entries in zigzag order.
//   DHT  (0xFFC4) one or more of: byte Tc|Th (class 0 = DC, 1 = AC; table id),
//        16 counts of codes of length 1..16, then the symbols in code order.
//   SOF0/SOF1/SOF2 precision, height, width, Nf, then per component: ID,
//        H|V sampling factors, quantisation table id.
//   DRI  (0xFFDD) restart interval in MCUs, 0 = off.
//   APP0 (0xFFE0) "JFIF\0" and the JFIF fields, or another identifier.
//   APP14 (0xFFEE) "Adobe", version, two flag words, colour transform byte.
//   SOS  (0xFFDA) the scan header (jpeg_scan_common.h), then the scan's
//        entropy-coded data, handed to the sequential or progressive stage.
// Every read is checked and every field that indexes a table or divides is
// checked against the limits in jpeg_frame.h and JpegDecoder; a segment that
// breaks one fails the decode. Planes are released on every way out of
// Decode.
#include "jpeg_decoder.h"

#include "jpeg_color.h"
#include "jpeg_idct.h"
#include "jpeg_scan_common.h"
#include "jpeg_sequential.h"

namespace tarnwick {
namespace {

constexpr uint16_t kStartOfImage = 0xFFD8;
constexpr uint16_t kEndOfImage = 0xFFD9;
constexpr uint16_t kStartOfProgressiveFrame = 0xFFC2;

// Bytes of one DQT table: the Pq|Tq byte and 64 entries of 1 or 2 bytes.
constexpr uint16_t kQuantTableBytes8 = 1 + 64;
constexpr uint16_t kQuantTableBytes16 = 1 + 64 * 2;
// Smallest DHT table: the Tc|Th byte and 16 counts.
constexpr uint16_t kHuffmanHeaderBytes = 1 + 16;

struct MarkerHandlerRow {
    uint16_t n_marker;
    MarkerHandler p_handler;
};

// Searched from the first row; markers without a row are ignored. The end of
// image never gets here: Decode acts on it itself.
constexpr MarkerHandlerRow kMarkerHandlers[] = {
    {0xFFC0, ParseFrameHeader},   // baseline sequential
    {0xFFC1, ParseFrameHeader},   // extended sequential, Huffman
    {0xFFC2, ParseFrameHeader},   // progressive, Huffman
    {0xFFC3, RefuseMarker<LoadFailure::kLosslessJpeg>},
    {0xFFC4, ParseHuffmanTables},
    {0xFFC5, RefuseMarker<LoadFailure::kHierarchicalJpeg>}, // differential frames
    {0xFFC6, RefuseMarker<LoadFailure::kHierarchicalJpeg>},
    {0xFFC7, RefuseMarker<LoadFailure::kHierarchicalJpeg>},
    {0xFFC8, RefuseMarker<LoadFailure::kUnsupportedJpeg>},  // JPEG extensions
    {0xFFC9, RefuseMarker<LoadFailure::kArithmeticJpeg>},   // arithmetic-coded frames
    {0xFFCA, RefuseMarker<LoadFailure::kArithmeticJpeg>},
    {0xFFCB, RefuseMarker<LoadFailure::kArithmeticJpeg>},
    {0xFFCC, RefuseMarker<LoadFailure::kArithmeticJpeg>},   // arithmetic conditioning
    {0xFFCD, RefuseMarker<LoadFailure::kArithmeticJpeg>},
    {0xFFCE, RefuseMarker<LoadFailure::kArithmeticJpeg>},
    {0xFFCF, RefuseMarker<LoadFailure::kArithmeticJpeg>},
    {0xFFD8, AcceptMarker},       // start of image
    {0xFFDA, ParseScan},
    {0xFFDB, ParseQuantTables},
    {0xFFDC, RefuseMarker<LoadFailure::kUnsupportedJpeg>},  // number of lines
    {0xFFDD, ParseRestartInterval},
    {0xFFDE, RefuseMarker<LoadFailure::kHierarchicalJpeg>}, // hierarchical progression
    {0xFFDF, SkipSegment},        // expand reference components
    {0xFFE0, ParseApp0},
    {0xFFE1, SkipSegment},        // APP1..APP13, APP15: EXIF, ICC, ...
    {0xFFE2, SkipSegment},
    {0xFFE3, SkipSegment},
    {0xFFE4, SkipSegment},
    {0xFFE5, SkipSegment},
    {0xFFE6, SkipSegment},
    {0xFFE7, SkipSegment},
    {0xFFE8, SkipSegment},
    {0xFFE9, SkipSegment},
    {0xFFEA, SkipSegment},
    {0xFFEB, SkipSegment},
    {0xFFEC, SkipSegment},
    {0xFFED, SkipSegment},
    {0xFFEE, ParseAdobeSegment},
    {0xFFEF, SkipSegment},
    {0xFFF0, SkipSegment},        // JPG0..JPG13 extensions
    {0xFFF1, SkipSegment},
    {0xFFF2, SkipSegment},
    {0xFFF3, SkipSegment},
    {0xFFF4, SkipSegment},
    {0xFFF5, SkipSegment},
    {0xFFF6, SkipSegment},
    {0xFFF7, SkipSegment},
    {0xFFF8, SkipSegment},
    {0xFFF9, SkipSegment},
    {0xFFFA, SkipSegment},
    {0xFFFB, SkipSegment},
    {0xFFFC, SkipSegment},
    {0xFFFD, SkipSegment},
    {0xFFFE, SkipSegment},        // comment
    {0xFF01, SkipSegment},        // TEM
    {0xFF02, SkipSegment},        // reserved
    {0xFFBF, SkipSegment},        // reserved
};

MarkerHandler p_MarkerHandlerOf(uint16_t n_marker)
{
    for(const MarkerHandlerRow &row : kMarkerHandlers) {
        if(row.n_marker == n_marker)
            return row.p_handler;
    }
    return nullptr;
}

// Frees every plane and the coefficient store; the frame is then no longer
// usable (ReleasePlanes drops b_frame_seen).
void ReleaseFrame(JpegDecoder &decoder)
{
    ReleasePlanes(decoder.frame);
    ReleaseCoefficients(decoder.progressive);
}

// The fields a decode relies on before the file fills them. Tables and frame
// fields keep whatever they held; the b_defined marks and b_frame_seen say
// which of them this decode has filled.
void BeginDecode(JpegDecoder &decoder)
{
    decoder.failure = LoadFailure::kNone;
    decoder.frame.b_frame_seen = 0;
    decoder.frame.n_dc_complete_bits = 0;
    decoder.b_restart = 0;
    decoder.b_jfif_seen = 0;
    decoder.b_adobe_seen = 0;
    decoder.p_streamed_image = nullptr;
    decoder.n_streamed_rows = 0;
    ClearCoefficients(decoder.progressive);
    for(int i = 0; i < 4; ++i) {
        decoder.frame.p_planes[i] = nullptr;
        decoder.frame.n_dc_predictors[i] = 0;
        decoder.quant_tables[i].b_defined = 0;
        for(HuffmanTable &table : decoder.huffman_tables[i])
            table.b_defined = 0;
    }
}

// The DC coefficients of every component of the frame are complete. Coding
// a block's DC costs at least one bit, so this keeps the Image's size, and
// the work of assembling it, in proportion to the data the file really holds.
bool b_EveryDcComplete(const JpegFrame &frame)
{
    return frame.n_dc_complete_bits == (1u << frame.n_components) - 1;
}

// As libjpeg-turbo reads three components: a JFIF file is YCbCr, whatever an
// Adobe segment says; otherwise an Adobe segment's transform decides (0 RGB,
// 1 YCbCr; any other is not a transform of three components); without
// either, IDs 'R', 'G', 'B' in that order mean RGB and anything else YCbCr.
// Four components are what Adobe's transform says (0 CMYK, 2 YCCK; any other
// is not a transform of four components), and CMYK without an Adobe segment,
// as Adobe's applications and libjpeg read them, a JFIF segment or not.
FrameColors ColorsOfFrame(const JpegDecoder &decoder)
{
    const JpegFrame &frame = decoder.frame;
    if(frame.n_components == 1)
        return FrameColors::kGray;
    if(frame.n_components == 4) {
        if(!decoder.b_adobe_seen)
            return FrameColors::kCmyk;
        return decoder.n_adobe_transform == 0   ? FrameColors::kCmyk
               : decoder.n_adobe_transform == 2 ? FrameColors::kYcck
                                                : FrameColors::kUnknown;
    }
    if(decoder.b_jfif_seen)
        return FrameColors::kYcc;
    if(decoder.b_adobe_seen)
        return decoder.n_adobe_transform == 0   ? FrameColors::kRgb
               : decoder.n_adobe_transform == 1 ? FrameColors::kYcc
                                                : FrameColors::kUnknown;
    const FrameComponent *p_components = frame.components;
    if(p_components[0].n_id == 'R' && p_components[1].n_id == 'G' && p_components[2].n_id == 'B')
        return FrameColors::kRgb;
    return FrameColors::kYcc;
}

// The Image of the frame's size, its descriptive fields set; nullptr when it
// cannot be allocated.
Image *AllocateFrameImage(const JpegFrame &frame)
{
    Image *p_image = AllocateImage(frame.n_width, frame.n_height);
    if(p_image) {
        p_image->n_bpp = frame.n_precision;
        p_image->b_grayscale = frame.n_components == 1;
        p_image->b_alpha = 0;
    }
    return p_image;
}

// The new Image at the end-of-image marker, or nullptr with the cause. The
// planes stay with the decoder. Rows already handed over stand when they are
// all there and were assembled with the frame's colours as they are now;
// otherwise they are withdrawn and the whole picture assembled.
Image *AssembleImage(JpegDecoder &decoder)
{
    JpegFrame &frame = decoder.frame;
    if(!frame.b_frame_seen || !b_EveryDcComplete(frame)) {
        FailDecode(decoder, LoadFailure::kCorruptData);
        return nullptr;
    }
    const FrameColors colors = ColorsOfFrame(decoder);
    if(colors == FrameColors::kUnknown) {
        FailDecode(decoder, frame.n_components == 4 ? LoadFailure::kFourComponentJpeg
                                                    : LoadFailure::kJpegColorTransform);
        return nullptr;
    }
    if(decoder.p_streamed_image) {
        Image *p_image = decoder.p_streamed_image;
        decoder.p_streamed_image = nullptr;
        if(decoder.n_streamed_rows == frame.n_height && decoder.n_streamed_colors == uint8_t(colors))
            return p_image;
        if(decoder.n_streamed_rows)
            WithdrawRows(decoder.p_row_sink);
        decoder.n_streamed_rows = 0;
        AssembleRows(*p_image, colors, frame, 0, frame.n_height);
        return p_image;
    }
    // A progressive frame's coefficients become samples first, and their
    // store goes before the pixel array comes: the two are never held at once.
    if(frame.b_progressive) {
        TransformCoefficients(frame, decoder.progressive);
        ReleaseCoefficients(decoder.progressive);
    }
    Image *p_image = AllocateFrameImage(frame);
    if(!p_image) {
        FailDecode(decoder, LoadFailure::kOutOfMemory);
        return nullptr;
    }
    AssembleRows(*p_image, colors, frame, 0, frame.n_height);
    return p_image;
}

// The streaming scan's listener: after n_mcu_rows_done MCU rows, the whole
// bands of rows they complete (or every row, at the last) are assembled and
// handed over. False when the Image cannot be allocated.
bool OnMcuRowsDone(void *p_context, int32_t n_mcu_rows_done)
{
    JpegDecoder &decoder = *static_cast<JpegDecoder *>(p_context);
    const JpegFrame &frame = decoder.frame;
    const int32_t n_band_rows = 8 * frame.n_v_max;
    int32_t n_final_rows = n_mcu_rows_done * decoder.n_rows_per_mcu_row;
    if(n_final_rows >= frame.n_height)
        n_final_rows = frame.n_height;
    else
        n_final_rows -= n_final_rows % n_band_rows;
    if(n_final_rows <= decoder.n_streamed_rows)
        return true;
    if(!decoder.p_streamed_image) {
        decoder.p_streamed_image = AllocateFrameImage(frame);
        if(!decoder.p_streamed_image)
            return FailDecode(decoder, LoadFailure::kOutOfMemory);
    }
    AssembleRows(*decoder.p_streamed_image, FrameColors(decoder.n_streamed_colors), frame, decoder.n_streamed_rows,
                 n_final_rows);
    decoder.n_streamed_rows = n_final_rows;
    HandOverRows(decoder.p_row_sink, *decoder.p_streamed_image, n_final_rows);
    return true;
}

// Sets up handing rows over during a sequential scan, when there is a sink,
// the frame's colours are known, and every component is complete once the
// scan is: rows handed over before are withdrawn first. Returns the
// listener for DecodeSequentialScan, or nullptr.
const McuRowListener *p_StartStreaming(JpegDecoder &decoder, const ScanHeader &header, McuRowListener &listener)
{
    JpegFrame &frame = decoder.frame;
    if(decoder.n_streamed_rows) {
        WithdrawRows(decoder.p_row_sink);
        decoder.n_streamed_rows = 0;
    }
    uint8_t n_scan_bits = 0;
    for(int j = 0; j < header.n_scan_components; ++j)
        n_scan_bits |= uint8_t(1u << header.scan_components[j].n_index);
    const FrameColors colors = ColorsOfFrame(decoder);
    if(!decoder.p_row_sink || colors == FrameColors::kUnknown ||
       (frame.n_dc_complete_bits | n_scan_bits) != (1u << frame.n_components) - 1)
        return nullptr;
    decoder.n_streamed_colors = uint8_t(colors);
    // An MCU row of an interleaved scan covers 8 * n_v_max pixel rows; one of
    // a scan of one component, a row of its blocks.
    decoder.n_rows_per_mcu_row =
        header.n_scan_components > 1 ? 8 * frame.n_v_max : 8 * header.scan_components[0].p_component->n_v_upsample;
    listener = McuRowListener{OnMcuRowsDone, &decoder};
    return &listener;
}

// The segment length and the body size it announces. A length below 2 does
// not even cover its own two bytes; such a segment fails the decode.
bool ReadSegmentBodySize(InputBuffer &input, uint16_t &n_body)
{
    uint16_t n_length;
    if(!ReadU16(input, n_length) || n_length < 2)
        return false;
    n_body = uint16_t(n_length - 2);
    return true;
}

bool ReadQuantEntries(InputBuffer &input, bool b_16bit, float *p_factors)
{
    for(int k = 0; k < 64; ++k) {
        uint16_t n_entry;
        uint8_t n_byte;
        if(b_16bit) {
            if(!ReadU16(input, n_entry))
                return false;
        } else {
            if(!ReadByte(input, n_byte))
                return false;
            n_entry = n_byte;
        }
        p_factors[k] = float(n_entry);
    }
    return true;
}

// Multiplies each factor (zigzag order) by the inverse-DCT scale factors of
// its row and column, so that dequantising a coefficient is one product.
void FoldScaleFactors(float *p_factors)
{
    for(int k = 0; k < 64; ++k) {
        const int n_natural = k ? kZigzagToNatural[k - 1] : 0;
        const double f_scale = double(kIdctScaleFactors[n_natural / 8]) * kIdctScaleFactors[n_natural % 8];
        p_factors[k] = float(p_factors[k] * f_scale);
    }
}

// Reads one Huffman table whose Tc|Th byte is already consumed. n_left is
// what the segment has left after that byte; the table must fit in it.
bool ReadHuffmanTable(InputBuffer &input, HuffmanTable &table, uint16_t &n_left)
{
    int n_total = 0;
    for(uint8_t &n_count : table.n_code_counts) {
        if(!ReadByte(input, n_count))
            return false;
        n_total += n_count;
    }
    if(16 + n_total > n_left || !SetCanonicalCodes(table))
        return false;
    n_left = uint16_t(n_left - 16 - n_total);
    for(int i = 0; i < n_total; ++i) {
        if(!ReadByte(input, table.symbols[i]))
            return false;
    }
    return true;
}

// Reads entry n_index of the frame's component list; false when a field
// breaks a limit or its ID is taken by an earlier entry. An ID is a label,
// any byte value.
bool ReadFrameComponent(InputBuffer &input, JpegFrame &frame, int n_index)
{
    FrameComponent &component = frame.components[n_index];
    uint8_t n_sampling;
    if(!ReadByte(input, component.n_id) || !ReadByte(input, n_sampling) ||
       !ReadByte(input, component.n_quant_table))
        return false;
    component.n_h_sampling = uint8_t(n_sampling >> 4);
    component.n_v_sampling = uint8_t(n_sampling & 0x0F);
    if(component.n_h_sampling < 1 || component.n_h_sampling > kMaxSamplingFactor || component.n_v_sampling < 1 ||
       component.n_v_sampling > kMaxSamplingFactor || component.n_quant_table > kMaxTableId)
        return false;
    for(int i = 0; i < n_index; ++i) {
        if(frame.components[i].n_id == component.n_id)
            return false;
    }
    return true;
}

} // namespace

Image *JpegDecoder::Decode(InputStream &stream, const RowSink *p_sink)
{
    InputBuffer input;
    AttachInputBuffer(input, stream);
    BeginDecode(*this);
    p_row_sink = p_sink;

    bool b_start_seen = false;
    uint16_t n_marker;
    while(FindMarker(input, n_marker)) {
        if(n_marker == kStartOfImage)
            b_start_seen = true;
        else if(!b_start_seen)
            continue;
        if(n_marker == kEndOfImage) {
            Image *p_image = AssembleImage(*this);
            ReleaseFrame(*this);
            if(p_streamed_image) // not the result: rows handed over go with it
                WithdrawRows(p_row_sink);
            FreeImage(p_streamed_image); // (nullptr once it is the result)
            p_streamed_image = nullptr;
            return p_image;
        }
        const MarkerHandler p_handler = p_MarkerHandlerOf(n_marker);
        if(p_handler && !p_handler(n_marker, *this, input))
            break;
    }
    ReleaseFrame(*this);
    if(p_streamed_image) // rows handed over go with the picture
        WithdrawRows(p_row_sink);
    FreeImage(p_streamed_image);
    p_streamed_image = nullptr;
    if(failure == LoadFailure::kNone)
        failure = !b_start_seen   ? LoadFailure::kNotJpeg
                  : input.b_ended ? LoadFailure::kTruncated
                                  : LoadFailure::kCorruptData;
    return nullptr;
}

Image *LoadJpegImage(const ImageInput &input, LoadFailure *p_failure)
{
    InputStream stream;
    if(!OpenInputStream(input, stream, 0)) {
        *p_failure = LoadFailure::kCannotOpen;
        return nullptr;
    }
    JpegDecoder decoder;
    Image *p_image = decoder.Decode(stream, input.p_row_sink);
    CloseInputStream(stream);
    *p_failure = decoder.failure;
    return p_image;
}

bool AcceptMarker(uint16_t, JpegDecoder &, InputBuffer &)
{
    return true;
}

bool SkipSegment(uint16_t, JpegDecoder &, InputBuffer &input)
{
    uint16_t n_body;
    return ReadSegmentBodySize(input, n_body) && SkipInput(input, n_body);
}

bool ParseApp0(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    // The identifier (5 bytes), the version (2 bytes), then the rest, counted
    // as (length - 9) modulo 65536: an APP0 shorter than 9 bytes passes over
    // 65536 bytes more than its body. "JFIF\0" in a segment long enough for
    // the JFIF fields (14 bytes) marks a JFIF file, whose samples are YCbCr.
    uint16_t n_length;
    if(!ReadU16(input, n_length) || n_length < 2)
        return false;
    static const uint8_t kJfif[5] = {'J', 'F', 'I', 'F', 0};
    bool b_jfif = n_length >= 2 + 14;
    for(uint8_t n_expected : kJfif) {
        uint8_t n_byte;
        if(!ReadByte(input, n_byte))
            return false;
        b_jfif = b_jfif && n_byte == n_expected;
    }
    if(b_jfif)
        decoder.b_jfif_seen = 1;
    return SkipInput(input, 2) && SkipInput(input, uint16_t(n_length - 9));
}

bool ParseAdobeSegment(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    // "Adobe", version (2 bytes), flags0 and flags1 (2 bytes each), then the
    // transform byte: 12 bytes. A shorter segment, or one with another
    // identifier, is passed over like any application segment.
    constexpr uint16_t kAdobeBytes = 12;
    static const uint8_t kAdobe[5] = {'A', 'd', 'o', 'b', 'e'};
    uint16_t n_body;
    if(!ReadSegmentBodySize(input, n_body))
        return false;
    if(n_body < kAdobeBytes)
        return SkipInput(input, n_body);
    bool b_adobe = true;
    for(uint8_t n_expected : kAdobe) {
        uint8_t n_byte;
        if(!ReadByte(input, n_byte))
            return false;
        b_adobe = b_adobe && n_byte == n_expected;
    }
    uint8_t n_transform = 0;
    if(!SkipInput(input, 6) || !ReadByte(input, n_transform))
        return false;
    if(b_adobe) {
        decoder.b_adobe_seen = 1;
        decoder.n_adobe_transform = n_transform;
    }
    return SkipInput(input, uint16_t(n_body - kAdobeBytes));
}

bool ParseRestartInterval(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    uint16_t n_body, n_interval;
    if(!ReadSegmentBodySize(input, n_body) || !ReadU16(input, n_interval))
        return false;
    decoder.n_restart_interval = n_interval;
    decoder.b_restart = n_interval != 0;
    return true;
}

bool ParseQuantTables(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    uint16_t n_left;
    if(!ReadSegmentBodySize(input, n_left))
        return false;
    // Fewer than 65 bytes left over are not a table; the marker search scans
    // through them.
    while(n_left >= kQuantTableBytes8) {
        uint8_t n_table_byte;
        if(!ReadByte(input, n_table_byte))
            return false;
        const uint8_t n_id = n_table_byte & 0x0F;
        const bool b_16bit = (n_table_byte & 0xF0) == 0x10;
        const uint16_t n_table_bytes = b_16bit ? kQuantTableBytes16 : kQuantTableBytes8;
        if(n_id > kMaxTableId || n_table_bytes > n_left)
            return false;
        n_left = uint16_t(n_left - n_table_bytes);

        QuantTable &table = decoder.quant_tables[n_id];
        table.b_defined = 0;
        if(!ReadQuantEntries(input, b_16bit, table.factors))
            return false;
        FoldScaleFactors(table.factors);
        table.b_16bit = b_16bit;
        table.b_defined = 1;
    }
    return true;
}

bool ParseHuffmanTables(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    uint16_t n_left;
    if(!ReadSegmentBodySize(input, n_left))
        return false;
    // Fewer than 17 bytes left over are not a table; the marker search scans
    // through them.
    while(n_left >= kHuffmanHeaderBytes) {
        uint8_t n_table_byte;
        if(!ReadByte(input, n_table_byte))
            return false;
        --n_left;
        const uint8_t n_class = n_table_byte >> 4, n_id = n_table_byte & 0x0F;
        if(n_class > JpegDecoder::kMaxHuffmanClass || n_id > kMaxTableId)
            return false;

        HuffmanTable &table = decoder.huffman_tables[n_id][n_class];
        table.b_defined = 0;
        table.b_lookahead_built = 0;
        if(!ReadHuffmanTable(input, table, n_left))
            return false;
        table.b_defined = 1;
    }
    return true;
}

bool ParseFrameHeader(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input)
{
    JpegFrame &frame = decoder.frame;
    // A file holds one frame; a second frame header fails the decode. Were
    // planes freed and allocated anew for each one, calloc would hand back
    // recycled heap memory that it must clear: 1 KB of frame headers of
    // alternating sizes cost about a second and 66 MB. Without a frame no
    // plane is allocated (b_frame_seen drops whenever they are released).
    if(frame.b_frame_seen)
        return false;

    uint16_t n_body, n_height, n_width;
    uint8_t n_precision, n_components;
    if(!ReadSegmentBodySize(input, n_body) || !ReadByte(input, n_precision) || !ReadU16(input, n_height) ||
       !ReadU16(input, n_width) || !ReadByte(input, n_components))
        return false;
    if(n_components < 1 || n_components > kMaxComponents)
        return false;
    // What the file is, before what it declares: a 12-bit or two-component
    // file is refused for being one, whatever its size.
    if(n_precision != 8)
        return FailDecode(decoder, LoadFailure::kJpegPrecision);
    if(n_components == 2)
        return FailDecode(decoder, LoadFailure::kTwoComponentJpeg);
    // A height of 0 leaves the height to a DNL segment after the first scan.
    if(n_height == 0)
        return FailDecode(decoder, LoadFailure::kUnsupportedJpeg);
    // A picture without pixels would make an array of no items, which no C
    // or C++ compiler accepts.
    if(n_width == 0)
        return FailDecode(decoder, LoadFailure::kEmptyImage);
    if(n_height > kMaxFrameSide || n_width > kMaxFrameSide)
        return FailDecode(decoder, LoadFailure::kTooLarge);
    frame.n_precision = n_precision;
    frame.n_height = int16_t(n_height);
    frame.n_width = int16_t(n_width);
    frame.n_components = n_components;
    for(int i = 0; i < n_components; ++i) {
        if(!ReadFrameComponent(input, frame, i))
            return false;
    }
    SetFrameGeometry(frame);
    // Upsampling replicates each sample a whole number of times: a factor
    // that does not divide the largest one (Y 3x1 with Cb 2x1) is refused.
    for(int i = 0; i < n_components; ++i) {
        const FrameComponent &component = frame.components[i];
        if(frame.n_h_max % component.n_h_sampling || frame.n_v_max % component.n_v_sampling)
            return FailDecode(decoder, LoadFailure::kJpegSampling);
    }
    frame.b_progressive = n_marker == kStartOfProgressiveFrame;
    decoder.n_scan_count = 0;
    if(!AllocatePlanes(frame) || (frame.b_progressive && !AllocateCoefficients(frame, decoder.progressive)))
        return FailDecode(decoder, LoadFailure::kOutOfMemory);
    frame.b_frame_seen = 1;
    return true;
}

bool ParseScan(uint16_t, JpegDecoder &decoder, InputBuffer &input)
{
    JpegFrame &frame = decoder.frame;
    ScanHeader header;
    if(!frame.b_frame_seen || !ReadScanHeader(frame, decoder.quant_tables, decoder.huffman_tables, input, header) ||
       (frame.b_progressive && !b_IsValidProgressiveScan(frame, decoder.progressive, header)))
        return false;
    // The lookahead tables of the Huffman tables the scan decodes with, built
    // at the first scan that uses each.
    for(int j = 0; j < header.n_scan_components; ++j) {
        const ScanComponent &scan_component = header.scan_components[j];
        if(scan_component.p_dc_table)
            PrepareLookahead(decoder.huffman_tables[scan_component.n_dc_table][0]);
        if(scan_component.p_ac_table)
            PrepareLookahead(decoder.huffman_tables[scan_component.n_ac_table][1]);
    }
    if(++decoder.n_scan_count > JpegDecoder::kMaxScans)
        return FailDecode(decoder, LoadFailure::kTooManyScans);
    // b_restart is only ever set together with a non-zero interval.
    const uint16_t n_restart_interval = decoder.b_restart ? decoder.n_restart_interval : 0;
    if(header.n_scan_components == 0)
        return PassOverEmptyScan(frame, n_restart_interval, header.n_mcu_count, input);
    if(frame.b_progressive)
        return DecodeProgressiveScan(frame, decoder.progressive, header, n_restart_interval, input);
    McuRowListener listener;
    return DecodeSequentialScan(frame, header, n_restart_interval, input,
                                p_StartStreaming(decoder, header, listener));
}

} // namespace tarnwick
