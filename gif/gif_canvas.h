// The logical screen of a GIF file, on which its frames are drawn one after
// the other as a viewer shows them.
//
// The screen starts transparent black (0x00000000). Each frame covers a
// rectangle of it, which may reach past the screen's edges (that part is
// never seen). A frame's pixels are indices into its colour table; the
// frame's transparent index (from the graphics control extension before
// it) leaves the screen's pixel as it was, every other index replaces it
// with that colour, opaque. Before the next frame is drawn, the frame's
// disposal method is applied to its rectangle: kKeep (GIF's "unspecified",
// "do not dispose" and the reserved values) leaves it, kBackground makes it
// transparent black again, kPrevious gives back what the screen held
// before the frame was drawn. This is how ImageMagick's -coalesce builds
// each frame, and how browsers show them (they too ignore the background
// colour of the screen descriptor).
#ifndef TARNWICK_GIF_CANVAS_H
#define TARNWICK_GIF_CANVAS_H

#include <cstddef>
#include <cstdint>

#include "image.h"

namespace tarnwick {

enum class GifDisposal : uint8_t { kKeep, kBackground, kPrevious };

// The pixels of a frame's rectangle that lie on the screen, as half-open
// ranges of columns and rows; empty when the frame lies wholly beyond it.
struct GifScreenArea {
    int32_t n_left = 0, n_top = 0, n_right = 0, n_bottom = 0;
};

// One frame as its image descriptor and graphics control extension give it.
struct GifFrame {
    uint32_t n_left, n_top, n_width, n_height; // the rectangle, in screen pixels
    GifDisposal disposal;
    int n_transparent_index;                    // -1 when the frame has none
    uint32_t a_colors[256];                     // the colour of each index, 0xFFRRGGBB
};

struct GifCanvas {
    Image *p_image = nullptr;    // the screen
    GifScreenArea last_area;     // the last frame drawn ...
    GifDisposal last_disposal = GifDisposal::kKeep; // ... and its disposal method
    uint32_t *p_saved = nullptr; // the pixels of last_area before that frame, for kPrevious
    size_t n_saved_capacity = 0; // pixels p_saved can hold
};

// Allocates the screen, all transparent black (a large one in fresh pages
// that read as zero, touched only where frames draw). False (holding
// nothing) when the pixel array cannot be allocated.
bool StartGifCanvas(GifCanvas &canvas, int32_t n_width, int32_t n_height);

// Applies the last frame's disposal method, then, when this frame's is
// kPrevious, saves the pixels it is going to cover. False when that copy
// cannot be allocated.
bool BeginGifFrame(GifCanvas &canvas, const GifFrame &frame);

// Draws row n_row (0 the top) of the frame: n_width colour indices.
void DrawGifRow(GifCanvas &canvas, const GifFrame &frame, uint32_t n_row, const uint8_t *a_indices);

// Hands the screen over (the canvas then holds none) and releases the rest.
Image *TakeGifScreen(GifCanvas &canvas);
void ReleaseGifCanvas(GifCanvas &canvas);

} // namespace tarnwick

#endif // TARNWICK_GIF_CANVAS_H
