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
//
// A name chosen on the command line (--name=NAME) replaces the array name; it
// must be a C identifier that fits the same buffer (b_IsHeaderName).
#ifndef TARNWICK_HEADER_NAMES_H
#define TARNWICK_HEADER_NAMES_H

#include <cstddef>

namespace tarnwick {

// Both names fit, with their terminating zero, in a buffer of this size.
constexpr size_t kHeaderNameBufferSize = 256;

void BuildGuardName(const char *p_header_path, char (&a_guard)[kHeaderNameBufferSize]);
void BuildArrayName(const char *p_image_path, char (&a_name)[kHeaderNameBufferSize]);

// A name chosen on the command line holds at most this many characters, as
// many as a name made from a path.
constexpr size_t kMaxChosenNameChars = kHeaderNameBufferSize - 1;

// True when p_name can replace the array name: a C identifier (ASCII letters,
// digits and '_', not starting with a digit, at least one character) of at
// most kMaxChosenNameChars characters.
bool b_IsHeaderName(const char *p_name);

// True when p_text can stand after the arrays' "[]" (--attribute=TEXT): it
// holds no line break ('\n' or '\r'), which would end the declaration's line
// and let the text go on outside it. Anything else is the user's.
bool b_IsAttributeText(const char *p_text);

} // namespace tarnwick

#endif // TARNWICK_HEADER_NAMES_H
