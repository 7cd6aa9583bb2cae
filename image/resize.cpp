// The resize (resize.h): the new size of a geometry, the nearest-pixel
// resize, and the order of the separable resize's passes with the rows they
// keep. The weights are made in resize_taps.cpp, the inner loops run in
// resize_kernels.cpp.
//
// The separable resize goes down the input rows once. The vertical pass
// needs, for each output row, the horizontally resampled input rows of its
// run; it keeps no more of them than it must, in one of two ways, whichever
// needs less memory (both give the same integers, as sums do not depend on
// their order):
//   pulling  a ring of horizontally resampled rows, as many as the longest
//            run; each output row is summed from the ring once its run is
//            there (enlarging, or shrinking a little);
//   pushing  a ring of rows of sums, one per output row still open; each
//            pair of input rows is added to every open output row it
//            belongs to, and an output row is finished when its run is
//            over (shrinking a lot, where runs are long).
#include "resize.h"

#include <cstdlib>
#include <cstring>

#include "resize_kernels.h"
#include "resize_taps.h"

namespace tarnwick {
namespace {

// n / d rounded half up, for positive n and d.
int64_t n_RoundedQuotient(int64_t n_numerator, int64_t n_denominator)
{
    return (2 * n_numerator + n_denominator) / (2 * n_denominator);
}

// The input pixel of each output pixel, as resize.h says for kNearest.
void NearestIndices(int32_t n_in, int32_t n_out, int32_t *p_index)
{
    const double f_step = double(n_in) / double(n_out);
    double f_position = f_step * 0.5;
    for(int32_t i = 0; i < n_out; ++i) {
        const int32_t n_index = int32_t(f_position);
        p_index[i] = n_index < n_in ? n_index : n_in - 1; // never past the end; the sum does not get there
        f_position += f_step;
    }
}

bool ResizeNearest(const Image &source, Image &target)
{
    int32_t *p_columns = static_cast<int32_t *>(std::malloc(size_t(uint32_t(target.n_width)) * sizeof(int32_t)));
    int32_t *p_rows = static_cast<int32_t *>(std::malloc(size_t(uint32_t(target.n_height)) * sizeof(int32_t)));
    if(!p_columns || !p_rows) {
        std::free(p_columns);
        std::free(p_rows);
        return false;
    }
    NearestIndices(source.n_width, target.n_width, p_columns);
    NearestIndices(source.n_height, target.n_height, p_rows);
    const size_t n_source_width = size_t(uint32_t(source.n_width));
    const size_t n_target_width = size_t(uint32_t(target.n_width));
    for(size_t y = 0; y < size_t(uint32_t(target.n_height)); ++y) {
        const uint32_t *p_source_row = source.p_buffer + size_t(uint32_t(p_rows[y])) * n_source_width;
        uint32_t *p_target_row = target.p_buffer + y * n_target_width;
        for(size_t x = 0; x < n_target_width; ++x)
            p_target_row[x] = p_source_row[p_columns[x]];
    }
    std::free(p_columns);
    std::free(p_rows);
    return true;
}

// Premultiplied channels back to straight ones (resize.h).
void Unpremultiply(uint32_t *p_row, size_t n_pixels)
{
    for(size_t i = 0; i < n_pixels; ++i) {
        const uint32_t n_alpha = p_row[i] >> 24;
        if(n_alpha == 255)
            continue;
        uint32_t n_pixel = 0;
        if(n_alpha != 0) {
            n_pixel = n_alpha << 24;
            for(int n_shift = 0; n_shift <= 16; n_shift += 8) {
                const uint32_t n_value = (((p_row[i] >> n_shift) & 0xFF) * 255 + n_alpha / 2) / n_alpha;
                n_pixel |= (n_value > 255 ? 255 : n_value) << n_shift;
            }
        }
        p_row[i] = n_pixel;
    }
}

// One separable resize: the pictures, the weights of each axis that
// changes, and the row scratch of the horizontal pass.
struct SeparableResize {
    const Image *p_source;
    Image *p_target;
    bool b_columns; // the width changes: a horizontal pass
    ResizeTaps columns;
    ResizeTaps rows; // used only when the height changes
    void *p_row_scratch;
};

size_t n_TargetWidth(const SeparableResize &resize)
{
    return size_t(uint32_t(resize.p_target->n_width));
}

// Input row y resampled horizontally (or only premultiplied, when the width
// stays) into p_out.
void HorizontalRow(const SeparableResize &resize, int32_t y, uint32_t *p_out)
{
    const uint32_t *p_row = resize.p_source->p_buffer + size_t(uint32_t(y)) * size_t(uint32_t(resize.p_source->n_width));
    if(resize.b_columns) {
        ResampleRow(p_row, resize.columns, resize.p_row_scratch, p_out);
        return;
    }
    for(size_t x = 0; x < n_TargetWidth(resize); ++x)
        p_out[x] = n_Premultiplied(p_row[x]);
}

uint32_t *TargetRow(const SeparableResize &resize, int32_t y)
{
    return resize.p_target->p_buffer + size_t(uint32_t(y)) * n_TargetWidth(resize);
}

// The height stays: every row goes through the horizontal pass alone.
void ResizeRowsOnly(const SeparableResize &resize)
{
    for(int32_t y = 0; y < resize.p_target->n_height; ++y) {
        HorizontalRow(resize, y, TargetRow(resize, y));
        Unpremultiply(TargetRow(resize, y), n_TargetWidth(resize));
    }
}

// Output row n_output from its sums.
void FinishOutputRow(const SeparableResize &resize, const int32_t *p_sums, int32_t n_output)
{
    FinishRow(p_sums, resize.rows.n_bits, TargetRow(resize, n_output), n_TargetWidth(resize));
    Unpremultiply(TargetRow(resize, n_output), n_TargetWidth(resize));
}

bool ResizeByPulling(const SeparableResize &resize)
{
    const ResizeTaps &rows = resize.rows;
    const size_t n_width = n_TargetWidth(resize);
    const int32_t n_ring = rows.n_max_count > 0 ? rows.n_max_count : 1;
    uint32_t *p_ring = static_cast<uint32_t *>(std::malloc(size_t(n_ring) * n_width * sizeof(uint32_t)));
    int32_t *p_sums = static_cast<int32_t *>(std::malloc(n_width * 4 * sizeof(int32_t)));
    if(!p_ring || !p_sums) {
        std::free(p_ring);
        std::free(p_sums);
        return false;
    }
    auto ring_row = [&](int32_t y) { return p_ring + size_t(y % n_ring) * n_width; };
    int32_t n_next = rows.p_first[0];
    for(int32_t n_output = 0; n_output < rows.n_out; ++n_output) {
        const int32_t n_first = rows.p_first[n_output], n_count = rows.p_count[n_output];
        for(; n_next < n_first + n_count; ++n_next)
            HorizontalRow(resize, n_next, ring_row(n_next));
        const int32_t *p_weight = rows.p_weight + size_t(n_output) * size_t(rows.n_stride);
        std::memset(p_sums, 0, n_width * 4 * sizeof(int32_t));
        for(int32_t j = 0; j < n_count; j += 2) {
            const bool b_pair = j + 1 < n_count;
            AccumulateRows(p_sums, ring_row(n_first + j), p_weight[j], ring_row(n_first + (b_pair ? j + 1 : j)),
                           b_pair ? p_weight[j + 1] : 0, n_width);
        }
        FinishOutputRow(resize, p_sums, n_output);
    }
    std::free(p_ring);
    std::free(p_sums);
    return true;
}

// Walks the input rows in pairs as ResizeByPushing does and returns the most
// output rows open at once.
int32_t n_OpenRowsWhenPushing(const ResizeTaps &rows)
{
    const int32_t n_begin = rows.p_first[0];
    const int32_t n_end = rows.p_first[rows.n_out - 1] + rows.p_count[rows.n_out - 1];
    int32_t n_started = 0, n_finished = 0, n_most = 1;
    for(int32_t y = n_begin; y < n_end; y += 2) {
        const int32_t n_last = y + 1 < n_end ? y + 1 : y;
        while(n_started < rows.n_out && rows.p_first[n_started] <= n_last)
            ++n_started;
        if(n_started - n_finished > n_most)
            n_most = n_started - n_finished;
        while(n_finished < n_started && rows.p_first[n_finished] + rows.p_count[n_finished] <= n_last + 1)
            ++n_finished;
    }
    return n_most;
}

bool ResizeByPushing(const SeparableResize &resize, int32_t n_ring)
{
    const ResizeTaps &rows = resize.rows;
    const size_t n_width = n_TargetWidth(resize);
    int32_t *p_ring = static_cast<int32_t *>(std::malloc(size_t(n_ring) * n_width * 4 * sizeof(int32_t)));
    uint32_t *p_pair = static_cast<uint32_t *>(std::malloc(2 * n_width * sizeof(uint32_t)));
    if(!p_ring || !p_pair) {
        std::free(p_ring);
        std::free(p_pair);
        return false;
    }
    auto sums_of = [&](int32_t n_output) { return p_ring + size_t(n_output % n_ring) * n_width * 4; };
    const int32_t n_begin = rows.p_first[0];
    const int32_t n_end = rows.p_first[rows.n_out - 1] + rows.p_count[rows.n_out - 1];
    int32_t n_started = 0, n_finished = 0;
    for(int32_t y = n_begin; y < n_end; y += 2) {
        const bool b_pair = y + 1 < n_end;
        const int32_t n_last = b_pair ? y + 1 : y;
        HorizontalRow(resize, y, p_pair);
        if(b_pair)
            HorizontalRow(resize, y + 1, p_pair + n_width);
        for(; n_started < rows.n_out && rows.p_first[n_started] <= n_last; ++n_started)
            std::memset(sums_of(n_started), 0, n_width * 4 * sizeof(int32_t));
        for(int32_t n_output = n_finished; n_output < n_started; ++n_output) {
            const int32_t n_weight_a = n_TapWeight(rows, n_output, y);
            const int32_t n_weight_b = b_pair ? n_TapWeight(rows, n_output, y + 1) : 0;
            if(n_weight_a != 0 || n_weight_b != 0)
                AccumulateRows(sums_of(n_output), p_pair, n_weight_a, p_pair + (b_pair ? n_width : 0), n_weight_b,
                               n_width);
        }
        for(; n_finished < n_started && rows.p_first[n_finished] + rows.p_count[n_finished] <= n_last + 1; ++n_finished)
            FinishOutputRow(resize, sums_of(n_finished), n_finished);
    }
    // Output rows whose run is empty (none with these filters) are black.
    for(; n_finished < rows.n_out; ++n_finished) {
        if(n_finished >= n_started)
            std::memset(sums_of(n_finished), 0, n_width * 4 * sizeof(int32_t));
        FinishOutputRow(resize, sums_of(n_finished), n_finished);
    }
    std::free(p_ring);
    std::free(p_pair);
    return true;
}

// The vertical pass in whichever way needs less memory.
bool ResizeRowsAndColumns(const SeparableResize &resize)
{
    const double f_width = double(n_TargetWidth(resize));
    const int32_t n_push_ring = n_OpenRowsWhenPushing(resize.rows);
    const double f_pull_bytes = (double(resize.rows.n_max_count) * 4.0 + 16.0) * f_width;
    const double f_push_bytes = (double(n_push_ring) * 16.0 + 8.0) * f_width;
    return f_pull_bytes <= f_push_bytes ? ResizeByPulling(resize) : ResizeByPushing(resize, n_push_ring);
}

ResizeKernel KernelOf(ResizeFilter filter)
{
    switch(filter) {
    case ResizeFilter::kBox: return ResizeKernel::kBox;
    case ResizeFilter::kBilinear: return ResizeKernel::kBilinear;
    case ResizeFilter::kLanczos:
    case ResizeFilter::kNearest: break;
    }
    return ResizeKernel::kLanczos;
}

bool ResizeSeparable(const Image &source, Image &target, ResizeKernel kernel, TransformFailure &failure)
{
    SeparableResize resize = {&source, &target, target.n_width != source.n_width, {}, {}, nullptr};
    const bool b_rows = target.n_height != source.n_height;
    bool b_too_large = false;
    bool b_done = false;
    if((!resize.b_columns || ComputeResizeTaps(source.n_width, target.n_width, kernel, resize.columns, b_too_large)) &&
       (!b_rows || ComputeResizeTaps(source.n_height, target.n_height, kernel, resize.rows, b_too_large))) {
        resize.p_row_scratch = std::malloc(n_RowScratchBytes(source.n_width));
        if(resize.p_row_scratch) {
            if(b_rows)
                b_done = ResizeRowsAndColumns(resize);
            else {
                ResizeRowsOnly(resize);
                b_done = true;
            }
        }
    }
    std::free(resize.p_row_scratch);
    if(resize.b_columns)
        FreeResizeTaps(resize.columns);
    if(b_rows)
        FreeResizeTaps(resize.rows);
    if(!b_done)
        failure = b_too_large ? TransformFailure::kTooLarge : TransformFailure::kOutOfMemory;
    return b_done;
}

} // namespace

bool ResizedSize(const ResizeGeometry &geometry, int32_t n_width, int32_t n_height, int32_t &n_new_width,
                 int32_t &n_new_height)
{
    int64_t n_new_w = geometry.n_width, n_new_h = geometry.n_height;
    const int64_t n_old_w = n_width, n_old_h = n_height;
    switch(geometry.fit) {
    case ResizeFit::kExact:
        break;
    case ResizeFit::kWidth:
        n_new_h = n_RoundedQuotient(n_old_h * n_new_w, n_old_w);
        break;
    case ResizeFit::kHeight:
        n_new_w = n_RoundedQuotient(n_old_w * n_new_h, n_old_h);
        break;
    case ResizeFit::kInside:
        // The picture is at least as wide, for its height, as the box: the
        // width limits.
        if(n_old_w * n_new_h >= n_old_h * n_new_w)
            n_new_h = n_RoundedQuotient(n_old_h * n_new_w, n_old_w);
        else
            n_new_w = n_RoundedQuotient(n_old_w * n_new_h, n_old_h);
        break;
    }
    n_new_w = n_new_w < 1 ? 1 : n_new_w;
    n_new_h = n_new_h < 1 ? 1 : n_new_h;
    if(n_new_w > kMaxResizeSide || n_new_h > kMaxResizeSide ||
       !b_IsAllowedImageSize(int32_t(n_new_w), int32_t(n_new_h)))
        return false;
    n_new_width = int32_t(n_new_w);
    n_new_height = int32_t(n_new_h);
    return true;
}

Image *ResizeImage(Image *p_image, int32_t n_new_width, int32_t n_new_height, ResizeFilter filter,
                   TransformFailure &failure)
{
    if(n_new_width == p_image->n_width && n_new_height == p_image->n_height)
        return p_image;
    Image *p_new = AllocateImageLike(*p_image, n_new_width, n_new_height, failure);
    if(!p_new)
        return nullptr;
    const bool b_done = filter == ResizeFilter::kNearest ? ResizeNearest(*p_image, *p_new)
                                                         : ResizeSeparable(*p_image, *p_new, KernelOf(filter), failure);
    if(!b_done) {
        if(filter == ResizeFilter::kNearest)
            failure = TransformFailure::kOutOfMemory;
        FreeImage(p_new);
        return nullptr;
    }
    FreeImage(p_image);
    return p_new;
}

} // namespace tarnwick
