/*
 * A stand-in for LVGL 9's lvgl.h, for the tests of the headers that --lvgl
 * writes: only the declarations such a header uses, written from LVGL 9's
 * documentation and API reference (lv_image_dsc.h, lv_color.h,
 * lv_version.h). It is not LVGL.
 *
 * LVGL_VERSION_MINOR (default 3) and LV_BIG_ENDIAN_SYSTEM (default 0) may be
 * defined on the command line to take the shape of another LVGL 9 release or
 * system:
 *   - lv_image_header_t: magic, cf, flags, w, h, stride, reserved_2, 32-bit
 *     bit-fields of 8, 8, 16, 16, 16, 16 and 16 bits, declared in the
 *     reverse order when LV_BIG_ENDIAN_SYSTEM is set;
 *   - lv_image_dsc_t: header, data_size, data; LVGL 9.1 and 9.2 add the
 *     pointer `reserved`, LVGL 9.3 and later `reserved` and `reserved_2`;
 *   - LV_COLOR_FORMAT_RGB565_SWAPPED exists from LVGL 9.3 on.
 * The same folder answers both include forms of a generated header: "-I
 * <this folder>" for "lvgl/lvgl.h", "-I <this folder>/lvgl" with
 * LV_LVGL_H_INCLUDE_SIMPLE for "lvgl.h".
 */
#ifndef TARNWICK_TEST_LVGL_STAND_IN_H
#define TARNWICK_TEST_LVGL_STAND_IN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LVGL_VERSION_MAJOR 9
#ifndef LVGL_VERSION_MINOR
#define LVGL_VERSION_MINOR 3
#endif
#define LVGL_VERSION_PATCH 0

#ifndef LV_BIG_ENDIAN_SYSTEM
#define LV_BIG_ENDIAN_SYSTEM 0
#endif

#define LV_IMAGE_HEADER_MAGIC (0x19)

typedef enum {
    LV_COLOR_FORMAT_UNKNOWN = 0x00,
    LV_COLOR_FORMAT_L8 = 0x06,
    LV_COLOR_FORMAT_I1 = 0x07,
    LV_COLOR_FORMAT_I2 = 0x08,
    LV_COLOR_FORMAT_I4 = 0x09,
    LV_COLOR_FORMAT_I8 = 0x0A,
    LV_COLOR_FORMAT_A8 = 0x0E,
    LV_COLOR_FORMAT_RGB888 = 0x0F,
    LV_COLOR_FORMAT_ARGB8888 = 0x10,
    LV_COLOR_FORMAT_RGB565 = 0x12,
#if LVGL_VERSION_MINOR >= 3
    LV_COLOR_FORMAT_RGB565_SWAPPED = 0x1B,
#endif
} lv_color_format_t;

#if LV_BIG_ENDIAN_SYSTEM
typedef struct {
    uint32_t reserved_2 : 16;
    uint32_t stride : 16;
    uint32_t h : 16;
    uint32_t w : 16;
    uint32_t flags : 16;
    uint32_t cf : 8;
    uint32_t magic : 8;
} lv_image_header_t;
#else
typedef struct {
    uint32_t magic : 8;
    uint32_t cf : 8;
    uint32_t flags : 16;
    uint32_t w : 16;
    uint32_t h : 16;
    uint32_t stride : 16;
    uint32_t reserved_2 : 16;
} lv_image_header_t;
#endif

typedef struct {
    lv_image_header_t header;
    uint32_t data_size;
    const uint8_t *data;
#if LVGL_VERSION_MINOR >= 1
    const void *reserved;
#endif
#if LVGL_VERSION_MINOR >= 3
    const void *reserved_2;
#endif
} lv_image_dsc_t;

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TARNWICK_TEST_LVGL_STAND_IN_H */
