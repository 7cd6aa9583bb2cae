// The frame's geometry and its sample planes, and the zigzag order.
#include "jpeg_frame.h"

#include <cstddef>

#include "memory_block.h"

namespace tarnwick {

const uint8_t kZigzagToNatural[63] = {
    1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12,
    19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35,
    42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58,
    59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

namespace {

int32_t n_CeilDiv(int32_t n_value, int32_t n_divisor)
{
    return (n_value + n_divisor - 1) / n_divisor;
}

// Samples covered by a plane along one side, padded to whole blocks.
uint16_t n_PaddedPlaneSide(int n_frame_side, int n_upsample)
{
    return uint16_t(8 * n_CeilDiv(n_CeilDiv(n_frame_side, n_upsample), 8));
}

} // namespace

// A frame header guarantees 1..4 components sampled 1..15 and a frame of
// 0..32767 samples each way, so nothing here overflows: an MCU covers at
// least 8 x 8 samples, and a component at most ceil(32767 / 8) blocks a side.
void SetFrameGeometry(JpegFrame &frame)
{
    frame.n_h_max = 1;
    frame.n_v_max = 1;
    for(int i = 0; i < frame.n_components; ++i) {
        if(frame.components[i].n_h_sampling > frame.n_h_max)
            frame.n_h_max = frame.components[i].n_h_sampling;
        if(frame.components[i].n_v_sampling > frame.n_v_max)
            frame.n_v_max = frame.components[i].n_v_sampling;
    }
    frame.n_mcus_per_row = n_CeilDiv(frame.n_width, 8 * frame.n_h_max);
    frame.n_mcu_count = frame.n_mcus_per_row * n_CeilDiv(frame.n_height, 8 * frame.n_v_max);
    for(int i = 0; i < frame.n_components; ++i) {
        FrameComponent &component = frame.components[i];
        component.n_h_upsample = uint8_t(frame.n_h_max / component.n_h_sampling);
        component.n_v_upsample = uint8_t(frame.n_v_max / component.n_v_sampling);
        component.n_blocks_across =
            uint16_t(n_CeilDiv(n_CeilDiv(frame.n_width * component.n_h_sampling, frame.n_h_max), 8));
        component.n_blocks_down =
            uint16_t(n_CeilDiv(n_CeilDiv(frame.n_height * component.n_v_sampling, frame.n_v_max), 8));
    }
}

bool AllocatePlanes(JpegFrame &frame)
{
    for(int i = 0; i < frame.n_components; ++i) {
        const FrameComponent &component = frame.components[i];
        const uint16_t n_width = n_PaddedPlaneSide(frame.n_width, component.n_h_upsample);
        const uint16_t n_height = n_PaddedPlaneSide(frame.n_height, component.n_v_upsample);
        frame.n_plane_widths[i] = n_width;
        frame.n_plane_heights[i] = n_height;
        // At most 32768 x 32768 bytes. An empty frame still gets a block, so
        // that a null pointer always means "not allocated".
        frame.p_planes[i] = static_cast<int8_t *>(AllocateZeroedBlock(size_t(n_width) * n_height));
        if(!frame.p_planes[i])
            return false;
    }
    return true;
}

void ReleasePlanes(JpegFrame &frame)
{
    for(int i = 0; i < kMaxComponents; ++i) {
        FreeBlock(frame.p_planes[i], size_t(frame.n_plane_widths[i]) * frame.n_plane_heights[i]);
        frame.p_planes[i] = nullptr;
    }
    frame.b_frame_seen = 0;
    frame.n_dc_complete_bits = 0;
}

} // namespace tarnwick
