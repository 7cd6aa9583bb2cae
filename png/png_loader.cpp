// PNG files, decoded by libpng.
//
// A PNG file is an 8-byte signature followed by chunks, each a 4-byte
// big-endian data length, a 4-byte type, the data and a CRC-32 of type and
// data. IHDR comes first (width, height, bit depth, colour type, interlace
// method); PLTE holds the palette, tRNS the transparency of palette entries
// or of one gray or RGB value; the data of all IDAT chunks together is one
// zlib stream of filtered rows, each row a filter-type byte and the row's
// packed samples; IEND ends the file. An interlaced (Adam7) file stores seven
// reduced pictures, the passes, one after the other.
//
// libpng's transforms turn every kind of pixel into four 8-bit bytes: the
// palette and bit depths below 8 are expanded, tRNS becomes alpha, gray is
// copied to red, green and blue, 16-bit samples are scaled to 8 bits
// (v * 255 / 65535 rounded), alpha 0xFF is added where the file has none,
// and the bytes are ordered so that each pixel, read as a uint32_t on this
// machine, is 0xAARRGGBB. libpng writes every row, and every pass of an
// interlaced row, straight into the Image's pixel array.
//
// All ancillary chunks but tRNS (gamma, colour profiles, text, ...) are
// skipped unread: like the JPEG and TGA paths, the stored samples are what
// goes into the header.
//
// libpng reports an error by calling OnLibpngError, which records the cause
// and jumps back to the setjmp in DecodeUnderErrorJump. Nothing between the
// two has a destructor, and the whole state of a decode is one PngDecode
// record, released by ReleaseDecode on every path.
#include <png.h>

#include <cstdlib>
#include <cstring>

#include "png_file.h"
#include "png_loader.h"
#include "platform.h"

