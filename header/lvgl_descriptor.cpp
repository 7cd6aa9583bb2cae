// The LVGL 9 descriptor's numbers and text (lvgl_descriptor.h).
#include "lvgl_descriptor.h"

namespace tarnwick {
namespace {

struct LvglFormatInfo {
    const char *p_name;
    uint32_t n_bits_per_pixel;
    uint32_t n_palette_entries; // indexed formats: 2 to the bits per pixel
};

const LvglFormatInfo &InfoOf(LvglFormat format)
{
    static const LvglFormatInfo kInfo[] = {
        {"LV_COLOR_FORMAT_ARGB8888", 32, 0}, {"LV_COLOR_FORMAT_RGB565", 16, 0},
        {"LV_COLOR_FORMAT_RGB565_SWAPPED", 16, 0}, {"LV_COLOR_FORMAT_RGB888", 24, 0},
        {"LV_COLOR_FORMAT_L8", 8, 0}, {"LV_COLOR_FORMAT_A8", 8, 0},
        {"LV_COLOR_FORMAT_I1", 1, 2}, {"LV_COLOR_FORMAT_I2", 2, 4},
        {"LV_COLOR_FORMAT_I4", 4, 16}, {"LV_COLOR_FORMAT_I8", 8, 256},
    };
    const size_t n_index = size_t(format);
    return kInfo[n_index < sizeof(kInfo) / sizeof(kInfo[0]) ? n_index : 0];
}

unsigned long long n_Printable(uint64_t n_value)
{
    return static_cast<unsigned long long>(n_value);
}

} // namespace

LvglImage LvglImageOf(LvglFormat format, uint32_t n_width, uint32_t n_height)
{
    const LvglFormatInfo &info = InfoOf(format);
    LvglImage image;
    image.format = format;
    image.n_width = n_width;
    image.n_height = n_height;
    image.n_stride = (uint64_t(n_width) * info.n_bits_per_pixel + 7) / 8;
    image.n_palette_bytes = uint64_t(info.n_palette_entries) * 4;
    image.n_data_size = image.n_palette_bytes + image.n_stride * n_height;
    return image;
}

bool b_FitsLvglHeader(const LvglImage &image)
{
    return image.n_width <= kLvglLargestField && image.n_height <= kLvglLargestField &&
           image.n_stride <= kLvglLargestField;
}

const char *p_LvglFormatName(LvglFormat format)
{
    return InfoOf(format).p_name;
}

bool WriteLvglIncludes(FILE *p_file)
{
    return std::fputs("#if defined(LV_LVGL_H_INCLUDE_SIMPLE)\n#include \"lvgl.h\"\n#else\n#include \"lvgl/lvgl.h\"\n"
                      "#endif\n\n",
                      p_file) >= 0;
}

bool WriteLvglDescriptor(FILE *p_file, const char *p_name, const LvglImage &image, bool b_static)
{
    const char *p_static = b_static ? "static " : "";
    const char *p_format = p_LvglFormatName(image.format);
    const unsigned long long n_width = n_Printable(image.n_width), n_height = n_Printable(image.n_height),
                             n_stride = n_Printable(image.n_stride), n_size = n_Printable(image.n_data_size);
    // C++: positionally, every member given.
    const bool b_cpp =
        std::fprintf(p_file,
                     "\n#ifdef __cplusplus\n%sconst lv_image_dsc_t dsc_%s = {\n#if LV_BIG_ENDIAN_SYSTEM\n"
                     "\t{0, %llu, %llu, %llu, 0, %s, LV_IMAGE_HEADER_MAGIC},\n#else\n"
                     "\t{LV_IMAGE_HEADER_MAGIC, %s, 0, %llu, %llu, %llu, 0},\n#endif\n\t%llu,\n",
                     p_static, p_name, n_stride, n_height, n_width, p_format, p_format, n_width, n_height, n_stride,
                     n_size) >= 0 &&
        std::fprintf(p_file,
                     "#if LVGL_VERSION_MAJOR == 9 && LVGL_VERSION_MINOR < 1\n\tp_%s\n"
                     "#elif LVGL_VERSION_MAJOR == 9 && LVGL_VERSION_MINOR < 3\n\tp_%s, 0\n#else\n\tp_%s, 0, 0\n"
                     "#endif\n};\n",
                     p_name, p_name, p_name) >= 0;
    // C: with designators; the members not named are zero.
    return b_cpp &&
           std::fprintf(p_file,
                        "#else\n%sconst lv_image_dsc_t dsc_%s = {\n\t.header = {\n\t\t.magic = LV_IMAGE_HEADER_MAGIC,\n"
                        "\t\t.cf = %s,\n\t\t.flags = 0,\n\t\t.w = %llu,\n\t\t.h = %llu,\n\t\t.stride = %llu,\n\t},\n"
                        "\t.data_size = %llu,\n\t.data = p_%s,\n};\n#endif\n",
                        p_static, p_name, p_format, n_width, n_height, n_stride, n_size, p_name) >= 0;
}

} // namespace tarnwick
