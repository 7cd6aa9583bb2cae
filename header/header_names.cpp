#include "header_names.h"

#include <cstring>

namespace tarnwick {
namespace {

// The guard takes this many characters of the header path: with "__" and
// "_INCLUDED" around them the guard stays at 249 characters.
constexpr size_t kGuardPathChars = 238;
// The array name looks at this many characters of the image path and keeps
// at most one character fewer, so that it fits its buffer with the zero.
constexpr size_t kArrayPathChars = 256;
constexpr size_t kArrayNameChars = kHeaderNameBufferSize - 1;

bool b_IsAsciiLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool b_IsAsciiDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

char UpperAscii(unsigned char c)
{
    return char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

char LowerAscii(unsigned char c)
{
    return char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

} // namespace

void BuildGuardName(const char *p_header_path, char (&a_guard)[kHeaderNameBufferSize])
{
    static const char kPrefix[] = "__";
    static const char kSuffix[] = "_INCLUDED";
    static_assert(sizeof(kPrefix) - 1 + kGuardPathChars + sizeof(kSuffix) <= kHeaderNameBufferSize,
                  "the guard name must fit its buffer");

    size_t n_length = 0;
    std::memcpy(a_guard, kPrefix, sizeof(kPrefix) - 1);
    n_length += sizeof(kPrefix) - 1;
    for(size_t i = 0; i < kGuardPathChars && p_header_path[i]; ++i) {
        unsigned char c = (unsigned char)p_header_path[i];
        a_guard[n_length++] = b_IsAsciiLetter(c) ? UpperAscii(c) : b_IsAsciiDigit(c) ? char(c) : '_';
    }
    std::memcpy(a_guard + n_length, kSuffix, sizeof(kSuffix)); // with its zero
}

void BuildArrayName(const char *p_image_path, char (&a_name)[kHeaderNameBufferSize])
{
    size_t n_length = 0;
    for(size_t i = 0; i < kArrayPathChars && p_image_path[i] && n_length < kArrayNameChars; ++i) {
        unsigned char c = (unsigned char)p_image_path[i];
        if(b_IsAsciiLetter(c))
            a_name[n_length++] = LowerAscii(c);
        else if(b_IsAsciiDigit(c))
            a_name[n_length++] = char(c);
        else if(n_length == 0 || a_name[n_length - 1] != '_')
            a_name[n_length++] = '_';
    }
    a_name[n_length] = 0;
}

bool b_IsHeaderName(const char *p_name)
{
    size_t n_length = 0;
    for(; p_name[n_length]; ++n_length) {
        const unsigned char c = (unsigned char)p_name[n_length];
        const bool b_allowed = b_IsAsciiLetter(c) || c == '_' || (n_length > 0 && b_IsAsciiDigit(c));
        if(!b_allowed || n_length == kMaxChosenNameChars)
            return false;
    }
    return n_length > 0;
}

bool b_IsAttributeText(const char *p_text)
{
    for(; *p_text; ++p_text)
        if(*p_text == '\n' || *p_text == '\r')
            return false;
    return true;
}

} // namespace tarnwick
