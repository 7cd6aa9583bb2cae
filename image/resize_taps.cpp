// The fixed-point weights of one axis of a separable resize (resize_taps.h).
#include "resize_taps.h"

#include <cmath>
#include <cstdlib>

namespace tarnwick {
namespace {

constexpr double kPi = 3.14159265358979323846;

double f_Sinc(double f_x)
{
    if(f_x == 0.0)
        return 1.0;
    f_x *= kPi;
    return std::sin(f_x) / f_x;
}

double f_Kernel(ResizeKernel kernel, double f_x)
{
    switch(kernel) {
    case ResizeKernel::kBox:
        return f_x > -0.5 && f_x <= 0.5 ? 1.0 : 0.0;
    case ResizeKernel::kBilinear:
        f_x = std::fabs(f_x);
        return f_x < 1.0 ? 1.0 - f_x : 0.0;
    case ResizeKernel::kLanczos:
        return f_x >= -3.0 && f_x < 3.0 ? f_Sinc(f_x) * f_Sinc(f_x / 3.0) : 0.0;
    }
    return 0.0;
}

double f_Support(ResizeKernel kernel)
{
    switch(kernel) {
    case ResizeKernel::kBox: return 0.5;
    case ResizeKernel::kBilinear: return 1.0;
    case ResizeKernel::kLanczos: return 3.0;
    }
    return 0.0;
}

// The axis's geometry: scale, filter scale and support, as in the header.
struct AxisGeometry {
    double f_scale;
    double f_inverse_filter_scale;
    double f_support;
};

AxisGeometry Geometry(int32_t n_in, int32_t n_out, ResizeKernel kernel)
{
    const double f_scale = double(n_in) / double(n_out);
    const double f_filter_scale = f_scale < 1.0 ? 1.0 : f_scale;
    return {f_scale, 1.0 / f_filter_scale, f_Support(kernel) * f_filter_scale};
}

// The run of input pixels of output pixel n_output: first and count.
void Run(const AxisGeometry &axis, int32_t n_in, int32_t n_output, int32_t &n_first, int32_t &n_count)
{
    const double f_centre = (n_output + 0.5) * axis.f_scale;
    int32_t n_start = int32_t(f_centre - axis.f_support + 0.5);
    if(n_start < 0)
        n_start = 0;
    int32_t n_end = int32_t(f_centre + axis.f_support + 0.5);
    if(n_end > n_in)
        n_end = n_in;
    n_first = n_start;
    n_count = n_end > n_start ? n_end - n_start : 0;
}

int32_t n_FixedWeight(double f_weight, int n_bits)
{
    const double f_scaled = f_weight * double(int32_t(1) << n_bits);
    return int32_t(f_scaled < 0 ? f_scaled - 0.5 : f_scaled + 0.5);
}

// The normalised weights of output pixel n_output into p_weights (n_count of
// them): each kernel value divided by their sum, unless the sum is 0.
void NormalisedWeights(const AxisGeometry &axis, ResizeKernel kernel, int32_t n_output, int32_t n_first,
                       int32_t n_count, double *p_weights)
{
    const double f_centre = (n_output + 0.5) * axis.f_scale;
    double f_sum = 0.0;
    for(int32_t j = 0; j < n_count; ++j) {
        p_weights[j] = f_Kernel(kernel, (j + n_first - f_centre + 0.5) * axis.f_inverse_filter_scale);
        f_sum += p_weights[j];
    }
    if(f_sum != 0.0)
        for(int32_t j = 0; j < n_count; ++j)
            p_weights[j] /= f_sum;
}

} // namespace

bool ComputeResizeTaps(int32_t n_in, int32_t n_out, ResizeKernel kernel, ResizeTaps &taps, bool &b_too_large)
{
    taps = ResizeTaps{n_in, n_out, 0, 0, kMaxWeightBits, false, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    b_too_large = false;
    const AxisGeometry axis = Geometry(n_in, n_out, kernel);
    const size_t n_outputs = size_t(uint32_t(n_out));
    taps.p_first = static_cast<int32_t *>(std::malloc(n_outputs * sizeof(int32_t)));
    taps.p_count = static_cast<int32_t *>(std::malloc(n_outputs * sizeof(int32_t)));
    if(!taps.p_first || !taps.p_count) {
        FreeResizeTaps(taps);
        return false;
    }
    for(int32_t i = 0; i < n_out; ++i) {
        Run(axis, n_in, i, taps.p_first[i], taps.p_count[i]);
        if(taps.p_count[i] > taps.n_max_count)
            taps.n_max_count = taps.p_count[i];
    }
    taps.n_stride = (taps.n_max_count + 7) / 8 * 8;
    // Double, 32-bit and one or two 16-bit weights, and the runs.
    const double f_bytes = double(n_outputs) * double(taps.n_stride) * 16.0 + double(n_outputs) * 8.0;
    if(f_bytes > double(kMaxTapsBytes)) {
        b_too_large = true;
        FreeResizeTaps(taps);
        return false;
    }
    // The normalised weights, kept in double precision until the number of
    // bits is known: the most with which every weight fits in 16 bits.
    const size_t n_entries = n_outputs * size_t(taps.n_stride) + 1;
    double *p_normalised = static_cast<double *>(std::malloc(n_entries * sizeof(double)));
    if(!p_normalised) {
        FreeResizeTaps(taps);
        return false;
    }
    int n_16bit_bits = kMaxWeightBits;
    for(int32_t i = 0; i < n_out; ++i) {
        double *p_row = p_normalised + size_t(i) * size_t(taps.n_stride);
        NormalisedWeights(axis, kernel, i, taps.p_first[i], taps.p_count[i], p_row);
        for(int32_t j = 0; j < taps.p_count[i]; ++j)
            while(n_16bit_bits > 1 &&
                  (n_FixedWeight(p_row[j], n_16bit_bits) > 32767 || n_FixedWeight(p_row[j], n_16bit_bits) < -32768))
                --n_16bit_bits;
    }
    taps.b_16bit = n_16bit_bits >= kMin16BitWeightBits;
    taps.n_bits = taps.b_16bit ? n_16bit_bits : kMaxWeightBits;
    taps.p_weight = static_cast<int32_t *>(std::calloc(n_entries, sizeof(int32_t)));
    if(taps.b_16bit)
        taps.p_weight16 = static_cast<int16_t *>(std::calloc(n_entries, sizeof(int16_t)));
    else {
        taps.p_high = static_cast<int16_t *>(std::calloc(n_entries, sizeof(int16_t)));
        taps.p_low = static_cast<int16_t *>(std::calloc(n_entries, sizeof(int16_t)));
    }
    if(!taps.p_weight || (taps.b_16bit ? !taps.p_weight16 : (!taps.p_high || !taps.p_low))) {
        std::free(p_normalised);
        FreeResizeTaps(taps);
        return false;
    }
    for(int32_t i = 0; i < n_out; ++i) {
        const size_t n_row = size_t(i) * size_t(taps.n_stride);
        for(size_t n_at = n_row; n_at < n_row + size_t(taps.p_count[i]); ++n_at) {
            const int32_t n_weight = n_FixedWeight(p_normalised[n_at], taps.n_bits);
            taps.p_weight[n_at] = n_weight;
            if(taps.b_16bit) {
                taps.p_weight16[n_at] = int16_t(n_weight);
                continue;
            }
            const int32_t n_low = int32_t(uint32_t(n_weight) & 2047u);
            taps.p_high[n_at] = int16_t((n_weight - n_low) / 2048);
            taps.p_low[n_at] = int16_t(n_low);
        }
    }
    std::free(p_normalised);
    return true;
}

void FreeResizeTaps(ResizeTaps &taps)
{
    std::free(taps.p_first);
    std::free(taps.p_count);
    std::free(taps.p_weight);
    std::free(taps.p_weight16);
    std::free(taps.p_high);
    std::free(taps.p_low);
    taps.p_first = taps.p_count = taps.p_weight = nullptr;
    taps.p_weight16 = taps.p_high = taps.p_low = nullptr;
}

} // namespace tarnwick
