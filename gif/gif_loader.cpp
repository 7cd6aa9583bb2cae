// GIF files, decoded by giflib.
//
// A GIF file is a 6-byte signature ("GIF87a" or "GIF89a"), the logical
// screen descriptor (the screen's width and height, 16-bit little-endian,
// and whether a global colour table of 2 to 256 RGB entries follows), then
// records up to the trailer (0x3B): extensions (0x21: a label and data
// sub-blocks, each a length byte and up to 255 bytes, ended by a zero
// length) and images (0x2C: an image descriptor giving the frame's
// rectangle on the screen, an optional local colour table and the interlace
// flag, then the LZW minimum code size and the LZW data in sub-blocks). The
// graphics control extension (label 0xF9) before an image gives that image
// alone its disposal method and transparent index. An interlaced frame
// stores its rows in four passes: every 8th row from row 0, every 8th from
// row 4, every 4th from row 2, every 2nd from row 1.
//
// giflib reads the records through ReadForGiflib and decodes each frame's
// LZW data row by row into a row of colour indices, which gif_canvas.h
// draws on the screen. Frames are read in order up to the one asked for,
// each drawn after the disposal of the one before; the rest of the file is
// not read. Extensions other than the graphics control extension (comments,
// the looping extension, application data) are skipped.
//
// A colour index with no entry in the frame's colour table (its local one,
// else the global one, else none) is opaque black, as libpng reads a PNG
// palette index beyond its palette. A screen of width or height 0 has no
// pixels and is refused.
//
// Limits, checked before anything the size of the picture is allocated: an
// LZW code of w bits (w at most 12) stands for at most 2^w pixels, so a byte
// of LZW data gives at most 4096 * 8 / 12 = 2730.7 pixels. A frame of more
// pixels than kMaxPixelsPerFileByte times the file's size cannot be in the
// file, and neither can a screen that large, which a file's first frame
// normally covers: both are refused (kTooLarge). The work of a load is then
// in proportion to the file: every frame drawn or skipped has its pixels in
// the file, and a frame's disposal touches only its own rectangle. giflib
// clears its whole table of 4096 codes at every clear code; an LZW minimum
// code size below 2, which the format does not allow (1-bit pictures use
// 2), would let a byte of data hold 8 clear codes, and is refused
// (kCorruptData): with codes of 3 bits or more a byte holds fewer than 3.
#include <gif_lib.h>

#include <cstdlib>

#include "gif_canvas.h"
#include "gif_file.h"
#include "gif_loader.h"

