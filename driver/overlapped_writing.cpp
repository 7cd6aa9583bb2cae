// The writer thread and its hand-over with the loader (overlapped_writing.h).
//
// The loader's thread and the writer's share one record under one lock:
// how many rows are final, whether the loader withdrew them or finished, and
// how far the writer has got. The writer converts and writes a stretch of
// rows with the lock released and marks itself busy meanwhile; a loader
// that withdraws its rows (to write them again, or to release the picture)
// waits until the writer is no longer busy, so the writer never reads rows
// that change under it. Rows are handed over in bands (16 rows, or a JPEG's
// MCU row), so the queue between the two threads is this one counter.
#include "overlapped_writing.h"

#include <cstdlib>
#include <type_traits>

#include "header_writer.h"
#include "output_format.h"
#include "picture_fit.h"
#include "platform.h"

namespace tarnwick {

// A plain record: every member starts as zero, false or nullptr (calloc).
struct OverlappedWriting {
    // Fixed before the load.
    const ConversionOptions *p_options;
    const char *p_image_path;
    const char *p_header_path;
    RowSink sink;
    // Shared, under the gate's lock.
    ThreadGate *p_gate;
    Image *p_image;           // the picture being loaded, from the first hand-over on
    int32_t n_final_rows;     // rows the loader handed over
    bool b_withdrawn;         // the loader took the rows back: the writer stops for good
    bool b_load_ended;        // the loader returned
    bool b_loaded;            // ... with p_image, every row final
    bool b_busy;              // the writer is reading rows with the lock released
    bool b_stopped;           // the writer has stopped (or never started)
    bool b_written;           // ... with the header written and in place
    int32_t n_converted_rows; // rows holding their items
    bool b_thread_started;
    WorkerThread thread;
};

namespace {

// Converts and writes rows n_done .. n_end - 1; false when a write failed.
bool WriteRows(OverlappedWriting &writing, HeaderStream &stream, Image &image, int32_t n_done, int32_t n_end)
{
    ConvertRowsToOutputFormat(image, writing.p_options->format, n_done, n_end);
    return WriteHeaderRows(stream, image, n_end);
}

// Whether the loader took its rows back: it withdrew them, or its load
// ended without this picture. The picture may be released then.
bool b_RowsTakenBack(const OverlappedWriting &writing)
{
    return writing.b_withdrawn || (writing.b_load_ended && !writing.b_loaded);
}

// The writer thread: begins the header, then writes rows as they come until
// the picture is complete (the header is finished and put in place) or the
// overlap stops (the new file is removed). A load that failed before this
// thread first ran leaves nothing to write.
void RunWriter(void *p_context)
{
    OverlappedWriting &writing = *static_cast<OverlappedWriting *>(p_context);
    const ConversionOptions &options = *writing.p_options;
    ThreadGate &gate = *writing.p_gate;
    LockGate(gate);
    Image *const p_image = writing.p_image;
    HeaderStream stream; // (on this thread's stack)
    bool b_open = false;
    if(!b_RowsTakenBack(writing)) {
        const ItemLayout layout = {MonoLayoutOf(options), options.header.b_lvgl, nullptr};
        writing.b_busy = true;
        UnlockGate(gate);
        b_open = BeginImageHeader(stream, *p_image, options.format, layout, options.header, writing.p_image_path,
                                  writing.p_header_path, true);
        LockGate(gate);
        writing.b_busy = false;
        WakeAtGate(gate);
    }
    bool b_ok = b_open;
    int32_t n_done = 0;
    while(b_ok) {
        while(!writing.b_withdrawn && !writing.b_load_ended && writing.n_final_rows <= n_done)
            WaitAtGate(gate);
        if(b_RowsTakenBack(writing))
            break;
        const int32_t n_end = writing.b_loaded ? p_image->n_height : writing.n_final_rows;
        if(n_end > n_done) {
            writing.b_busy = true;
            UnlockGate(gate);
            b_ok = WriteRows(writing, stream, *p_image, n_done, n_end);
            LockGate(gate);
            writing.b_busy = false;
            writing.n_converted_rows = n_done = n_end;
            WakeAtGate(gate);
        }
        if(b_ok && writing.b_loaded && n_done == p_image->n_height) {
            UnlockGate(gate);
            writing.b_written = EndImageHeader(stream, *p_image, writing.p_header_path);
            LockGate(gate);
            b_open = false;
            break;
        }
    }
    if(b_open) {
        UnlockGate(gate);
        AbandonImageHeader(stream, writing.p_header_path);
        LockGate(gate);
    }
    if(writing.b_withdrawn)
        writing.n_converted_rows = 0;
    writing.b_stopped = true;
    WakeAtGate(gate);
    UnlockGate(gate);
}

void OnRowsFinal(void *p_context, const Image &image, int32_t n_final_rows)
{
    OverlappedWriting &writing = *static_cast<OverlappedWriting *>(p_context);
    LockGate(*writing.p_gate);
    if(!writing.b_withdrawn && !writing.b_thread_started) {
        // The loader's picture: its rows are handed over for writing.
        writing.p_image = const_cast<Image *>(&image);
        writing.b_thread_started = StartWorkerThread(RunWriter, &writing, writing.thread);
        writing.b_withdrawn = !writing.b_thread_started;
    }
    if(!writing.b_withdrawn) {
        writing.n_final_rows = n_final_rows;
        WakeAtGate(*writing.p_gate);
    }
    UnlockGate(*writing.p_gate);
}

void OnRowsWithdrawn(void *p_context)
{
    OverlappedWriting &writing = *static_cast<OverlappedWriting *>(p_context);
    LockGate(*writing.p_gate);
    writing.b_withdrawn = true;
    WakeAtGate(*writing.p_gate);
    while(writing.b_busy)
        WaitAtGate(*writing.p_gate);
    // The loader writes these rows again, or releases them: none of them
    // holds items any more.
    writing.n_converted_rows = 0;
    UnlockGate(*writing.p_gate);
}

} // namespace

OverlappedWriting *PrepareOverlappedWriting(const ConversionOptions &options, const char *p_image_path,
                                            const char *p_header_path)
{
    const ItemLayout layout = {MonoLayoutOf(options), options.header.b_lvgl, nullptr};
    if(n_UsableProcessors() < 2 || b_ChangesThePicture(options.fit) ||
       !b_ConvertsPixelByPixel(options.format, options.dither, layout))
        return nullptr;
    static_assert(std::is_trivial<OverlappedWriting>::value, "made by calloc, released with free");
    OverlappedWriting *p_writing = static_cast<OverlappedWriting *>(std::calloc(1, sizeof(OverlappedWriting)));
    if(!p_writing)
        return nullptr;
    p_writing->p_gate = CreateThreadGate();
    if(!p_writing->p_gate) {
        std::free(p_writing);
        return nullptr;
    }
    p_writing->p_options = &options;
    p_writing->p_image_path = p_image_path;
    p_writing->p_header_path = p_header_path;
    p_writing->sink = RowSink{p_writing, OnRowsFinal, OnRowsWithdrawn};
    return p_writing;
}

const RowSink *p_RowSinkOf(OverlappedWriting &writing)
{
    return &writing.sink;
}

bool FinishOverlappedWriting(OverlappedWriting *p_writing, Image *p_image, int32_t &n_converted_rows)
{
    n_converted_rows = 0;
    if(!p_writing)
        return false;
    OverlappedWriting &writing = *p_writing;
    bool b_written = false;
    LockGate(*writing.p_gate);
    writing.b_load_ended = true;
    // The writer's picture must be the one loaded; rows handed over by an
    // attempt that failed were withdrawn before it let them go.
    writing.b_loaded = p_image && p_image == writing.p_image;
    WakeAtGate(*writing.p_gate);
    if(writing.b_thread_started) {
        while(!writing.b_stopped)
            WaitAtGate(*writing.p_gate);
        b_written = writing.b_written;
        if(writing.b_loaded)
            n_converted_rows = writing.n_converted_rows;
    }
    UnlockGate(*writing.p_gate);
    if(writing.b_thread_started)
        JoinWorkerThread(writing.thread);
    DestroyThreadGate(writing.p_gate);
    std::free(p_writing);
    return b_written;
}

} // namespace tarnwick
