// Helpers of the header writer's tests: writing headers from in-memory pixels,
// taking the item writer's text apart again, a reference rendering of the
// items with printf, and an independent unpacker of run-length packets.
#ifndef TARNWICK_TESTS_HEADER_TEXT_H
#define TARNWICK_TESTS_HEADER_TEXT_H

#include <cstdint>
#include <string>
#include <vector>

#include "header_writer.h"
#include "item_writer.h"

namespace test {

using Pixels = std::vector<uint32_t>;

struct HeaderSwitches {
    bool b_gray = false;
    bool b_rle = false;
    bool b_rle_decoder = false;
};

// Writes the header of a width x height image holding the pixels (row by row)
// to p_header_path; returns WriteImageHeader's result.
bool WriteHeader(const Pixels &pixels, int n_width, int n_height, const HeaderSwitches &switches,
                 const std::string &image_path, const std::string &header_path);

// The header text of a width x height image, written inside a fresh folder
// with the header path exactly as given (relative to that folder).
std::string HeaderText(const Pixels &pixels, int n_width, int n_height, const HeaderSwitches &switches,
                       const std::string &image_path, const std::string &header_path);

// The same with any output format and header options; the pixels must be the
// format's items already.
bool WriteHeader(const Pixels &pixels, int n_width, int n_height, tarnwick::OutputFormat format,
                 const tarnwick::HeaderOptions &options, const std::string &image_path, const std::string &header_path);
std::string HeaderText(const Pixels &pixels, int n_width, int n_height, tarnwick::OutputFormat format,
                       const tarnwick::HeaderOptions &options, const std::string &image_path,
                       const std::string &header_path);

// Only the items as the item writer prints them: every pixel, or the packets.
// b_byte_items picks the 8-bit kind, else the 32-bit one.
std::string PlainItemText(const Pixels &pixels, bool b_byte_items);
std::string PackedItemText(const Pixels &pixels, bool b_byte_items);
std::string PlainItemText(const Pixels &pixels, tarnwick::ItemKind kind);
std::string PackedItemText(const Pixels &pixels, tarnwick::ItemKind kind);
// The same written in pieces, as rows come while a picture loads: the
// pixels up to each of piece_ends (growing; the last is pixels.size()).
std::string PieceByPieceItemText(const Pixels &pixels, tarnwick::ItemKind kind, bool b_packed,
                                 const std::vector<size_t> &piece_ends);
// The same for 8-bit items taken from bytes (WriteByteItems,
// WriteRunLengthBytePackets).
std::string PlainByteItemText(const std::vector<uint8_t> &bytes);
std::string PackedByteItemText(const std::vector<uint8_t> &bytes);

// printf's rendering of an item sequence: "0x%08x" / "0x%04x" / "0x%02x",
// each with "\n" after the last item, ",\n\t" after every 7th (10th, 14th)
// item, ", " else.
std::string ReferenceItemText(const Pixels &items, bool b_byte_items);
std::string ReferenceItemText(const Pixels &items, tarnwick::ItemKind kind);

// The items of the item writer's output; false when an item is not "0x" and
// hexadecimal digits.
bool ParseItemText(const std::string &item_text, Pixels &items);

// The names the header derives from a path: the include guard and the array
// name (without "p_").
std::string GuardName(const std::string &header_path);
std::string ArrayName(const std::string &image_path);

// Unpacks run-length packets of the given kind into n_pixel_count pixels.
// False when a count is 0, a packet runs past the pixel count or past the
// items, or items are left over.
bool UnpackPackets(const Pixels &items, bool b_byte_items, size_t n_pixel_count, Pixels &pixels);
bool UnpackPackets(const Pixels &items, tarnwick::ItemKind kind, size_t n_pixel_count, Pixels &pixels);

} // namespace test

#endif // TARNWICK_TESTS_HEADER_TEXT_H
