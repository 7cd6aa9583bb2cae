#include "image_input.h"

#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace tarnwick {
namespace {

// Reads the whole of a file that is not a regular file: in reads of a
// growing block, doubling up to kMaxPipedBytes, so that a short pipe costs
// little and a long one only a few copies. One byte more than the limit is
// asked for, so that a picture of exactly the limit still loads.
bool ReadWholeFile(FILE *p_file, ImageInput &input, LoadFailure &failure)
{
    size_t n_capacity = 0, n_used = 0;
    uint8_t *p_bytes = nullptr;
    for(;;) {
        if(n_used == n_capacity) {
            if(n_capacity > kMaxPipedBytes) {
                std::free(p_bytes);
                failure = LoadFailure::kInputTooLarge;
                return false;
            }
            const size_t n_grown = n_capacity ? 2 * n_capacity : size_t(1) << 16;
            const size_t n_new_capacity = n_grown > kMaxPipedBytes ? size_t(kMaxPipedBytes) + 1 : n_grown;
            uint8_t *p_grown = static_cast<uint8_t *>(std::realloc(p_bytes, n_new_capacity));
            if(!p_grown) {
                std::free(p_bytes);
                failure = LoadFailure::kOutOfMemory;
                return false;
            }
            p_bytes = p_grown;
            n_capacity = n_new_capacity;
        }
        const size_t n_read = std::fread(p_bytes + n_used, 1, n_capacity - n_used, p_file);
        n_used += n_read;
        if(n_read == 0)
            break;
    }
    input.p_bytes = p_bytes;
    input.n_size = n_used;
    return true;
}

} // namespace

bool OpenImageInput(const char *p_path, ImageInput &input, LoadFailure &failure)
{
    input = ImageInput{p_path, nullptr, 0};
    const FileInfo info = QueryFile(p_path);
    if(info.kind == FileKind::kMissing) {
        failure = LoadFailure::kCannotOpen;
        return false;
    }
    if(info.kind == FileKind::kRegular) {
        input.n_size = info.n_size;
        return true;
    }
    FILE *p_file = std::fopen(p_path, "rb");
    if(!p_file) {
        failure = LoadFailure::kCannotOpen;
        return false;
    }
    const bool b_read = ReadWholeFile(p_file, input, failure);
    std::fclose(p_file);
    return b_read;
}

void ReleaseImageInput(ImageInput &input)
{
    std::free(const_cast<uint8_t *>(input.p_bytes));
    input.p_bytes = nullptr;
    input.n_size = 0;
}

Image *LoadImageAtPath(ImageLoader p_Load, const char *p_path, LoadFailure *p_failure)
{
    ImageInput input;
    if(!OpenImageInput(p_path, input, *p_failure))
        return nullptr;
    Image *p_image = p_Load(input, p_failure);
    ReleaseImageInput(input);
    return p_image;
}

bool OpenInputStream(const ImageInput &input, InputStream &stream, size_t n_buffer_bytes)
{
    stream = InputStream{nullptr, input.p_bytes, input.n_size, 0, nullptr, false};
    if(input.p_bytes)
        return true;
    stream.p_file = std::fopen(input.p_path, "rb");
    if(!stream.p_file)
        return false;
    if(n_buffer_bytes) {
        stream.p_file_buffer = static_cast<char *>(std::malloc(n_buffer_bytes));
        if(stream.p_file_buffer)
            std::setvbuf(stream.p_file, stream.p_file_buffer, _IOFBF, n_buffer_bytes);
    }
    return true;
}

void CloseInputStream(InputStream &stream)
{
    if(stream.p_file)
        std::fclose(stream.p_file);
    std::free(stream.p_file_buffer);
    stream.p_file = nullptr;
    stream.p_file_buffer = nullptr;
}

size_t n_ReadInput(InputStream &stream, void *p_dest, size_t n_bytes)
{
    if(stream.p_file) {
        const size_t n_read = std::fread(p_dest, 1, n_bytes, stream.p_file);
        stream.n_position += n_read;
        stream.b_ended |= n_read < n_bytes;
        return n_read;
    }
    const uint64_t n_left = n_InputBytesLeft(stream);
    const size_t n_copied = n_bytes < n_left ? n_bytes : size_t(n_left);
    if(n_copied)
        std::memcpy(p_dest, stream.p_bytes + stream.n_position, n_copied);
    stream.n_position += n_copied;
    stream.b_ended |= n_copied < n_bytes;
    return n_copied;
}

bool SkipInputBytes(InputStream &stream, uint64_t n_bytes)
{
    if(n_bytes > n_InputBytesLeft(stream)) {
        stream.n_position = stream.n_size;
        stream.b_ended = true;
        return false;
    }
    // A regular file can be repositioned; its size was known when it was
    // opened. fseek takes a long, which may be 32 bits wide.
    stream.n_position += n_bytes;
    const uint64_t n_step_limit = uint64_t(1) << 30;
    while(stream.p_file && n_bytes) {
        const uint64_t n_step = n_bytes < n_step_limit ? n_bytes : n_step_limit;
        if(std::fseek(stream.p_file, long(n_step), SEEK_CUR) != 0)
            return false;
        n_bytes -= n_step;
    }
    return true;
}

} // namespace tarnwick