namespace tarnwick {
namespace {

// deflate turns one compressed byte into at most 1032 decoded bytes (a
// 258-byte match coded in two bits). A file whose header declares more
// decoded bytes than that many times its size, plus kInflateSlackBytes for
// the framing of tiny files, cannot hold the picture, and is refused before
// its pixels are allocated.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kInflateSlackBytes = 1024;

// libpng refuses sides above a million pixels unless told otherwise; the
// limits that matter here are the pixel array's and the data check above,
// checked by this loader so that it knows the cause. libpng is given PNG's
// own maximum.
constexpr png_uint_32 kLibpngSideLimit = PNG_UINT_31_MAX;
// Only PLTE and tRNS (768 bytes at most) are kept in memory; every other
// ancillary chunk is skipped. These two bound what libpng would hold if
// that changed.
constexpr png_alloc_size_t kLibpngChunkMallocMax = 1u << 20;
constexpr png_uint_32 kLibpngChunkCacheMax = 32;

// Rows between hand-overs to a RowSink: often enough for the header to be
// written while the rest is decoded, seldom enough to cost nothing.
constexpr png_uint_32 kRowsPerHandOver = 16;

struct PngDecode {
    InputStream stream{};
    const RowSink *p_row_sink = nullptr;
    png_structp p_png = nullptr;
    png_infop p_info = nullptr;
    Image *p_image = nullptr;
    // From IHDR (and tRNS), once png_read_info has returned.
    png_uint_32 n_width = 0;
    png_uint_32 n_height = 0;
    uint8_t n_bit_depth = 0;
    uint8_t n_color_type = 0;
    bool b_interlaced = false;
    bool b_transparency = false;
    int n_passes = 1;
    // The first bytes after the signature (IHDR's length, type, width and
    // height), kept as they are read: libpng may refuse a size before the
    // loader sees it (a row too long for a 32-bit machine's memory), and
    // such a size is "too large" on every machine.
    uint8_t a_header_start[16] = {};
    size_t n_header_start_bytes = 0;
    // Set by the callbacks, read by OnLibpngError to name the cause.
    bool b_input_ended = false;
    bool b_allocation_failed = false;
    LoadFailure failure = LoadFailure::kNone;
};

// The decode that a callback's pointer (error, memory or input) points to.
PngDecode &DecodeOf(png_voidp p_pointer)
{
    return *static_cast<PngDecode *>(p_pointer);
}

bool Fail(PngDecode &decode, LoadFailure cause)
{
    decode.failure = cause;
    return false;
}

// The IHDR width and height read so far declare a picture the Image cannot
// hold.
bool b_DeclaresTooLargeAPicture(const PngDecode &decode)
{
    const uint8_t *p = decode.a_header_start;
    if(decode.n_header_start_bytes < sizeof(decode.a_header_start) || std::memcmp(p + 4, "IHDR", 4) != 0)
        return false;
    const uint32_t n_width = uint32_t(p[8]) << 24 | uint32_t(p[9]) << 16 | uint32_t(p[10]) << 8 | p[11];
    const uint32_t n_height = uint32_t(p[12]) << 24 | uint32_t(p[13]) << 16 | uint32_t(p[14]) << 8 | p[15];
    return n_width > PNG_UINT_31_MAX || n_height > PNG_UINT_31_MAX ||
           !b_IsAllowedImageSize(int32_t(n_width), int32_t(n_height));
}

[[noreturn]] void OnLibpngError(png_structp p_png, png_const_charp)
{
    PngDecode &decode = DecodeOf(png_get_error_ptr(p_png));
    if(decode.failure == LoadFailure::kNone)
        decode.failure = decode.b_input_ended               ? LoadFailure::kTruncated
                         : decode.b_allocation_failed        ? LoadFailure::kOutOfMemory
                         : b_DeclaresTooLargeAPicture(decode) ? LoadFailure::kTooLarge
                                                             : LoadFailure::kCorruptData;
    png_longjmp(p_png, 1);
}

// Warnings (a damaged ancillary chunk, data after the last row) do not stop
// the decode, and only the driver prints.
void OnLibpngWarning(png_structp, png_const_charp) {}

png_voidp AllocateForLibpng(png_structp p_png, png_alloc_size_t n_size)
{
    void *p_block = std::malloc(n_size);
    if(!p_block)
        DecodeOf(png_get_mem_ptr(p_png)).b_allocation_failed = true;
    return p_block;
}

void FreeForLibpng(png_structp, png_voidp p_block)
{
    std::free(p_block);
}

void ReadFromFile(png_structp p_png, png_bytep p_data, size_t n_size)
{
    PngDecode &decode = DecodeOf(png_get_io_ptr(p_png));
    const size_t n_read = n_ReadInput(decode.stream, p_data, n_size);
    for(size_t i = 0; i < n_read && decode.n_header_start_bytes < sizeof(decode.a_header_start); ++i)
        decode.a_header_start[decode.n_header_start_bytes++] = p_data[i];
    if(n_read != n_size) {
        decode.b_input_ended = true;
        png_error(p_png, "the file ends early");
    }
}

// Bytes of packed samples in a row of n_columns pixels of n_pixel_bits each.
uint64_t n_PackedRowBytes(uint64_t n_columns, uint64_t n_pixel_bits)
{
    return (n_columns * n_pixel_bits + 7) / 8;
}

// What the zlib stream of a picture of this header decodes to: each row of
// each pass is a filter-type byte and its packed samples; a pass without
// columns or without rows has no rows at all.
uint64_t n_InflatedBytes(png_uint_32 n_width, png_uint_32 n_height, uint64_t n_pixel_bits, bool b_interlaced)
{
    if(!b_interlaced)
        return uint64_t(n_height) * (1 + n_PackedRowBytes(n_width, n_pixel_bits));
    uint64_t n_bytes = 0;
    for(int n_pass = 0; n_pass < 7; ++n_pass) {
        const uint64_t n_columns = PNG_PASS_COLS(n_width, n_pass);
        const uint64_t n_rows = PNG_PASS_ROWS(n_height, n_pass);
        if(n_columns && n_rows)
            n_bytes += n_rows * (1 + n_PackedRowBytes(n_columns, n_pixel_bits));
    }
    return n_bytes;
}

// Creates libpng's read state with this decode's handlers and limits, reading
// the file after its signature.
bool StartLibpng(PngDecode &decode)
{
    decode.p_png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &decode, OnLibpngError, OnLibpngWarning,
                                            &decode, AllocateForLibpng, FreeForLibpng);
    if(!decode.p_png)
        return Fail(decode, LoadFailure::kOutOfMemory);
    decode.p_info = png_create_info_struct(decode.p_png);
    if(!decode.p_info)
        return Fail(decode, LoadFailure::kOutOfMemory);
    png_set_read_fn(decode.p_png, &decode, ReadFromFile);
    png_set_sig_bytes(decode.p_png, sizeof(kPngSignature));
    png_set_user_limits(decode.p_png, kLibpngSideLimit, kLibpngSideLimit);
    png_set_chunk_malloc_max(decode.p_png, kLibpngChunkMallocMax);
    png_set_chunk_cache_max(decode.p_png, kLibpngChunkCacheMax);
    // Every ancillary chunk but tRNS is skipped (its CRC is still checked).
    png_set_keep_unknown_chunks(decode.p_png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // A fuzzer's mutations would almost never keep the CRCs right.
    png_set_crc_action(decode.p_png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
    return true;
}

// Takes the header's fields and refuses a picture that the Image cannot hold
// or the file's data cannot describe.
bool CheckDeclaredPicture(PngDecode &decode)
{
    int n_depth, n_color_type, n_interlace;
    png_get_IHDR(decode.p_png, decode.p_info, &decode.n_width, &decode.n_height, &n_depth, &n_color_type,
                 &n_interlace, nullptr, nullptr);
    decode.n_bit_depth = uint8_t(n_depth);
    decode.n_color_type = uint8_t(n_color_type);
    decode.b_interlaced = n_interlace != PNG_INTERLACE_NONE;
    decode.b_transparency = png_get_valid(decode.p_png, decode.p_info, PNG_INFO_tRNS) != 0;
    if(decode.n_width > PNG_UINT_31_MAX || decode.n_height > PNG_UINT_31_MAX ||
       !b_IsAllowedImageSize(int32_t(decode.n_width), int32_t(decode.n_height)))
        return Fail(decode, LoadFailure::kTooLarge);
    const uint64_t n_pixel_bits = uint64_t(png_get_channels(decode.p_png, decode.p_info)) * uint64_t(n_depth);
    if(n_InflatedBytes(decode.n_width, decode.n_height, n_pixel_bits, decode.b_interlaced) >
       kMaxInflateRatio * decode.stream.n_size + kInflateSlackBytes)
        return Fail(decode, LoadFailure::kTooLarge);
    return true;
}

// Asks libpng for four bytes a pixel in the order that makes each uint32_t
// 0xAARRGGBB on this machine (B, G, R, A on a little-endian one; A, R, G, B
// on a big-endian one); false unless
// libpng then reports exactly that, because the rows it writes are the
// Image's rows of n_width * 4 bytes.
bool SetPixelTransforms(PngDecode &decode)
{
    png_structp p_png = decode.p_png;
    png_set_expand(p_png);      // palette to RGB, gray below 8 bits to 8, tRNS to alpha
    png_set_scale_16(p_png);    // 16-bit samples to 8 bits, rounded
    png_set_gray_to_rgb(p_png);
    if(!kBigEndianHost) {
        png_set_bgr(p_png);
        png_set_filler(p_png, 0xFF, PNG_FILLER_AFTER);
    } else {
        png_set_swap_alpha(p_png);
        png_set_filler(p_png, 0xFF, PNG_FILLER_BEFORE);
    }
    decode.n_passes = png_set_interlace_handling(p_png);
    png_read_update_info(p_png, decode.p_info);
    return (png_get_bit_depth(p_png, decode.p_info) == 8 && png_get_channels(p_png, decode.p_info) == 4 &&
            png_get_rowbytes(p_png, decode.p_info) == size_t(decode.n_width) * 4) ||
           Fail(decode, LoadFailure::kCorruptData);
}

// Allocates the Image and has libpng decode every row of every pass into it,
// then read the rest of the file up to IEND, so that a file cut anywhere is
// refused rather than given back as part of a picture.
bool ReadPixels(PngDecode &decode)
{
    decode.p_image = AllocateImage(int32_t(decode.n_width), int32_t(decode.n_height));
    if(!decode.p_image)
        return Fail(decode, LoadFailure::kOutOfMemory);
    Image &image = *decode.p_image;
    image.n_bpp = decode.n_bit_depth;
    image.b_grayscale = (decode.n_color_type & PNG_COLOR_MASK_COLOR) == 0;
    image.b_alpha = (decode.n_color_type & PNG_COLOR_MASK_ALPHA) != 0 || decode.b_transparency;
    for(int n_pass = 0; n_pass < decode.n_passes; ++n_pass)
        for(png_uint_32 n_row = 0; n_row < decode.n_height; ++n_row) {
            png_read_row(decode.p_png, reinterpret_cast<png_bytep>(image.p_buffer + size_t(n_row) * decode.n_width),
                         nullptr);
            // Rows of a picture that is not interlaced are final at once;
            // an interlaced one's only after its last pass.
            if(decode.n_passes == 1 && ((n_row + 1) % kRowsPerHandOver == 0 || n_row + 1 == decode.n_height))
                HandOverRows(decode.p_row_sink, image, int32_t(n_row + 1));
        }
    png_read_end(decode.p_png, nullptr);
    return true;
}

// The part of the decode that libpng may leave by its error jump. No object
// with a destructor lives here or in the functions it calls, and nothing
// local is used after a jump: the cause is in decode.failure.
bool DecodeUnderErrorJump(PngDecode &decode)
{
    if(setjmp(png_jmpbuf(decode.p_png)))
        return false;
    png_read_info(decode.p_png, decode.p_info);
    return CheckDeclaredPicture(decode) && SetPixelTransforms(decode) && ReadPixels(decode);
}

void ReleaseDecode(PngDecode &decode)
{
    png_destroy_read_struct(&decode.p_png, &decode.p_info, nullptr);
    if(decode.p_image) // a failed decode: rows handed over go with the picture
        WithdrawRows(decode.p_row_sink);
    FreeImage(decode.p_image);
    decode.p_image = nullptr;
    CloseInputStream(decode.stream);
}

} // namespace

Image *LoadPngImage(const ImageInput &input, LoadFailure *p_failure)
{
    PngDecode decode;
    decode.p_row_sink = input.p_row_sink;
    Image *p_image = nullptr;
    if(!OpenInputStream(input, decode.stream, 0))
        decode.failure = LoadFailure::kCannotOpen;
    else if(ReadPngSignature(decode.stream, decode.failure) && StartLibpng(decode) && DecodeUnderErrorJump(decode)) {
        p_image = decode.p_image;
        decode.p_image = nullptr;
    }
    ReleaseDecode(decode);
    *p_failure = p_image ? LoadFailure::kNone : decode.failure;
    return p_image;
}

bool b_IsPngSupportBuiltIn()
{
    return true;
}

} // namespace tarnwick
