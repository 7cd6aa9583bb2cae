// Names that the header derives from the two paths it is given.
//
// Guard name: "__", one character for each of the first 238 characters of the
// header path, then "_INCLUDED" (at most 249 characters). Letters become upper
// case, digits stay, every other byte becomes '_'; runs are not collapsed.
//
// Array name: from at most the first 256 characters of the image path, letters
// in lower case, digits as they are, and each maximal run of other bytes as a
// single '_'; at most 255 characters. The header uses it as "p_<name>",
// "n_<name>_width" and "n_<name>_height".
//
// Only plain ASCII letters and digits count as such: bytes 0x80 and above are
// "other" whatever the locale says.
#ifndef TARNWICK_HEADER_NAMES_H
#define TARNWICK_HEADER_NAMES_H

#include <cstddef>

namespace tarnwick {

// Both names fit, with their terminating zero, in a buffer of this size.
constexpr size_t kHeaderNameBufferSize = 256;

void BuildGuardName(const char *p_header_path, char (&a_guard)[kHeaderNameBufferSize]);
void BuildArrayName(const char *p_image_path, char (&a_name)[kHeaderNameBufferSize]);

} // namespace tarnwick

#endif // TARNWICK_HEADER_NAMES_H
