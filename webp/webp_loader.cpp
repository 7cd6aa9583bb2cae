// WebP files, decoded by libwebp.
//
// A WebP file is a RIFF container: "RIFF", the size of the rest, "WEBP",
// then chunks, each a four-character type, a 32-bit little-endian data
// size, the data and a pad byte when the size is odd. A simple file holds
// one "VP8 " chunk (lossy, VP8 key frame, no alpha) or one "VP8L" chunk
// (lossless, alpha included). An extended file starts with "VP8X" (flags and
// the canvas size); a still picture then has an optional "ALPH" chunk
// (alpha plane, for lossy pictures) before its "VP8 " or "VP8L" chunk; an
// animation has "ANIM" (background colour, loop count) and one "ANMF" chunk
// per frame, each giving the frame's rectangle on the canvas, its duration,
// blending and disposal, and holding the frame's own ALPH/VP8 or VP8L
// chunks. ICCP, EXIF and XMP chunks are skipped: as for the other formats,
// the stored samples are what goes into the header.
//
// libwebp needs the whole file in memory. A file read from a pipe is there
// already; a regular file is read whole, up to the size its RIFF header
// declares, which must not exceed the file's own size. libwebp decodes
// straight into the Image's pixel array, asked for the byte order that makes
// each pixel, read as a uint32_t on this machine, 0xAARRGGBB (B, G, R, A on
// a little-endian machine; A, R, G, B on a big-endian one).
//
// Of an animated file the first frame is read as libwebp's animation
// decoder shows it: the canvas starts transparent black (the ANIM
// background colour is ignored, as that decoder and browsers ignore it),
// and the frame is decoded into its rectangle without blending, since there
// is nothing under it yet. libwebpdemux finds the frame.
//
// Limit, checked before the pixel array is allocated: lossy data costs at
// least a few bits for every 16 x 16 macroblock (about 550 pixels a byte
// for a picture of one colour), but lossless data can cost no bits at all
// per pixel (cwebp stores a 4000 x 4000 picture of one colour in 680
// bytes), so no format rule bounds the picture by the file. A picture (or
// canvas) of more than kMaxPixelsPerFileByte pixels for each byte of the
// file is refused with kTooLarge: that accepts such flat pictures and
// refuses a 16383 x 16383 one (the format's largest, 1 GiB of pixels) in
// less than 8 KiB.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdlib>
#include <cstring>

#include "memory_block.h"
#include "platform.h"
#include "webp_file.h"
#include "webp_loader.h"

