// Run-length compressed BMP pixels: BI_RLE8 (8-bit indices) and BI_RLE4
// (4-bit indices).
//
// The stream is a sequence of byte pairs, read from the bottom row up
// (from the top row down in a top-down file), each row from the left:
//   n, i     n > 0: a run of n pixels; BI_RLE8 repeats index i, BI_RLE4
//            alternates the indices i >> 4 and i & 15, the high one first
//   0, 0     end of line: the rest of the row is skipped
//   0, 1     end of the picture: every pixel not yet reached is skipped
//   0, 2     delta: two more bytes dx, dy move dx pixels right and dy rows
//            on (up in a bottom-up file), skipping what they pass over
//   0, n     n >= 3: n pixels given one by one, a byte each (BI_RLE8) or
//            two to a byte, high half first (BI_RLE4), their bytes padded
//            to an even count
// Pixels the stream skips are transparent black (0x00000000), as web
// browsers show them; the Image starts that way. A run or a literal that
// reaches past the row's end is cut there, and a delta past the picture's
// last row ends it. The picture is complete at the end-of-picture pair or
// once the stream moves past the last row; a file that ends before either
// is truncated.
//
// Work: every pair costs O(1) besides the pixels it writes, each Image
// pixel is written at most once (the position only moves forward), and the
// Image's size was held against the stream's bytes before it was allocated.
#include <cstring>

#include "bmp_decoder.h"

namespace tarnwick {
namespace {

// Copies n_bytes of the stream to p_dest through the decoder's buffer;
// false when the file ends first.
bool ReadRleBytes(BmpDecoder &decoder, uint8_t *p_dest, size_t n_bytes)
{
    while(n_bytes) {
        if(decoder.n_rle_at == decoder.n_rle_end) {
            decoder.n_rle_at = 0;
            decoder.n_rle_end = n_ReadInput(decoder.input, decoder.a_rle_bytes, kBmpRleBufferBytes);
            if(decoder.n_rle_end == 0)
                return false;
        }
        const size_t n_available = decoder.n_rle_end - decoder.n_rle_at;
        const size_t n_copied = n_bytes < n_available ? n_bytes : n_available;
        std::memcpy(p_dest, decoder.a_rle_bytes + decoder.n_rle_at, n_copied);
        decoder.n_rle_at += n_copied;
        p_dest += n_copied;
        n_bytes -= n_copied;
    }
    return true;
}

// The next two bytes: straight from the buffer when both are there (most
// pairs of a stream of short runs), else through ReadRleBytes.
inline bool ReadRlePair(BmpDecoder &decoder, uint8_t pair[2])
{
    if(decoder.n_rle_end - decoder.n_rle_at < 2)
        return ReadRleBytes(decoder, pair, 2);
    pair[0] = decoder.a_rle_bytes[decoder.n_rle_at];
    pair[1] = decoder.a_rle_bytes[decoder.n_rle_at + 1];
    decoder.n_rle_at += 2;
    return true;
}

// Where the stream stands: n_x pixels into file row n_row, whose Image row
// is p_row while n_row lies within the picture.
struct RlePosition {
    uint64_t n_x;
    uint64_t n_row;
    uint32_t *p_row;
};

void MoveTo(BmpDecoder &decoder, RlePosition &at, uint64_t n_x, uint64_t n_row)
{
    const Image &image = *decoder.p_image;
    at.n_x = n_x;
    at.n_row = n_row;
    if(n_row < uint64_t(image.n_height)) {
        const uint64_t n_image_row = decoder.b_top_down ? n_row : uint64_t(image.n_height) - 1 - n_row;
        at.p_row = image.p_buffer + n_image_row * uint64_t(image.n_width);
    }
}

// The pixels of a run or a literal that fall within the row from n_x on.
inline uint32_t n_PixelsInRow(const BmpDecoder &decoder, uint64_t n_x, uint32_t n_count)
{
    const uint64_t n_width = uint64_t(decoder.n_width);
    return n_x >= n_width ? 0 : n_width - n_x < n_count ? uint32_t(n_width - n_x) : n_count;
}

// A literal of n_count pixels: their bytes, padded to an even count, then
// each index looked up.
bool ReadLiteral(BmpDecoder &decoder, RlePosition &at, uint32_t n_count, uint64_t &n_written)
{
    const bool b_four_bits = decoder.n_compression == kBmpRle4;
    const uint32_t n_bytes = b_four_bits ? (n_count + 1) / 2 : n_count;
    uint8_t indices[256];
    if(!ReadRleBytes(decoder, indices, (n_bytes + 1) & ~1u))
        return false;
    const uint32_t n_kept = n_PixelsInRow(decoder, at.n_x, n_count);
    uint32_t *p_dest = at.p_row + (n_kept ? at.n_x : 0);
    for(uint32_t i = 0; i < n_kept; ++i) {
        const uint8_t n_index = b_four_bits ? uint8_t(i % 2 ? indices[i / 2] & 15 : indices[i / 2] >> 4) : indices[i];
        p_dest[i] = decoder.a_palette[n_index];
    }
    at.n_x += n_count;
    n_written += n_kept;
    return true;
}

// A run of n_count pixels of one index, or of two alternating ones.
inline void WriteRun(BmpDecoder &decoder, RlePosition &at, uint32_t n_count, uint8_t n_value, uint64_t &n_written)
{
    uint32_t a_pixels[2];
    if(decoder.n_compression == kBmpRle4) {
        a_pixels[0] = decoder.a_palette[n_value >> 4];
        a_pixels[1] = decoder.a_palette[n_value & 15];
    } else {
        a_pixels[0] = a_pixels[1] = decoder.a_palette[n_value];
    }
    const uint32_t n_kept = n_PixelsInRow(decoder, at.n_x, n_count);
    uint32_t *p_dest = at.p_row + (n_kept ? at.n_x : 0);
    for(uint32_t i = 0; i < n_kept; ++i)
        p_dest[i] = a_pixels[i & 1];
    at.n_x += n_count;
    n_written += n_kept;
}

} // namespace

bool ReadBmpRleStream(BmpDecoder &decoder)
{
    Image &image = *decoder.p_image;
    std::memset(image.p_buffer, 0, size_t(n_PixelCount(image) * sizeof(uint32_t)));
    const uint64_t n_rows = uint64_t(image.n_height);
    RlePosition at = {0, 0, image.p_buffer};
    MoveTo(decoder, at, 0, 0);
    uint64_t n_written = 0;
    bool b_ok = true;
    while(b_ok && at.n_row < n_rows) {
        uint8_t pair[2];
        if(!ReadRlePair(decoder, pair)) {
            b_ok = false;
        } else if(pair[0] != 0) {
            WriteRun(decoder, at, pair[0], pair[1], n_written);
        } else if(pair[1] == 0) {
            MoveTo(decoder, at, 0, at.n_row + 1);
        } else if(pair[1] == 1) {
            break;
        } else if(pair[1] == 2) {
            uint8_t delta[2];
            b_ok = ReadRlePair(decoder, delta);
            MoveTo(decoder, at, at.n_x + delta[0], at.n_row + delta[1]);
        } else {
            b_ok = ReadLiteral(decoder, at, pair[1], n_written);
        }
    }
    if(!b_ok)
        return FailBmp(decoder, LoadFailure::kTruncated);
    image.b_alpha = n_written < n_PixelCount(image);
    return true;
}

} // namespace tarnwick
