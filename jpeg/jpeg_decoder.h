// Huffman JPEG decoder, sequential and progressive: the state of one decode,
// its entry points, and the marker segment handlers.
//
// A decode walks the file's markers through an InputBuffer and hands each
// marker segment to the handler that kMarkerHandlers holds for it. Tables
// and frame fields accumulate in the JpegDecoder; the frame header fills the
// JpegFrame (jpeg_frame.h) and allocates one sample plane per component. In
// a sequential frame (SOF0, SOF1) each scan decodes MCU after MCU, every 8x8
// block going through StoreBlock into its plane (jpeg_sequential.h). In a
// progressive frame (SOF2) the scans refine the coefficients of every block,
// kept until the end of the image, which then go through StoreBlock all at
// once (jpeg_progressive.h). At the end-of-image marker the planes become a
// new Image (jpeg_color.h). Every other frame kind is refused.
#ifndef TARNWICK_JPEG_DECODER_H
#define TARNWICK_JPEG_DECODER_H

#include <cstdint>

#include "image.h"
#include "image_input.h"
#include "input_buffer.h"
#include "jpeg_frame.h"
#include "jpeg_huffman.h"
#include "jpeg_progressive.h"

namespace tarnwick {

struct JpegDecoder {
    // Scans of one image. Encoders write 1 to 4 scans for a sequential frame
    // and 6 to 14 for a progressive one (cjpeg, jpegtran, ImageMagick,
    // Pillow: 6 gray, 10 YCbCr, 14 RGB); even a script that sends several
    // coefficient bands of three components at two or three precisions
    // stays within a few dozen. A refinement's end-of-band runs may walk
    // every block of its component without reading data (about 1 ms over
    // 65536 blocks for a band of 63 positions), so the limit caps the work a
    // file can ask for that way: the 101st scan fails the decode.
    static constexpr uint16_t kMaxScans = 100;
    // Huffman table classes: 0 DC, 1 AC.
    static constexpr uint8_t kMaxHuffmanClass = 1;

    QuantTable quant_tables[4];        // by table id 0..3
    HuffmanTable huffman_tables[4][2]; // [table id][0 = DC, 1 = AC]
    JpegFrame frame;
    ProgressiveState progressive;      // a progressive frame's coefficients
    uint8_t b_restart;
    uint16_t n_restart_interval;       // MCUs between restart markers while b_restart is set
    uint16_t n_scan_count;             // scans met since the frame header

    // The colour transform segments: a JFIF APP0 (its samples are YCbCr) and
    // an Adobe APP14 with its transform (0: RGB or CMYK, 1: YCbCr, 2: YCCK).
    // Cleared when a decode begins; read at the end-of-image marker.
    uint8_t b_jfif_seen;
    uint8_t b_adobe_seen;
    uint8_t n_adobe_transform;

    // Why the decode failed; kNone until it does. A handler that refuses its
    // segment for a reason of its own (a frame kind, a size, an allocation)
    // sets it; any other failure becomes kNotJpeg before a start-of-image
    // marker, kTruncated once the input has ended, kCorruptData otherwise.
    // A failed decode has released its planes and coefficients and keeps
    // frame.b_frame_seen 0.
    LoadFailure failure;

    // Decodes the open file (read forward, never rewound or closed) into a
    // new Image, or returns nullptr with the cause in failure. Needs no prior
    // initialisation; every plane and the coefficient store are released
    // before it returns.
    Image *Decode(InputStream &stream);
};

// Opens the picture, decodes it with a fresh JpegDecoder and closes it;
// nullptr with the cause in *p_failure (kNone with an Image).
Image *LoadJpegImage(const ImageInput &input, LoadFailure *p_failure);

// One marker segment handler: true to go on, false to fail the decode.
typedef bool (*MarkerHandler)(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);

// Records the cause of a failing decode; returns false for the handler to pass on.
inline bool FailDecode(JpegDecoder &decoder, LoadFailure cause)
{
    decoder.failure = cause;
    return false;
}

bool AcceptMarker(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
// Fails the decode with the cause of a frame kind or feature not decoded here.
template <LoadFailure kCause>
bool RefuseMarker(uint16_t, JpegDecoder &decoder, InputBuffer &)
{
    return FailDecode(decoder, kCause);
}
bool SkipSegment(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseApp0(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseAdobeSegment(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseRestartInterval(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseQuantTables(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseHuffmanTables(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
bool ParseFrameHeader(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);
// The start-of-scan handler: the scan header, then every MCU of the scan,
// sequential or progressive as the frame is.
bool ParseScan(uint16_t n_marker, JpegDecoder &decoder, InputBuffer &input);

} // namespace tarnwick

#endif // TARNWICK_JPEG_DECODER_H