namespace tarnwick {
namespace {

constexpr uint64_t kMaxPixelsPerFileByte = 32768;

struct WebpDecode {
    InputStream stream{};
    uint8_t a_header[kWebpHeaderBytes] = {};
    const uint8_t *p_file = nullptr; // the whole file ...
    size_t n_file_bytes = 0;
    uint8_t *p_file_copy = nullptr;  // ... in this block when read from a regular file
    uint32_t n_frame_wanted = 0;
    WebPDemuxer *p_demux = nullptr;
    Image *p_image = nullptr;
    LoadFailure failure = LoadFailure::kNone;
};

bool Fail(WebpDecode &decode, LoadFailure cause)
{
    decode.failure = cause;
    return false;
}

bool FailWithStatus(WebpDecode &decode, VP8StatusCode status)
{
    return Fail(decode, status == VP8_STATUS_OUT_OF_MEMORY     ? LoadFailure::kOutOfMemory
                        : status == VP8_STATUS_NOT_ENOUGH_DATA ? LoadFailure::kTruncated
                                                               : LoadFailure::kCorruptData);
}

// The file as its RIFF header declares it, in memory.
bool ReadWholeFile(WebpDecode &decode, const ImageInput &input)
{
    const uint64_t n_bytes = n_WebpFileBytes(decode.a_header);
    if(n_bytes < kWebpHeaderBytes) // a RIFF size that leaves out the form type
        return Fail(decode, LoadFailure::kCorruptData);
    if(n_bytes > decode.stream.n_size)
        return Fail(decode, LoadFailure::kTruncated);
    if(uint64_t(size_t(n_bytes)) != n_bytes) // a 32-bit machine
        return Fail(decode, LoadFailure::kTooLarge);
    decode.n_file_bytes = size_t(n_bytes);
    if(input.p_bytes) {
        decode.p_file = input.p_bytes;
        return true;
    }
    decode.p_file_copy = static_cast<uint8_t *>(std::malloc(decode.n_file_bytes));
    if(!decode.p_file_copy)
        return Fail(decode, LoadFailure::kOutOfMemory);
    std::memcpy(decode.p_file_copy, decode.a_header, kWebpHeaderBytes);
    const size_t n_rest = decode.n_file_bytes - kWebpHeaderBytes;
    if(n_ReadInput(decode.stream, decode.p_file_copy + kWebpHeaderBytes, n_rest) != n_rest)
        return Fail(decode, LoadFailure::kTruncated);
    decode.p_file = decode.p_file_copy;
    return true;
}

// Holds the picture's (or the canvas's) declared size against the Image's
// limit and the file's size.
bool CheckDeclaredSize(WebpDecode &decode, const WebPBitstreamFeatures &features)
{
    if(features.width <= 0 || features.height <= 0)
        return Fail(decode, LoadFailure::kCorruptData);
    return (b_IsAllowedImageSize(features.width, features.height) &&
            uint64_t(features.width) * uint64_t(features.height) <= kMaxPixelsPerFileByte * decode.n_file_bytes) ||
           Fail(decode, LoadFailure::kTooLarge);
}

// Allocates the Image, all transparent black when b_clear.
bool AllocatePicture(WebpDecode &decode, int n_width, int n_height, bool b_clear)
{
    decode.p_image = AllocateImage(n_width, n_height);
    if(!decode.p_image)
        return Fail(decode, LoadFailure::kOutOfMemory);
    decode.p_image->n_bpp = 8;
    // A mapped block's fresh pages read as zero (memory_block.h).
    const size_t n_bytes = size_t(n_PixelCount(*decode.p_image)) * 4;
    if(b_clear && !b_IsMappedBlock(n_bytes))
        std::memset(decode.p_image->p_buffer, 0, n_bytes);
    return true;
}

// Decodes a still picture (a whole file, or an animation frame's chunks) of
// n_width x n_height into the Image, its top-left pixel at (n_left, n_top).
bool DecodeInto(WebpDecode &decode, const uint8_t *p_data, size_t n_data, int n_left, int n_top, int n_width,
                int n_height)
{
    WebPDecoderConfig config;
    if(!WebPInitDecoderConfig(&config))
        return Fail(decode, LoadFailure::kCorruptData);
    VP8StatusCode status = WebPGetFeatures(p_data, n_data, &config.input);
    if(status != VP8_STATUS_OK)
        return FailWithStatus(decode, status);
    if(config.input.width != n_width || config.input.height != n_height)
        return Fail(decode, LoadFailure::kCorruptData);
    Image &image = *decode.p_image;
    const size_t n_stride = size_t(image.n_width) * 4;
    WebPRGBABuffer &rgba = config.output.u.RGBA;
    config.output.colorspace = kBigEndianHost ? MODE_ARGB : MODE_BGRA;
    config.output.is_external_memory = 1;
    rgba.rgba = reinterpret_cast<uint8_t *>(image.p_buffer + size_t(n_top) * size_t(image.n_width) + size_t(n_left));
    rgba.stride = int(n_stride);
    rgba.size = n_stride * size_t(n_height - 1) + size_t(n_width) * 4;
    status = WebPDecode(p_data, n_data, &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK || FailWithStatus(decode, status);
}

// The first frame of an animation, on its canvas: a frame that lies within
// the canvas and whose picture has the frame's size.
bool DecodeFrame(WebpDecode &decode, const WebPBitstreamFeatures &canvas, const WebPIterator &frame)
{
    if(frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 ||
       frame.x_offset + frame.width > canvas.width || frame.y_offset + frame.height > canvas.height)
        return Fail(decode, LoadFailure::kCorruptData);
    if(!AllocatePicture(decode, canvas.width, canvas.height, true))
        return false;
    decode.p_image->b_alpha = frame.has_alpha || frame.width != canvas.width || frame.height != canvas.height;
    return DecodeInto(decode, frame.fragment.bytes, frame.fragment.size, frame.x_offset, frame.y_offset, frame.width,
                      frame.height);
}

bool DecodeFirstFrame(WebpDecode &decode, const WebPBitstreamFeatures &canvas)
{
    if(decode.n_frame_wanted > 0)
        return Fail(decode, LoadFailure::kWebpLaterFrame);
    const WebPData data = {decode.p_file, decode.n_file_bytes};
    decode.p_demux = WebPDemux(&data);
    WebPIterator frame;
    if(!decode.p_demux || !WebPDemuxGetFrame(decode.p_demux, 1, &frame))
        return Fail(decode, LoadFailure::kCorruptData);
    const bool b_decoded = DecodeFrame(decode, canvas, frame);
    WebPDemuxReleaseIterator(&frame);
    return b_decoded;
}

bool DecodePicture(WebpDecode &decode)
{
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(decode.p_file, decode.n_file_bytes, &features);
    if(status != VP8_STATUS_OK)
        return FailWithStatus(decode, status);
    if(!CheckDeclaredSize(decode, features))
        return false;
    if(features.has_animation)
        return DecodeFirstFrame(decode, features);
    if(!AllocatePicture(decode, features.width, features.height, false))
        return false;
    decode.p_image->b_alpha = features.has_alpha != 0;
    return DecodeInto(decode, decode.p_file, decode.n_file_bytes, 0, 0, features.width, features.height);
}

void ReleaseDecode(WebpDecode &decode)
{
    WebPDemuxDelete(decode.p_demux);
    decode.p_demux = nullptr;
    std::free(decode.p_file_copy);
    decode.p_file_copy = nullptr;
    FreeImage(decode.p_image);
    decode.p_image = nullptr;
    CloseInputStream(decode.stream);
}

} // namespace

Image *LoadWebpImage(const ImageInput &input, LoadFailure *p_failure)
{
    WebpDecode decode;
    decode.n_frame_wanted = input.n_frame;
    Image *p_image = nullptr;
    if(!OpenInputStream(input, decode.stream, 0))
        decode.failure = LoadFailure::kCannotOpen;
    else if(ReadWebpHeader(decode.stream, decode.a_header, decode.failure) && ReadWholeFile(decode, input) &&
            DecodePicture(decode)) {
        p_image = decode.p_image;
        decode.p_image = nullptr;
    }
    ReleaseDecode(decode);
    *p_failure = p_image ? LoadFailure::kNone : decode.failure;
    return p_image;
}

bool b_IsWebpSupportBuiltIn()
{
    return true;
}

} // namespace tarnwick
