// The LVGL 9 image descriptor that --lvgl adds to the header, and the
// include block in front of it.
//
// LVGL 9 describes a picture in ROM by an lv_image_dsc_t: a header of
// bit-fields (magic, cf, flags, w, h, stride, reserved_2), the data's byte
// count and a pointer to the bytes. The header's members are declared in this
// order on little-endian systems and in the reverse order when
// LV_BIG_ENDIAN_SYSTEM is set, and LVGL 9.1 added a pointer `reserved` after
// `data`, LVGL 9.3 a second one, `reserved_2`. The descriptor is therefore
// written twice: for C with designators, which name each member whatever the
// order and leave the others zero; for C++, which has no nested designators,
// positionally, in both member orders under #if LV_BIG_ENDIAN_SYSTEM and
// with as many zero pointers after `data` as LVGL_VERSION_MINOR declares
// (every member given, so that -Wextra finds none missing).
//
// The data is bytes, as LVGL reads them on the little-endian processors it
// runs on: a row is `stride` bytes with no padding, rows top to bottom; the
// indexed formats start with their palette, one 4-byte entry (blue, green,
// red, alpha) for each of their 2, 4, 16 or 256 indices, and pack their
// pixels from the top bits of each byte down (the leftmost pixel in bit 7
// for I1).
//
// w, h and stride are 16-bit fields: b_FitsLvglHeader says whether a picture
// fits them.
#ifndef TARNWICK_HEADER_LVGL_DESCRIPTOR_H
#define TARNWICK_HEADER_LVGL_DESCRIPTOR_H

#include <cstdint>
#include <cstdio>

namespace tarnwick {

enum class LvglFormat : uint8_t { kArgb8888, kRgb565, kRgb565Swapped, kRgb888, kL8, kA8, kI1, kI2, kI4, kI8 };

// The numbers of one descriptor. 64-bit, so that a picture too large for
// LVGL's fields is seen as such instead of wrapping around.
struct LvglImage {
    LvglFormat format;
    uint64_t n_width;
    uint64_t n_height;
    uint64_t n_stride;        // bytes of one row
    uint64_t n_palette_bytes; // 4 bytes for each index of an indexed format, else 0
    uint64_t n_data_size;     // the palette and the rows
};

// The descriptor's numbers for a picture of that size in that format.
LvglImage LvglImageOf(LvglFormat format, uint32_t n_width, uint32_t n_height);

// The largest value of LVGL's 16-bit fields w, h and stride.
constexpr uint64_t kLvglLargestField = 0xFFFF;

// True when width, height and stride fit LVGL's 16-bit fields.
bool b_FitsLvglHeader(const LvglImage &image);

// "LV_COLOR_FORMAT_ARGB8888" and so on.
const char *p_LvglFormatName(LvglFormat format);

// The include block of LVGL's own generated images: "lvgl.h" when
// LV_LVGL_H_INCLUDE_SIMPLE is defined, else "lvgl/lvgl.h"; then an empty
// line. False when the write fails.
bool WriteLvglIncludes(FILE *p_file);

// "\n" and the descriptor dsc_<name> of the array p_<name>, with "static "
// in front of both of its definitions when b_static is set. False when a
// write fails.
bool WriteLvglDescriptor(FILE *p_file, const char *p_name, const LvglImage &image, bool b_static);

} // namespace tarnwick

#endif // TARNWICK_HEADER_LVGL_DESCRIPTOR_H
