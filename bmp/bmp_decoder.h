// The BMP reader's state, shared by its three files: the header reader
// (bmp_reader.cpp), the uncompressed rows (bmp_rows.cpp) and the run-length
// stream (bmp_rle.cpp). Internal to the bmp/ folder.
#ifndef TARNWICK_BMP_DECODER_H
#define TARNWICK_BMP_DECODER_H

#include <cstddef>
#include <cstdint>

#include "image.h"
#include "image_input.h"

namespace tarnwick {

// The compression field's values (BI_* in Windows' headers).
enum BmpCompression : uint32_t {
    kBmpRgb = 0,
    kBmpRle8 = 1,
    kBmpRle4 = 2,
    kBmpBitFields = 3,
    kBmpJpeg = 4,
    kBmpPng = 5,
    kBmpAlphaBitFields = 6,
    kBmpCmyk = 11,
    kBmpCmykRle8 = 12,
    kBmpCmykRle4 = 13,
};

// How the bytes of one file row become Image pixels.
enum class BmpRowKind : uint8_t {
    kIndex,    // 1, 2, 4 or 8 bits a pixel, looked up in the palette
    k24Bit,    // B G R
    k32Bit,    // B G R and a fourth byte, alpha when any pixel's is not 0
    kBitFields // 16, 24 or 32 bits a pixel, split by the colour masks
};

// One colour channel of a bit-field pixel: (pixel & n_mask) >> n_shift is
// a value of n_bits bits, scaled to 0..255 by rounding v * 255 / (2^n_bits
// - 1): through a_scaled for up to 8 bits, by arithmetic for more. A zero
// mask gives 0.
struct BmpChannel {
    uint32_t n_mask;
    uint8_t n_shift;
    uint8_t n_bits;
    uint8_t a_scaled[256];
};

// The pixels of the palette: 256 entries, those the file does not give
// being opaque black, so that every index looks up an entry.
constexpr int kBmpPaletteEntries = 256;

// Bytes the run-length stream is read in at a time.
constexpr size_t kBmpRleBufferBytes = 4096;

// Everything one load holds, released together on every path, and the cause
// of its failure.
struct BmpDecoder {
    InputStream input{};
    LoadFailure failure = LoadFailure::kNone;

    // From the headers.
    uint32_t n_data_offset = 0;   // of the pixel rows, from the file's first byte
    uint32_t n_header_bytes = 0;  // of the info header: 12, 40, 52, 56, 108 or 124
    int32_t n_width = 0;
    int32_t n_height = 0;         // rows, whatever their order
    bool b_top_down = false;      // the first row in the file is the top row
    uint16_t n_bits = 0;          // per pixel
    uint32_t n_compression = kBmpRgb;
    uint32_t n_colors_used = 0;   // palette entries the header declares (0: 2^n_bits)

    // Derived.
    BmpRowKind row_kind = BmpRowKind::kIndex;
    BmpChannel a_channels[4] = {}; // red, green, blue, alpha
    bool b_alpha_mask = false;     // bit fields with an alpha mask: alpha from the pixels
    uint32_t a_palette[kBmpPaletteEntries] = {};
    uint32_t n_alpha_seen = 0;     // the fourth bytes of 32-bit BI_RGB pixels ORed together

    // The rows.
    uint8_t *p_row = nullptr;      // one uncompressed file row
    Image *p_image = nullptr;

    // The run-length stream's buffer.
    uint8_t a_rle_bytes[kBmpRleBufferBytes];
    size_t n_rle_at = 0;
    size_t n_rle_end = 0;
};

bool FailBmp(BmpDecoder &decoder, LoadFailure cause);

// The bytes of one uncompressed row, padded to a multiple of 4 (at most
// about 2^34 for a width of 2^31 pixels of 32 bits).
uint64_t n_BmpRowBytes(const BmpDecoder &decoder);
// The bytes of one row without its padding.
uint64_t n_BmpRowDataBytes(const BmpDecoder &decoder);

// Sets up a_channels from the red, green, blue and alpha masks (a zero
// alpha mask: no alpha).
void SetUpBmpChannels(BmpDecoder &decoder, const uint32_t a_masks[4]);

// Reads every uncompressed row into the image, top row first in memory;
// the file's last row may go without its padding.
bool ReadBmpRows(BmpDecoder &decoder);

// Reads the BI_RLE8 or BI_RLE4 stream into the image, whose pixels start
// transparent black.
bool ReadBmpRleStream(BmpDecoder &decoder);

} // namespace tarnwick

#endif // TARNWICK_BMP_DECODER_H
