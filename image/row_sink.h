// How a loader hands over rows of its picture that are final before the
// whole picture is loaded, so that the header can be written while the rest
// is still being decoded.
//
// A loader that was given a RowSink calls RowsFinal with the Image it is
// filling (the one it will return) and a growing count n: rows 0 .. n - 1
// hold their final pixels and will not change again. It may call it any
// number of times (after each MCU row of a JPEG scan, say), or never (a
// progressive JPEG, an interlaced PNG, a bottom-up TGA: their rows are final
// only at the end). Should a later part of the file change rows already
// handed over (a JPEG scan that follows the one that completed the picture),
// the loader calls RowsWithdrawn and hands the rows over again from row 0;
// a loader that fails calls it before it releases the Image. When the
// loader returns, whatever it returns, nothing more is called; every row of
// an Image it returns is final then, handed over or not.
//
// The calls come from the loader's thread. The sink may read (and rewrite
// in place) the rows handed over, on another thread, until RowsWithdrawn
// returns: the loader never writes them again before that.
#ifndef TARNWICK_IMAGE_ROW_SINK_H
#define TARNWICK_IMAGE_ROW_SINK_H

#include <cstdint>

#include "image.h"

namespace tarnwick {

struct RowSink {
    void *p_context;
    void (*p_RowsFinal)(void *p_context, const Image &image, int32_t n_final_rows);
    void (*p_RowsWithdrawn)(void *p_context);
};

// Calls the sink when there is one.
inline void HandOverRows(const RowSink *p_sink, const Image &image, int32_t n_final_rows)
{
    if(p_sink)
        p_sink->p_RowsFinal(p_sink->p_context, image, n_final_rows);
}
inline void WithdrawRows(const RowSink *p_sink)
{
    if(p_sink)
        p_sink->p_RowsWithdrawn(p_sink->p_context);
}

} // namespace tarnwick

#endif // TARNWICK_IMAGE_ROW_SINK_H
