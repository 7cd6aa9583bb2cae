// The switches that shape the header's text: the packets and the unpacking
// function, <stdint.h> types, static definitions, an attribute on the
// arrays, a chosen name, an LVGL 9 image descriptor.
#ifndef TARNWICK_HEADER_OPTIONS_H
#define TARNWICK_HEADER_OPTIONS_H

namespace tarnwick {

struct HeaderOptions {
    bool b_rle;              // --rle: the array as run-length packets
    bool b_rle_decoder;      // --rle-decoder: append p_DecompressRLEImage
    bool b_stdint;           // --stdint: #include <stdint.h>, items uint32_t, uint16_t, uint8_t
    bool b_static;           // --static: "static" before every definition ("static inline" for the function)
    bool b_lvgl;             // --lvgl: a byte array and an LVGL 9 descriptor; no packets, no function
    const char *p_attribute; // --attribute=TEXT: written between "[]" and " = {"; nullptr or "" for none
    const char *p_name;      // --name=NAME: replaces the name made from the image path; nullptr for that name
};

// None of the switches: today's header.
constexpr HeaderOptions kPlainHeaderOptions = {false, false, false, false, false, nullptr, nullptr};

} // namespace tarnwick

#endif // TARNWICK_HEADER_OPTIONS_H
