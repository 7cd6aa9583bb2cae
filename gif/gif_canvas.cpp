#include "gif_canvas.h"

#include <cstdlib>
#include <cstring>

#include "memory_block.h"

namespace tarnwick {
namespace {

// Where the frame's rectangle meets the screen.
GifScreenArea ScreenAreaOf(const Image &screen, const GifFrame &frame)
{
    GifScreenArea area;
    const uint64_t n_right = uint64_t(frame.n_left) + frame.n_width;
    const uint64_t n_bottom = uint64_t(frame.n_top) + frame.n_height;
    if(frame.n_left >= uint32_t(screen.n_width) || frame.n_top >= uint32_t(screen.n_height))
        return area; // empty
    area.n_left = int32_t(frame.n_left);
    area.n_top = int32_t(frame.n_top);
    area.n_right = n_right < uint64_t(screen.n_width) ? int32_t(n_right) : screen.n_width;
    area.n_bottom = n_bottom < uint64_t(screen.n_height) ? int32_t(n_bottom) : screen.n_height;
    return area;
}

size_t n_AreaPixels(const GifScreenArea &area)
{
    return size_t(area.n_right - area.n_left) * size_t(area.n_bottom - area.n_top);
}

uint32_t *p_ScreenRow(const GifCanvas &canvas, int32_t n_row)
{
    return canvas.p_image->p_buffer + size_t(n_row) * size_t(canvas.p_image->n_width);
}

// Copies the area's rows between the screen and a packed block of its
// pixels, in either direction.
void CopyArea(GifCanvas &canvas, const GifScreenArea &area, bool b_to_screen)
{
    const size_t n_columns = size_t(area.n_right - area.n_left);
    uint32_t *p_packed = canvas.p_saved;
    for(int32_t n_row = area.n_top; n_row < area.n_bottom; ++n_row, p_packed += n_columns) {
        uint32_t *p_screen = p_ScreenRow(canvas, n_row) + area.n_left;
        if(b_to_screen)
            std::memcpy(p_screen, p_packed, n_columns * 4);
        else
            std::memcpy(p_packed, p_screen, n_columns * 4);
    }
}

void ApplyLastDisposal(GifCanvas &canvas)
{
    const GifScreenArea &area = canvas.last_area;
    if(canvas.last_disposal == GifDisposal::kBackground) {
        for(int32_t n_row = area.n_top; n_row < area.n_bottom; ++n_row)
            std::memset(p_ScreenRow(canvas, n_row) + area.n_left, 0, size_t(area.n_right - area.n_left) * 4);
    } else if(canvas.last_disposal == GifDisposal::kPrevious) {
        CopyArea(canvas, area, true);
    }
}

} // namespace

bool StartGifCanvas(GifCanvas &canvas, int32_t n_width, int32_t n_height)
{
    canvas.p_image = AllocateImage(n_width, n_height);
    if(!canvas.p_image)
        return false;
    // A mapped block's fresh pages read as zero (memory_block.h); only a
    // block from the heap is cleared, so that the pages of a large screen
    // that no frame reaches are never touched.
    const size_t n_bytes = size_t(n_PixelCount(*canvas.p_image)) * 4;
    if(!b_IsMappedBlock(n_bytes))
        std::memset(canvas.p_image->p_buffer, 0, n_bytes);
    return true;
}

bool BeginGifFrame(GifCanvas &canvas, const GifFrame &frame)
{
    ApplyLastDisposal(canvas);
    canvas.last_area = ScreenAreaOf(*canvas.p_image, frame);
    canvas.last_disposal = frame.disposal;
    if(frame.disposal != GifDisposal::kPrevious)
        return true;
    const size_t n_pixels = n_AreaPixels(canvas.last_area);
    if(n_pixels > canvas.n_saved_capacity) {
        std::free(canvas.p_saved);
        canvas.n_saved_capacity = 0;
        canvas.p_saved = static_cast<uint32_t *>(std::malloc(n_pixels * 4));
        if(!canvas.p_saved)
            return false;
        canvas.n_saved_capacity = n_pixels;
    }
    CopyArea(canvas, canvas.last_area, false);
    return true;
}

void DrawGifRow(GifCanvas &canvas, const GifFrame &frame, uint32_t n_row, const uint8_t *a_indices)
{
    const GifScreenArea &area = canvas.last_area;
    const uint64_t n_screen_row = uint64_t(frame.n_top) + n_row;
    if(n_screen_row >= uint64_t(area.n_bottom))
        return;
    uint32_t *p_pixel = p_ScreenRow(canvas, int32_t(n_screen_row)) + area.n_left;
    const int32_t n_columns = area.n_right - area.n_left;
    for(int32_t i = 0; i < n_columns; ++i, ++p_pixel)
        if(a_indices[i] != frame.n_transparent_index)
            *p_pixel = frame.a_colors[a_indices[i]];
}

Image *TakeGifScreen(GifCanvas &canvas)
{
    Image *p_image = canvas.p_image;
    canvas.p_image = nullptr;
    ReleaseGifCanvas(canvas);
    return p_image;
}

void ReleaseGifCanvas(GifCanvas &canvas)
{
    FreeImage(canvas.p_image);
    std::free(canvas.p_saved);
    canvas = GifCanvas();
}

} // namespace tarnwick
