// TGA reader: colour-mapped, true-colour and gray images (types 1, 2, 3),
// uncompressed or run-length compressed (types 9, 10, 11).
#ifndef TARNWICK_TGA_READER_H
#define TARNWICK_TGA_READER_H

#include <cstdint>
#include "image.h"
#include "image_input.h"

namespace tarnwick {

// How the file bytes of one pixel become one Image pixel.
enum class TgaPixelKind : uint8_t {
    k16Bit,  // 2 bytes, little-endian x1R5G5B5, bit 15 ignored
    k24Bit,  // 3 bytes, B G R
    k32Bit,  // 4 bytes, B G R A
    kIndex   // 1 byte, looked up in a TgaColorMap
};

// The colour map that goes with the one-byte index kind.
struct TgaColorMap {
    const uint32_t *p_entries;
    int32_t n_entry_count;
    int32_t n_index_offset; // minus the first entry index
};

// Reads the picture into a new Image; nullptr on any refusal, with
// everything released and the file closed. *p_failure gets the cause
// (kNone with an Image).
Image *LoadTgaImage(const ImageInput &input, LoadFailure *p_failure);

// Reads n_count uncompressed file pixels of the kind into p_dest. False when
// the data ends early (some pixels may have been written).
bool ReadRawPixels(uint32_t *p_dest, int32_t n_count, InputStream &input, TgaPixelKind kind,
                   const TgaColorMap &color_map);

// Reads run-length packets that cover exactly n_count pixels into p_dest.
// False when the data ends early or a packet reaches past n_count.
bool ReadRlePixels(uint32_t *p_dest, int32_t n_count, InputStream &input, TgaPixelKind kind,
                   const TgaColorMap &color_map);

// File bytes of one pixel of the kind: 2, 3, 4 or 1.
int32_t n_TgaBytesPerPixel(TgaPixelKind kind);

// Widens a 16-bit x1R5G5B5 value to 0xFFRRGGBB, each channel c -> c * 255 / 31.
uint32_t Expand16BitPixel(uint16_t n_value);

} // namespace tarnwick

#endif // TARNWICK_TGA_READER_H
