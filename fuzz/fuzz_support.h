// Puts a fuzz input into a file, for the loaders that open files by path.
#ifndef TARNWICK_FUZZ_SUPPORT_H
#define TARNWICK_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "image.h"

using tarnwick::Image;

// Writes the bytes to a file named after this process with the given
// extension and returns its path, or an empty string on failure.
std::string WriteFuzzInput(const uint8_t *p_data, size_t n_size, const char *p_extension);

// Reads every pixel of a loaded image, so that a pixel array shorter than the
// image's size shows up under the address sanitizer, then frees it. Accepts
// nullptr.
void TouchAndFreeImage(Image *p_image);
// Work bounded by the input: aborts, so that the fuzzer keeps the input like
// a crash, when a loaded Image has more than n_max_pixels pixels, the most
// that the input's size can account for. Accepts nullptr.
void AbortIfLargerThan(const Image *p_image, uint64_t n_max_pixels);

// The frame that fuzz_gif asks every input for after the first: past the
// last frame of any input, so that every frame is drawn and disposed of.
constexpr uint32_t kFuzzGifFramePastTheLast = 1u << 20;

// The command line that the whole-conversion target runs for one input: the
// choice byte (the input's first) has its low two bits pick the image name's
// extension (".tga", ".jpg", ".bin", ".jpeg"), or with its top bit (0x80)
// set (".png", ".gif", ".webp", ".bmp"); bits 2 to 6 add --rle,
// --rle-decoder, --gray, --verbose and an unknown switch. The format byte (the input's last, which
// stays part of the image file) adds output-format switches after those with
// its low three bits and bit 6 (the formats and 1-bit layouts), a set of
// fitting switches (resize with each filter, rotate, flip, crop, background,
// invert, threshold, dithering modes) with bits 3 to 5, and --lvgl --static
// --stdint with bit 7; 0 adds none. Fills p_argv (room for
// kMaxFuzzArguments) and returns the count.
constexpr int kMaxFuzzArguments = 20;
const char *p_FuzzImageExtension(uint8_t n_choice);
int n_FuzzConversionArguments(uint8_t n_choice, uint8_t n_format_choice, const char *p_image_path,
                              const char *p_header_path, const char *p_argv[kMaxFuzzArguments]);

#endif // TARNWICK_FUZZ_SUPPORT_H
