// The command line's switches (switches.h): three small tables, the plain
// switches, the output formats and the valued switches with a parse function
// each.
#include "switches.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace tarnwick {
namespace {

struct PlainSwitch {
    const char *p_name;
    void (*apply)(ConversionOptions &options);
};
const PlainSwitch kPlainSwitches[] = {
    {"--verbose", [](ConversionOptions &options) { options.b_verbose = true; }},
    {"--rle", [](ConversionOptions &options) { options.b_rle = true; }},
    {"--rle-decoder", [](ConversionOptions &options) { options.b_rle_decoder = true; }},
    {"--invert", [](ConversionOptions &options) { options.fit.b_invert = true; }},
};

// The switches that choose the output format; the last one given wins.
struct FormatSwitch {
    const char *p_name;
    OutputFormat format;
};
const FormatSwitch kFormatSwitches[] = {
    {"--gray", OutputFormat::kGray},
    {"--rgb", OutputFormat::kRgb},
    {"--rgb565", OutputFormat::kRgb565},
    {"--rgb565-swapped", OutputFormat::kRgb565Swapped},
    {"--mono", OutputFormat::kMono},
};

// Reads the decimal digits at p_text (no sign, at least one digit) as a
// number of at most n_max; returns the first character after them, or
// nullptr when there is no digit or the number is too large.
const char *ReadNumber(const char *p_text, uint32_t n_max, int32_t &n_number)
{
    if(*p_text < '0' || *p_text > '9')
        return nullptr;
    uint64_t n_value = 0;
    for(; *p_text >= '0' && *p_text <= '9'; ++p_text) {
        n_value = n_value * 10 + uint64_t(*p_text - '0');
        if(n_value > n_max)
            return nullptr;
    }
    n_number = int32_t(n_value);
    return p_text;
}

// One word of a list: p_value is exactly one of p_words; its index, or -1.
int n_WordIndex(const char *p_value, std::initializer_list<const char *> words)
{
    int n_index = 0;
    for(const char *p_word : words) {
        if(!std::strcmp(p_value, p_word))
            return n_index;
        ++n_index;
    }
    return -1;
}

// A parse function reads the value (the text after '=') into options and
// returns nullptr, or returns the cause when the value is malformed. p_arg is
// the whole argument, kept for later messages.
using ParseValue = const char *(*)(const char *p_value, const char *p_arg, ConversionOptions &options);

const char *ParseCrop(const char *p_value, const char *p_arg, ConversionOptions &options)
{
    const char *p_cause = "the rectangle must be WxH+X+Y in pixels, W and H at least 1";
    CropRectangle crop;
    const uint32_t n_max = 0x7FFFFFFF;
    const char *p = ReadNumber(p_value, n_max, crop.n_width);
    if(!p || *p != 'x' || !(p = ReadNumber(p + 1, n_max, crop.n_height)) || *p != '+' ||
       !(p = ReadNumber(p + 1, n_max, crop.n_x)) || *p != '+' || !(p = ReadNumber(p + 1, n_max, crop.n_y)) || *p ||
       crop.n_width < 1 || crop.n_height < 1)
        return p_cause;
    options.fit.crop = crop;
    options.fit.p_crop_switch = p_arg;
    return nullptr;
}

const char *ParseRotate(const char *p_value, const char *p_arg, ConversionOptions &options)
{
    const int n_index = n_WordIndex(p_value, {"90", "180", "270"});
    if(n_index < 0)
        return "the angle must be 90, 180 or 270 (clockwise)";
    const Rotation rotations[] = {Rotation::k90, Rotation::k180, Rotation::k270};
    options.fit.rotation = rotations[n_index];
    options.fit.p_rotate_switch = p_arg;
    return nullptr;
}

const char *ParseFlip(const char *p_value, const char *, ConversionOptions &options)
{
    const int n_index = n_WordIndex(p_value, {"h", "v"});
    if(n_index < 0)
        return "the direction must be h (left-right) or v (top-bottom)";
    options.fit.flip = n_index == 0 ? Flip::kHorizontal : Flip::kVertical;
    return nullptr;
}

// WxH, WxH!, Wx or xH, each size 1..kMaxResizeSide.
const char *ParseResize(const char *p_value, const char *p_arg, ConversionOptions &options)
{
    const char *p_cause = "the geometry must be WxH, WxH!, Wx or xH, each size from 1 to 65535";
    ResizeGeometry geometry = {ResizeFit::kInside, 0, 0};
    const char *p = p_value;
    const bool b_width = *p != 'x';
    if(b_width && !(p = ReadNumber(p, kMaxResizeSide, geometry.n_width)))
        return p_cause;
    if(*p++ != 'x')
        return p_cause;
    const bool b_height = *p != '\0';
    if(b_height && !(p = ReadNumber(p, kMaxResizeSide, geometry.n_height)))
        return p_cause;
    const bool b_exact = *p == '!';
    if(b_exact)
        ++p;
    if(*p || (!b_width && !b_height) || (b_exact && !(b_width && b_height)) ||
       (b_width && geometry.n_width < 1) || (b_height && geometry.n_height < 1))
        return p_cause;
    geometry.fit = b_exact ? ResizeFit::kExact : !b_height ? ResizeFit::kWidth : !b_width ? ResizeFit::kHeight
                                                                                           : ResizeFit::kInside;
    options.fit.resize = geometry;
    options.fit.p_resize_switch = p_arg;
    return nullptr;
}

const char *ParseFilter(const char *p_value, const char *, ConversionOptions &options)
{
    const int n_index = n_WordIndex(p_value, {"lanczos", "box", "bilinear", "nearest"});
    if(n_index < 0)
        return "the filter must be lanczos, box, bilinear or nearest";
    const ResizeFilter filters[] = {ResizeFilter::kLanczos, ResizeFilter::kBox, ResizeFilter::kBilinear,
                                    ResizeFilter::kNearest};
    options.fit.filter = filters[n_index];
    return nullptr;
}

const char *ParseBackground(const char *p_value, const char *p_arg, ConversionOptions &options)
{
    uint32_t n_color = 0;
    int n_digits = 0;
    for(; p_value[n_digits]; ++n_digits) {
        const char c = p_value[n_digits];
        const int n_digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                                : -1;
        if(n_digit < 0 || n_digits == 6)
            return "the colour must be six hexadecimal digits, RRGGBB";
        n_color = n_color << 4 | uint32_t(n_digit);
    }
    if(n_digits != 6)
        return "the colour must be six hexadecimal digits, RRGGBB";
    options.fit.n_background = n_color;
    options.fit.p_background_switch = p_arg;
    return nullptr;
}

const char *ParseThreshold(const char *p_value, const char *, ConversionOptions &options)
{
    int32_t n_threshold = 0;
    const char *p = ReadNumber(p_value, 255, n_threshold);
    if(!p || *p)
        return "the threshold must be a whole number from 0 to 255";
    options.n_threshold = uint8_t(n_threshold);
    return nullptr;
}

const char *ParseDither(const char *p_value, const char *p_arg, ConversionOptions &options)
{
    const int n_index = n_WordIndex(p_value, {"floyd", "atkinson", "bayer"});
    if(n_index < 0)
        return "the dithering must be floyd, atkinson or bayer";
    const Dither modes[] = {Dither::kFloyd, Dither::kAtkinson, Dither::kBayer};
    options.dither = modes[n_index];
    options.p_dither_switch = p_arg;
    return nullptr;
}

struct ValuedSwitch {
    const char *p_name;
    ParseValue parse;
};
const ValuedSwitch kValuedSwitches[] = {
    {"--crop", ParseCrop},       {"--rotate", ParseRotate},         {"--flip", ParseFlip},
    {"--resize", ParseResize},   {"--filter", ParseFilter},         {"--background", ParseBackground},
    {"--threshold", ParseThreshold}, {"--dither", ParseDither},
};

enum class Match { kNone, kApplied, kMalformed };

// Applies the argument when it is a plain or a format switch.
bool b_AppliedPlainSwitch(const char *p_arg, ConversionOptions &options)
{
    for(const PlainSwitch &entry : kPlainSwitches)
        if(!std::strcmp(p_arg, entry.p_name)) {
            entry.apply(options);
            return true;
        }
    for(const FormatSwitch &entry : kFormatSwitches)
        if(!std::strcmp(p_arg, entry.p_name)) {
            options.format = entry.format;
            return true;
        }
    // A bare --dither keeps its first meaning: Floyd-Steinberg for --mono only.
    if(!std::strcmp(p_arg, "--dither")) {
        options.dither = Dither::kMonoFloyd;
        options.p_dither_switch = p_arg;
        return true;
    }
    return false;
}

// Applies the argument when it is a valued switch; prints the error when its
// value is malformed or missing.
Match ApplyValuedSwitch(const char *p_arg, ConversionOptions &options)
{
    for(const ValuedSwitch &entry : kValuedSwitches) {
        const size_t n_name = std::strlen(entry.p_name);
        if(std::strncmp(p_arg, entry.p_name, n_name) != 0)
            continue;
        const char *p_cause = nullptr;
        if(p_arg[n_name] == '=')
            p_cause = entry.parse(p_arg + n_name + 1, p_arg, options);
        else if(p_arg[n_name] == '\0')
            p_cause = "the switch needs a value: name=value";
        else
            continue;
        if(!p_cause)
            return Match::kApplied;
        std::fprintf(stderr, "error: '%s': %s\n", p_arg, p_cause);
        return Match::kMalformed;
    }
    return Match::kNone;
}

} // namespace

bool ParseSwitches(int n_argc, const char *const *p_argv, ConversionOptions &options)
{
    options = ConversionOptions{false, OutputFormat::kRgb, Dither::kNone, nullptr, kDefaultThreshold, false, false,
                                NoPictureFit()};
    bool b_good = true;
    for(int i = 3; i < n_argc && b_good; ++i) {
        const char *p_arg = p_argv[i];
        if(b_AppliedPlainSwitch(p_arg, options))
            continue;
        const Match match = ApplyValuedSwitch(p_arg, options);
        if(match == Match::kNone)
            std::fprintf(stderr, "warning: unknown parameter: '%s' (skipping)\n", p_arg);
        b_good = match != Match::kMalformed;
    }
    return b_good;
}

} // namespace tarnwick
