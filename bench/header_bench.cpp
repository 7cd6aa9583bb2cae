// Speed of the header writer's output stage: a 4000 x 3000 photo-like image
// written as a header, to a file on tmpfs (/dev/shm) and to /dev/null, plain
// 32-bit, gray, RGB565 and 1-bit, and run-length packed. The reported bytes per
// second are bytes of header text. Also the conversion of the pixels into
// RGB565 and (dithered) 1-bit items.
//
//   cmake -S . -B build-bench -DTARNWICK_BUILD_BENCH=ON && cmake --build build-bench -j2
//   build-bench/bench/header_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/stat.h>
#include <vector>

#include "header_writer.h"

namespace {

using namespace tarnwick;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// Smooth colour gradients with a little noise, like a photo: few equal
// neighbours, so packing finds short literals rather than long runs.
std::vector<uint32_t> PhotoLikePixels(bool b_gray)
{
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
    std::mt19937 random(7);
    for(int y = 0; y < kHeight; ++y) {
        for(int x = 0; x < kWidth; ++x) {
            uint32_t n_noise = random() % 5;
            uint32_t n_red = (x * 255 / kWidth + n_noise) & 0xff;
            uint32_t n_green = (y * 255 / kHeight + n_noise) & 0xff;
            uint32_t n_blue = ((x + y) / 32 + n_noise) & 0xff;
            pixels[size_t(y) * kWidth + x] =
                b_gray ? (n_red * 3 + n_green * 6 + n_blue) / 10 : 0xff000000u | n_red << 16 | n_green << 8 | n_blue;
        }
    }
    return pixels;
}

const char *kTmpfsHeader = "/dev/shm/tarnwick_bench.h";

void WriteHeaderBench(benchmark::State &state, OutputFormat format, bool b_rle, const char *p_header_path)
{
    // Gray items come from the gray picture; the other formats convert the
    // colour one.
    std::vector<uint32_t> pixels = PhotoLikePixels(format == OutputFormat::kGray);
    Image image{};
    image.n_width = kWidth;
    image.n_height = kHeight;
    image.p_buffer = pixels.data();
    if(format != OutputFormat::kGray)
        ConvertToOutputFormat(image, format);

    // The size of the text, from one write to tmpfs.
    struct stat info;
    if(!WriteImageHeader(image, format, b_rle, false, "photo.jpg", kTmpfsHeader) || stat(kTmpfsHeader, &info) != 0) {
        state.SkipWithError("cannot write the header to /dev/shm");
        return;
    }
    for(auto _ : state) {
        if(!WriteImageHeader(image, format, b_rle, false, "photo.jpg", p_header_path)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    std::remove(kTmpfsHeader);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(info.st_size));
    state.counters["header_MB"] = double(info.st_size) / 1e6;
}

// The floor: the same number of bytes of ready-made text written with fwrite
// in 64 KiB pieces to the same tmpfs file.
void FwriteFloorToTmpfs(benchmark::State &state)
{
    const size_t n_total = size_t(kWidth) * kHeight * 12;
    std::vector<char> piece(65536, 'x');
    for(auto _ : state) {
        FILE *p_file = std::fopen(kTmpfsHeader, "w");
        if(!p_file) {
            state.SkipWithError("cannot open /dev/shm");
            break;
        }
        for(size_t n_written = 0; n_written < n_total; n_written += piece.size())
            std::fwrite(piece.data(), 1, piece.size(), p_file);
        std::fclose(p_file);
    }
    std::remove(kTmpfsHeader);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n_total));
}

// Converting the colour picture into the items of a format, in place (the
// copy of the pixels before each conversion is not timed).
void ConvertBench(benchmark::State &state, OutputFormat format, Dither dither)
{
    const std::vector<uint32_t> pixels = PhotoLikePixels(false);
    std::vector<uint32_t> work(pixels.size());
    Image image{};
    image.n_width = kWidth;
    image.n_height = kHeight;
    image.p_buffer = work.data();
    for(auto _ : state) {
        state.PauseTiming();
        work = pixels;
        state.ResumeTiming();
        ConvertToOutputFormat(image, format, dither);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pixels.size()));
}

const OutputFormat kRgb = OutputFormat::kRgb, kGray = OutputFormat::kGray, kRgb565 = OutputFormat::kRgb565;
void Plain32ToTmpfs(benchmark::State &state) { WriteHeaderBench(state, kRgb, false, kTmpfsHeader); }
void Plain32ToDevNull(benchmark::State &state) { WriteHeaderBench(state, kRgb, false, "/dev/null"); }
void GrayToDevNull(benchmark::State &state) { WriteHeaderBench(state, kGray, false, "/dev/null"); }
void GrayToTmpfs(benchmark::State &state) { WriteHeaderBench(state, kGray, false, kTmpfsHeader); }
void Packed32ToTmpfs(benchmark::State &state) { WriteHeaderBench(state, kRgb, true, kTmpfsHeader); }
void PackedGrayToTmpfs(benchmark::State &state) { WriteHeaderBench(state, kGray, true, kTmpfsHeader); }
void Rgb565ToDevNull(benchmark::State &state) { WriteHeaderBench(state, kRgb565, false, "/dev/null"); }
void Rgb565ToTmpfs(benchmark::State &state) { WriteHeaderBench(state, kRgb565, false, kTmpfsHeader); }
void PackedRgb565ToTmpfs(benchmark::State &state) { WriteHeaderBench(state, kRgb565, true, kTmpfsHeader); }
void MonoToTmpfs(benchmark::State &state) { WriteHeaderBench(state, OutputFormat::kMono, false, kTmpfsHeader); }
void ConvertToRgb565(benchmark::State &state) { ConvertBench(state, OutputFormat::kRgb565, Dither::kNone); }
void ConvertToMono(benchmark::State &state) { ConvertBench(state, OutputFormat::kMono, Dither::kNone); }
void ConvertToDitheredMono(benchmark::State &state) { ConvertBench(state, OutputFormat::kMono, Dither::kMonoFloyd); }

BENCHMARK(FwriteFloorToTmpfs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Plain32ToTmpfs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Plain32ToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GrayToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(GrayToTmpfs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Packed32ToTmpfs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PackedGrayToTmpfs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Rgb565ToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Rgb565ToTmpfs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PackedRgb565ToTmpfs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MonoToTmpfs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ConvertToRgb565)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ConvertToMono)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ConvertToDitheredMono)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