namespace tarnwick {
namespace {

constexpr uint64_t kMaxPixelsPerFileByte = 2731;
constexpr uint8_t kMinLzwCodeSize = 2;
// A frame row holds at most 65535 indices (the descriptor's 16-bit width).
constexpr size_t kMaxRowBytes = 65535;
// The graphics control extension's label and the length of its data.
constexpr int kGraphicsControlLabel = 0xF9;
constexpr uint8_t kGraphicsControlBytes = 4;

struct GifDecode {
    InputStream stream{};
    // The signature, read before giflib starts; handed to giflib first.
    uint8_t a_signature[kGifSignatureBytes] = {};
    size_t n_signature_given = 0;
    GifFileType *p_gif = nullptr;
    GifCanvas canvas;
    uint8_t *p_row = nullptr; // one frame row of colour indices
    uint32_t n_frame_wanted = 0;
    uint32_t n_frames_drawn = 0;
    // From the last graphics control extension, for the next frame alone.
    GifDisposal disposal = GifDisposal::kKeep;
    int n_transparent_index = -1;
    GifFrame frame{};
    // Set by the input callback: whether the input ended, read to name
    // giflib's failures, and the last byte given, which after an image
    // descriptor is the frame's LZW minimum code size.
    bool b_input_ended = false;
    uint8_t n_last_byte = 0;
    LoadFailure failure = LoadFailure::kNone;
};

bool Fail(GifDecode &decode, LoadFailure cause)
{
    decode.failure = cause;
    return false;
}

// The cause of a failed giflib call, from its error code and the input.
bool FailInGiflib(GifDecode &decode, int n_error)
{
    return Fail(decode, n_error == D_GIF_ERR_NOT_ENOUGH_MEM ? LoadFailure::kOutOfMemory
                        : decode.b_input_ended             ? LoadFailure::kTruncated
                                                           : LoadFailure::kCorruptData);
}

bool FailInGiflib(GifDecode &decode)
{
    return FailInGiflib(decode, decode.p_gif->Error);
}

// giflib's input: the signature already read, then the stream.
int ReadForGiflib(GifFileType *p_gif, GifByteType *p_dest, int n_bytes)
{
    GifDecode &decode = *static_cast<GifDecode *>(p_gif->UserData);
    int n_given = 0;
    while(n_given < n_bytes && decode.n_signature_given < kGifSignatureBytes)
        p_dest[n_given++] = decode.a_signature[decode.n_signature_given++];
    const size_t n_wanted = size_t(n_bytes - n_given);
    const size_t n_read = n_ReadInput(decode.stream, p_dest + n_given, n_wanted);
    decode.b_input_ended |= n_read < n_wanted;
    n_given += int(n_read);
    if(n_given > 0)
        decode.n_last_byte = p_dest[n_given - 1];
    return n_given;
}

bool StartGiflib(GifDecode &decode)
{
    int n_error = D_GIF_SUCCEEDED;
    decode.p_gif = DGifOpen(&decode, ReadForGiflib, &n_error);
    if(!decode.p_gif)
        return FailInGiflib(decode, n_error);
    decode.p_row = static_cast<uint8_t *>(std::malloc(kMaxRowBytes));
    return decode.p_row || Fail(decode, LoadFailure::kOutOfMemory);
}

// Reads an extension's sub-blocks; keeps what a graphics control extension
// says about the next frame.
bool ReadExtension(GifDecode &decode)
{
    int n_label = 0;
    GifByteType *p_block = nullptr;
    if(DGifGetExtension(decode.p_gif, &n_label, &p_block) == GIF_ERROR)
        return FailInGiflib(decode);
    if(n_label == kGraphicsControlLabel && p_block && p_block[0] >= kGraphicsControlBytes) {
        const uint8_t n_flags = p_block[1];
        const int n_method = (n_flags >> 2) & 7;
        decode.disposal = n_method == DISPOSE_BACKGROUND ? GifDisposal::kBackground
                          : n_method == DISPOSE_PREVIOUS ? GifDisposal::kPrevious
                                                         : GifDisposal::kKeep;
        decode.n_transparent_index = (n_flags & 1) ? p_block[4] : -1;
    }
    while(p_block)
        if(DGifGetExtensionNext(decode.p_gif, &p_block) == GIF_ERROR)
            return FailInGiflib(decode);
    return true;
}

// giflib keeps a record of every image descriptor it reads (and a copy of
// its local colour table) for DGifSlurp; reading record by record, nothing
// needs them, and an animation of many frames would pile them up.
void ForgetSavedImages(GifFileType *p_gif)
{
    GifFreeSavedImages(p_gif);
    p_gif->SavedImages = nullptr;
    p_gif->ImageCount = 0;
}

// The screen, allocated when the first frame's descriptor has been read.
bool StartScreen(GifDecode &decode)
{
    const uint32_t n_width = uint32_t(decode.p_gif->SWidth);
    const uint32_t n_height = uint32_t(decode.p_gif->SHeight);
    if(n_width == 0 || n_height == 0)
        return Fail(decode, LoadFailure::kEmptyImage);
    if(uint64_t(n_width) * n_height > kMaxPixelsPerFileByte * decode.stream.n_size)
        return Fail(decode, LoadFailure::kTooLarge);
    return StartGifCanvas(decode.canvas, int32_t(n_width), int32_t(n_height)) ||
           Fail(decode, LoadFailure::kOutOfMemory);
}

// The frame's rectangle, disposal, transparency and colours.
bool DescribeFrame(GifDecode &decode)
{
    const GifImageDesc &descriptor = decode.p_gif->Image;
    GifFrame &frame = decode.frame;
    frame.n_left = uint32_t(descriptor.Left);
    frame.n_top = uint32_t(descriptor.Top);
    frame.n_width = uint32_t(descriptor.Width);
    frame.n_height = uint32_t(descriptor.Height);
    if(frame.n_width == 0 || frame.n_height == 0 || frame.n_width > kMaxRowBytes)
        return Fail(decode, LoadFailure::kCorruptData);
    if(uint64_t(frame.n_width) * frame.n_height > kMaxPixelsPerFileByte * decode.stream.n_size)
        return Fail(decode, LoadFailure::kTooLarge);
    frame.disposal = decode.disposal;
    frame.n_transparent_index = decode.n_transparent_index;
    const ColorMapObject *p_table = descriptor.ColorMap ? descriptor.ColorMap : decode.p_gif->SColorMap;
    const int n_entries = p_table ? p_table->ColorCount : 0;
    for(int i = 0; i < 256; ++i) {
        frame.a_colors[i] = 0xFF000000u;
        if(i < n_entries) {
            const GifColorType &color = p_table->Colors[i];
            frame.a_colors[i] |= uint32_t(color.Red) << 16 | uint32_t(color.Green) << 8 | color.Blue;
        }
    }
    // The next frame has a graphics control extension of its own, or none.
    decode.disposal = GifDisposal::kKeep;
    decode.n_transparent_index = -1;
    return true;
}

// Row n of the frame as stored: interlaced frames store the rows of each
// pass in turn.
uint32_t n_RowOfStoredRow(uint32_t n_stored, uint32_t n_height, bool b_interlaced)
{
    if(!b_interlaced)
        return n_stored;
    static const uint32_t kPassStart[4] = {0, 4, 2, 1};
    static const uint32_t kPassStep[4] = {8, 8, 4, 2};
    for(int n_pass = 0; n_pass < 4; ++n_pass) {
        const uint32_t n_pass_rows =
            n_height > kPassStart[n_pass] ? (n_height - kPassStart[n_pass] + kPassStep[n_pass] - 1) / kPassStep[n_pass] : 0;
        if(n_stored < n_pass_rows)
            return kPassStart[n_pass] + n_stored * kPassStep[n_pass];
        n_stored -= n_pass_rows;
    }
    return n_height; // not reached: there are n_height stored rows
}

// Reads one frame and draws it on the screen.
bool ReadFrame(GifDecode &decode)
{
    if(DGifGetImageDesc(decode.p_gif) == GIF_ERROR)
        return FailInGiflib(decode);
    ForgetSavedImages(decode.p_gif);
    // giflib has just read the LZW minimum code size.
    if(decode.n_last_byte < kMinLzwCodeSize)
        return Fail(decode, LoadFailure::kCorruptData);
    if(!DescribeFrame(decode))
        return false;
    if(!decode.canvas.p_image && !StartScreen(decode))
        return false;
    const GifFrame &frame = decode.frame;
    if(!BeginGifFrame(decode.canvas, frame))
        return Fail(decode, LoadFailure::kOutOfMemory);
    const bool b_interlaced = decode.p_gif->Image.Interlace;
    for(uint32_t n_stored = 0; n_stored < frame.n_height; ++n_stored) {
        if(DGifGetLine(decode.p_gif, decode.p_row, int(frame.n_width)) == GIF_ERROR)
            return FailInGiflib(decode);
        DrawGifRow(decode.canvas, frame, n_RowOfStoredRow(n_stored, frame.n_height, b_interlaced), decode.p_row);
    }
    ++decode.n_frames_drawn;
    return true;
}

// Reads records until the frame asked for is drawn.
bool ReadFrames(GifDecode &decode)
{
    while(decode.n_frames_drawn <= decode.n_frame_wanted) {
        GifRecordType record;
        if(DGifGetRecordType(decode.p_gif, &record) == GIF_ERROR)
            return FailInGiflib(decode);
        if(record == TERMINATE_RECORD_TYPE)
            return Fail(decode, LoadFailure::kNoSuchFrame);
        if(!(record == EXTENSION_RECORD_TYPE ? ReadExtension(decode) : ReadFrame(decode)))
            return false;
    }
    return true;
}

// The screen, handed over, with its descriptive fields.
Image *TakeScreen(GifDecode &decode)
{
    Image *p_image = TakeGifScreen(decode.canvas);
    p_image->n_bpp = 8;
    for(uint64_t i = 0; i < n_PixelCount(*p_image) && !p_image->b_alpha; ++i)
        p_image->b_alpha = (p_image->p_buffer[i] >> 24) != 0xFF;
    return p_image;
}

void ReleaseDecode(GifDecode &decode)
{
    if(decode.p_gif)
        DGifCloseFile(decode.p_gif, nullptr);
    decode.p_gif = nullptr;
    std::free(decode.p_row);
    decode.p_row = nullptr;
    ReleaseGifCanvas(decode.canvas);
    CloseInputStream(decode.stream);
}

} // namespace

Image *LoadGifImage(const ImageInput &input, LoadFailure *p_failure)
{
    GifDecode decode;
    decode.n_frame_wanted = input.n_frame;
    Image *p_image = nullptr;
    if(!OpenInputStream(input, decode.stream, 0))
        decode.failure = LoadFailure::kCannotOpen;
    else if(ReadGifSignature(decode.stream, decode.a_signature, decode.failure) && StartGiflib(decode) &&
            ReadFrames(decode))
        p_image = TakeScreen(decode);
    ReleaseDecode(decode);
    *p_failure = p_image ? LoadFailure::kNone : decode.failure;
    return p_image;
}

bool b_IsGifSupportBuiltIn()
{
    return true;
}

} // namespace tarnwick
