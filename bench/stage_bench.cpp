// Time of each stage of a conversion, on real input files: JPEG decode (and
// within it the colour assembly alone), TGA load, PNG decode, gray
// reduction, run-length packing, item formatting, writing the whole header
// to a file, and resizing the decoded photo to 320 x 240 with each filter.
//
//   build-bench/bench/stage_bench photo.jpg photo.tga OUT_DIR [picture.{png,jpg} ...] [--benchmark_... flags]
//
// Each further PNG or JPEG file given (a progressive JPEG, say) gets a decode
// benchmark of its own, named after it.
// OUT_DIR is where the header files go (a folder on the normal disk; the
// writing benchmarks also write once more to /dev/shm). bench/run_bench.sh
// runs this with the inputs it makes; see the README's performance section.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "image.h"
#include "header_writer.h"
#include "item_writer.h"
#include "jpeg_color.h"
#include "jpeg_decoder.h"
#include "jpeg_idct.h"
#include "png_loader.h"
#include "resize.h"
#include "rle_packer.h"
#include "tga_reader.h"

namespace {

using namespace tarnwick;

// The loaders as the stages call them: the cause of a failure does not matter here.
Image *LoadJpeg(const char *p_path)
{
    LoadFailure failure;
    return LoadImageAtPath(LoadJpegImage, p_path, &failure);
}

Image *LoadTga(const char *p_path)
{
    LoadFailure failure;
    return LoadImageAtPath(LoadTgaImage, p_path, &failure);
}

Image *LoadPng(const char *p_path)
{
    LoadFailure failure;
    return LoadImageAtPath(LoadPngImage, p_path, &failure);
}

struct StageInputs {
    std::string jpeg_path;
    std::string tga_path;
    std::string out_dir;
};

// The decoded photo, optionally reduced to gray, as the later stages see it.
struct DecodedPhoto {
    Image *p_image = nullptr;
    explicit DecodedPhoto(const std::string &path, bool b_gray) : p_image(LoadJpeg(path.c_str()))
    {
        if(p_image && b_gray)
            ReduceToGray(*p_image);
    }
    ~DecodedPhoto() { FreeImage(p_image); }
    DecodedPhoto(const DecodedPhoto &) = delete;
    DecodedPhoto &operator=(const DecodedPhoto &) = delete;
};

// False, and the benchmark marked as failed, when the photo did not decode.
bool b_Decoded(benchmark::State &state, const DecodedPhoto &photo)
{
    if(!photo.p_image)
        state.SkipWithError("cannot decode the JPEG input");
    return photo.p_image != nullptr;
}

void CountPixels(benchmark::State &state, const Image &image)
{
    const int64_t n_pixels = int64_t(n_PixelCount(image));
    state.SetItemsProcessed(int64_t(state.iterations()) * n_pixels);
    state.counters["MP"] = double(n_pixels) / 1e6;
}

// A whole load, file to Image, each time; load() returns the new Image.
template <typename Load>
void LoadRepeatedly(benchmark::State &state, Load load)
{
    Image *p_last = nullptr;
    for(auto _ : state) {
        FreeImage(p_last);
        p_last = load();
        if(!p_last) {
            state.SkipWithError("cannot load the input");
            return;
        }
    }
    CountPixels(state, *p_last);
    FreeImage(p_last);
}

void JpegDecode(benchmark::State &state, const StageInputs &inputs)
{
    LoadRepeatedly(state, [&inputs] { return LoadJpeg(inputs.jpeg_path.c_str()); });
}

// The colour assembly of a 4:2:0 frame the size of the photo: Y plane at full
// size, Cb and Cr at half size each way, merged and converted into pixels.
void JpegColorAssembly(benchmark::State &state, const StageInputs &inputs)
{
    DecodedPhoto photo(inputs.jpeg_path, false);
    if(!b_Decoded(state, photo))
        return;
    Image &image = *photo.p_image;
    const FrameComponent components[3] = {{1, 2, 2, 1, 1, 0, 0, 0}, {2, 1, 1, 2, 2, 1, 0, 0}, {3, 1, 1, 2, 2, 1, 0, 0}};
    const uint16_t n_plane_widths[4] = {uint16_t((image.n_width + 7) & ~7),
                                        uint16_t(((image.n_width + 1) / 2 + 7) & ~7),
                                        uint16_t(((image.n_width + 1) / 2 + 7) & ~7), 0};
    const int n_plane_heights[3] = {(image.n_height + 7) & ~7, ((image.n_height + 1) / 2 + 7) & ~7,
                                    ((image.n_height + 1) / 2 + 7) & ~7};
    // Planes made from the decoded photo by the usual RGB to YCbCr formulas
    // (chroma taken from every other pixel of every other row), so that the
    // samples, and how often a channel needs clamping, are those of a photo.
    std::vector<int8_t> planes[3];
    for(int j = 0; j < 3; ++j)
        planes[j].assign(size_t(n_plane_widths[j]) * size_t(n_plane_heights[j]), 0);
    for(int y = 0; y < image.n_height; ++y) {
        for(int x = 0; x < image.n_width; ++x) {
            const uint32_t n_pixel = image.p_buffer[size_t(y) * size_t(image.n_width) + size_t(x)];
            const float r = float(n_pixel >> 16 & 0xFF), g = float(n_pixel >> 8 & 0xFF), b = float(n_pixel & 0xFF);
            planes[0][size_t(y) * n_plane_widths[0] + size_t(x)] = int8_t(int(0.299f * r + 0.587f * g + 0.114f * b) - 128);
            if(x % 2 == 0 && y % 2 == 0) {
                const size_t n_at = size_t(y / 2) * n_plane_widths[1] + size_t(x / 2);
                planes[1][n_at] = int8_t(int(-0.1687f * r - 0.3313f * g + 0.5f * b));
                planes[2][n_at] = int8_t(int(0.5f * r - 0.4187f * g - 0.0813f * b));
            }
        }
    }
    int8_t *const p_planes[4] = {planes[0].data(), planes[1].data(), planes[2].data(), nullptr};
    for(auto _ : state) {
        AssembleColorImage(image, components, p_planes, n_plane_widths);
        benchmark::DoNotOptimize(image.p_buffer[0]);
    }
    CountPixels(state, image);
}

// The inverse DCT and block store alone, over 4096 blocks of pre-scaled
// coefficients like those of a quality-90 photo: a DC term and a few low
// frequencies.
void InverseDctStoreBlock(benchmark::State &state)
{
    constexpr int kBlocks = 4096, kPlaneWidth = 8 * 64;
    std::vector<float> blocks(size_t(kBlocks) * 64, 0.0f);
    std::mt19937 random(5);
    for(int b = 0; b < kBlocks; ++b) {
        float *p_block = blocks.data() + size_t(b) * 64;
        p_block[0] = float(int(random() % 2048) - 1024);
        for(int k = 0; k < 10; ++k)
            p_block[kZigzagToNatural[random() % 20]] = float(int(random() % 61) - 30) * 1.3f;
    }
    std::vector<int8_t> plane(size_t(kPlaneWidth) * 8 * (kBlocks / 64));
    for(auto _ : state) {
        for(int b = 0; b < kBlocks; ++b)
            StoreBlock(blocks.data() + size_t(b) * 64,
                       plane.data() + size_t(b / 64) * 8 * kPlaneWidth + size_t(b % 64) * 8, kPlaneWidth);
        benchmark::DoNotOptimize(plane.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kBlocks);
}

void TgaLoad(benchmark::State &state, const StageInputs &inputs)
{
    LoadRepeatedly(state, [&inputs] { return LoadTga(inputs.tga_path.c_str()); });
}

void PngDecode(benchmark::State &state, const std::string &path)
{
    LoadRepeatedly(state, [&path] { return LoadPng(path.c_str()); });
}

void NamedJpegDecode(benchmark::State &state, const std::string &path)
{
    LoadRepeatedly(state, [&path] { return LoadJpeg(path.c_str()); });
}

void GrayReduction(benchmark::State &state, const StageInputs &inputs)
{
    DecodedPhoto photo(inputs.jpeg_path, false);
    if(!b_Decoded(state, photo))
        return;
    Image &image = *photo.p_image;
    const std::vector<uint32_t> original(image.p_buffer, image.p_buffer + n_PixelCount(image));
    for(auto _ : state) {
        state.PauseTiming();
        std::memcpy(image.p_buffer, original.data(), original.size() * sizeof(uint32_t));
        state.ResumeTiming();
        ReduceToGray(image);
        benchmark::DoNotOptimize(image.p_buffer[0]);
    }
    CountPixels(state, image);
}

// Items formatted into an ItemWriter over /dev/null, so that the file costs
// nothing: with b_rle the packer's work plus the formatting of its items,
// without it the formatting of the pixels alone. The bytes per second are
// bytes of item text, counted once on tmpfs.
void WriteAllItems(ItemWriter &writer, FILE *p_file, const Image &image, bool b_gray, bool b_rle)
{
    const size_t n_pixels = size_t(n_PixelCount(image));
    StartItemWriter(writer, p_file, b_gray ? ItemKind::k8 : ItemKind::k32);
    if(b_rle)
        WriteRunLengthPackets(writer, image.p_buffer, n_pixels);
    else
        WriteItems(writer, image.p_buffer, n_pixels, true);
    FlushItemChunk(writer);
}

void FormatItems(benchmark::State &state, const StageInputs &inputs, bool b_gray, bool b_rle)
{
    static ItemWriter writer; // 64 KiB: kept off the benchmark's stack
    DecodedPhoto photo(inputs.jpeg_path, b_gray);
    FILE *p_count = std::fopen("/dev/shm/stage_bench_items.txt", "w");
    FILE *p_null = std::fopen("/dev/null", "w");
    long n_text_bytes = -1;
    if(photo.p_image && p_count) {
        WriteAllItems(writer, p_count, *photo.p_image, b_gray, b_rle);
        n_text_bytes = std::ftell(p_count);
    }
    if(p_count) {
        std::fclose(p_count);
        std::remove("/dev/shm/stage_bench_items.txt");
    }
    if(n_text_bytes < 0 || !p_null) {
        state.SkipWithError("cannot decode the JPEG input or open the output");
        if(p_null)
            std::fclose(p_null);
        return;
    }
    for(auto _ : state)
        WriteAllItems(writer, p_null, *photo.p_image, b_gray, b_rle);
    std::fclose(p_null);
    state.SetBytesProcessed(int64_t(state.iterations()) * n_text_bytes);
    CountPixels(state, *photo.p_image);
}

// The whole header written by WriteImageHeader to a file in p_dir; the
// reported bytes per second are bytes of header text.
void WriteHeaderFile(benchmark::State &state, const StageInputs &inputs, bool b_gray, bool b_rle,
                     const std::string &dir)
{
    DecodedPhoto photo(inputs.jpeg_path, b_gray);
    if(!b_Decoded(state, photo))
        return;
    const std::string header_path = dir + "/stage_bench_photo.h";
    for(auto _ : state) {
        state.PauseTiming();
        std::remove(header_path.c_str()); // every run creates a new file,
        sync();                           // with no writeback of the last one pending
        state.ResumeTiming();
        if(!WriteImageHeader(*photo.p_image, b_gray ? OutputFormat::kGray : OutputFormat::kRgb, b_rle, false, "photo.jpg", header_path.c_str())) {
            state.SkipWithError("cannot write the header");
            return;
        }
    }
    struct stat info;
    if(stat(header_path.c_str(), &info) == 0) {
        state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(info.st_size));
        state.counters["header_MB"] = double(info.st_size) / 1e6;
    }
    std::remove(header_path.c_str());
    CountPixels(state, *photo.p_image);
}

// The decoded photo resized to 320 x 240. ResizeImage releases the Image it
// is given, so each run resizes a fresh copy, made outside the timing.
void ResizePhoto(benchmark::State &state, const StageInputs &inputs, ResizeFilter filter)
{
    DecodedPhoto photo(inputs.jpeg_path, false);
    if(!b_Decoded(state, photo))
        return;
    const Image &image = *photo.p_image;
    for(auto _ : state) {
        state.PauseTiming();
        Image *p_copy = AllocateImage(image.n_width, image.n_height);
        if(!p_copy) {
            state.SkipWithError("out of memory");
            return;
        }
        std::memcpy(p_copy->p_buffer, image.p_buffer, size_t(n_PixelCount(image)) * sizeof(uint32_t));
        state.ResumeTiming();
        TransformFailure failure = TransformFailure::kNone;
        Image *p_resized = ResizeImage(p_copy, 320, 240, filter, failure);
        state.PauseTiming();
        FreeImage(p_resized ? p_resized : p_copy);
        if(!p_resized) {
            state.SkipWithError("the resize failed");
            return;
        }
        state.ResumeTiming();
    }
    CountPixels(state, image);
}

void Configure(benchmark::internal::Benchmark *p_benchmark)
{
    p_benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if(argc < 4) {
        std::fprintf(stderr, "usage: stage_bench <photo.jpg> <photo.tga> <out-dir> [picture.{png,jpg} ...] [benchmark flags]\n");
        return 2;
    }
    static const StageInputs inputs = {argv[1], argv[2], argv[3]};
    const std::string disk = inputs.out_dir, shm = "/dev/shm";

    Configure(benchmark::RegisterBenchmark("Decode/Jpeg", JpegDecode, inputs));
    Configure(benchmark::RegisterBenchmark("Decode/JpegColorAssembly", JpegColorAssembly, inputs));
    benchmark::RegisterBenchmark("Decode/InverseDctStoreBlock", InverseDctStoreBlock)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
    Configure(benchmark::RegisterBenchmark("Decode/Tga", TgaLoad, inputs));
    static std::vector<std::string> extra_paths(argv + 4, argv + argc);
    for(const std::string &path : extra_paths) {
        const std::string name = path.substr(path.rfind('/') + 1);
        const std::string stem = name.substr(0, name.rfind('.'));
        if(name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
            Configure(benchmark::RegisterBenchmark(("Decode/Png/" + stem).c_str(), PngDecode, path));
        else
            Configure(benchmark::RegisterBenchmark(("Decode/Jpeg/" + stem).c_str(), NamedJpegDecode, path));
    }
    Configure(benchmark::RegisterBenchmark("Gray/Reduce", GrayReduction, inputs));
    Configure(benchmark::RegisterBenchmark("Format/Plain32", FormatItems, inputs, false, false));
    Configure(benchmark::RegisterBenchmark("Format/Gray", FormatItems, inputs, true, false));
    Configure(benchmark::RegisterBenchmark("Pack/Rle32", FormatItems, inputs, false, true));
    Configure(benchmark::RegisterBenchmark("Pack/RleGray", FormatItems, inputs, true, true));
    Configure(benchmark::RegisterBenchmark("Write/Plain32/disk", WriteHeaderFile, inputs, false, false, disk));
    Configure(benchmark::RegisterBenchmark("Write/Gray/disk", WriteHeaderFile, inputs, true, false, disk));
    Configure(benchmark::RegisterBenchmark("Write/Rle32/disk", WriteHeaderFile, inputs, false, true, disk));
    Configure(benchmark::RegisterBenchmark("Write/Plain32/shm", WriteHeaderFile, inputs, false, false, shm));
    Configure(benchmark::RegisterBenchmark("Resize/320x240/lanczos", ResizePhoto, inputs, ResizeFilter::kLanczos));
    Configure(benchmark::RegisterBenchmark("Resize/320x240/bilinear", ResizePhoto, inputs, ResizeFilter::kBilinear));
    Configure(benchmark::RegisterBenchmark("Resize/320x240/box", ResizePhoto, inputs, ResizeFilter::kBox));
    Configure(benchmark::RegisterBenchmark("Resize/320x240/nearest", ResizePhoto, inputs, ResizeFilter::kNearest));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
