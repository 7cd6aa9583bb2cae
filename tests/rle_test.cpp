#include <gtest/gtest.h>

#include <string>

#include "header_text.h"
#include "rle_decoder_text.h"
#include "test_support.h"

namespace {

using namespace tarnwick;
using test::Join;
using test::Pixels;

// The packed items of the pixels, parsed back from the item writer's text,
// which must also be laid out exactly as printf would lay it out.
Pixels PackedItems(const Pixels &pixels, bool b_byte_items)
{
    std::string text = test::PackedItemText(pixels, b_byte_items);
    Pixels items;
    EXPECT_TRUE(test::ParseItemText(text, items));
    EXPECT_EQ(text, test::ReferenceItemText(items, b_byte_items));
    return items;
}

// n gray values counting up from n_first, no two neighbours equal.
Pixels Distinct(size_t n, uint32_t n_first = 0)
{
    Pixels values;
    for(size_t i = 0; i < n; ++i)
        values.push_back((n_first + uint32_t(i)) & 0xff);
    return values;
}

const uint32_t A = 0xff0000ff, B = 0xff00ff00, C = 0xffff0000, D = 0xffffffff;

TEST(RunLengthPacker, WorkedExamplesGiveTheirItemsOnOneLine)
{
    Pixels pixels{0xff000000, 0xff000000, 0xff000000, 0xff000000, 0xff0000ff, 0xff00ff00, D, D, D};
    EXPECT_EQ(test::PackedItemText(pixels, false),
              "0x80000004, 0xff000000, 0x00000002, 0xff0000ff, 0xff00ff00, 0x80000003, 0xffffffff\n");
    EXPECT_EQ(test::PackedItemText({5, 5, 5, 7}, true), "0x83, 0x05, 0x01, 0x07\n");
}

TEST(RunLengthPacker, ShortArrays)
{
    EXPECT_EQ(test::PackedItemText({A}, false), "0x00000001, 0xff0000ff\n");
    EXPECT_EQ(PackedItems({A, A}, false), (Pixels{2, A, A}));
    EXPECT_EQ(PackedItems({A, A, A}, false), (Pixels{0x80000003, A}));
    EXPECT_EQ(PackedItems({A, B, B, B}, false), (Pixels{1, A, 0x80000003, B}));
    EXPECT_EQ(PackedItems({A, B, B, C, C, D}, false), (Pixels{6, A, B, B, C, C, D}));
    EXPECT_EQ(PackedItems({A, B, B}, false), (Pixels{3, A, B, B}));
    EXPECT_EQ(PackedItems({A, A, A, A, B}, false), (Pixels{0x80000004, A, 1, B}));
    EXPECT_EQ(test::PackedItemText({}, false), "");
    EXPECT_EQ(test::PackedItemText({}, true), "");
}

TEST(RunLengthPacker, TripleEndsALiteralOnlyWhenItLiesWithinTheLimit)
{
    // 124 distinct values, then a triple that ends at the 127th pixel: it
    // ends the literal and starts a run.
    Pixels items = PackedItems(Join({Distinct(124), Pixels(3, 200), Distinct(5)}), true);
    ASSERT_GE(items.size(), 128u);
    EXPECT_EQ(items[0], 124u);
    EXPECT_EQ(items[125], 0x83u);
    EXPECT_EQ(items[126], 200u);
    EXPECT_EQ(items[127], 5u);

    // One pixel later the triple would reach past the limit: the literal takes
    // 127 pixels (two of the equal ones) and packing goes on after them.
    items = PackedItems(Join({Distinct(125), Pixels(5, 200)}), true);
    ASSERT_EQ(items.size(), 130u);
    EXPECT_EQ(items[0], 0x7fu);
    EXPECT_EQ(items[126], 200u);
    EXPECT_EQ(items[127], 200u);
    EXPECT_EQ(items[128], 0x83u);
    EXPECT_EQ(items[129], 200u);

    // A literal that reaches 127 ends there although equal pixels follow.
    items = PackedItems(Join({Distinct(127), Pixels(2, 126)}), true);
    EXPECT_EQ(items, Join({{0x7f}, Distinct(127), {2, 126, 126}}));
}

TEST(RunLengthPacker, PacketsShareTheLineCounterWithValues)
{
    // Header and value pairs: the line breaks after every seventh item, in the
    // middle of a packet, and the last line ends with the final value.
    Pixels pixels;
    for(uint32_t n_value = 0; n_value < 5; ++n_value)
        pixels.insert(pixels.end(), 3, n_value);
    EXPECT_EQ(test::PackedItemText(pixels, false),
              "0x80000003, 0x00000000, 0x80000003, 0x00000001, 0x80000003, 0x00000002, 0x80000003,\n"
              "\t0x00000003, 0x80000003, 0x00000004\n");
}

TEST(RunLengthPacker, PackedHeaderHoldsPacketsAndNoDecoderUnlessAsked)
{
    test::HeaderSwitches rle;
    rle.b_rle = true;
    std::string text = test::HeaderText({A, A, A, B}, 2, 2, rle, "p.tga", "p.h");
    EXPECT_NE(text.find("p_p_tga[] = {\n\t0x80000003, 0xff0000ff, 0x00000001, 0xff00ff00\n};\n\n"), std::string::npos);
    EXPECT_EQ(text.find("p_DecompressRLEImage"), std::string::npos);

    EXPECT_NE(test::HeaderText({}, 0, 0, rle, "p.tga", "p.h").find("p_p_tga[] = {\n\t};\n\n"), std::string::npos);

    rle.b_gray = rle.b_rle_decoder = true;
    text = test::HeaderText({5, 5, 5, 7}, 4, 1, rle, "p.tga", "p.h");
    EXPECT_NE(text.find("const unsigned char p_p_tga[] = {\n\t0x83, 0x05, 0x01, 0x07\n};\n\n"), std::string::npos);
    EXPECT_NE(text.find("n_p_tga_height = 1;\n\n" + std::string(p_DecoderText(ItemKind::k8)) + "\n#endif //__P_H_INCLUDED\n"),
              std::string::npos);
}

// The decoding function, rendered here line by line from its indentation
// depth and its code, independently of the writer's text.
std::string Rendered32BitDecoder()
{
    struct Line {
        int n_tabs;
        const char *p_code;
    };
    static const Line kLines[] = {
        {0, "unsigned __int32 *p_DecompressRLEImage(const unsigned __int32 *p_image, int n_size)"},
        {0, "{"},
        {1, "unsigned __int32 *p_buffer;"},
        {1, "if(!(p_buffer = new unsigned __int32[n_size]))"},
        {2, "return 0;"},
        {0, ""},
        {1, "const unsigned __int32 *p_end = p_buffer + n_size;"},
        {1, "for(unsigned __int32 *p_dest = p_buffer; p_dest != p_end;) {"},
        {2, "bool b_compress = (*p_image >> 31) != 0;"},
        {2, "int n_run_length = *p_image & ((1u << 31) - 1);"},
        {0, ""},
        {2, "++ p_image; // skip run length"},
        {0, ""},
        {2, "if(b_compress) {"},
        {3, "unsigned __int32 n_value = *p_image;"},
        {3, "++ p_image;"},
        {3, "// get color"},
        {0, ""},
        {3, "for(unsigned __int32 *p_end2 = p_dest + n_run_length; p_dest != p_end2; ++ p_dest)"},
        {4, "*p_dest = n_value;"},
        {3, "// fill"},
        {2, "} else {"},
        {3, "for(unsigned __int32 *p_end2 = p_dest + n_run_length;"},
        {3, "   p_dest != p_end2; ++ p_dest, ++ p_image)"},
        {4, "*p_dest = *p_image;"},
        {3, "// copy data"},
        {2, "}"},
        {1, "}"},
        {1, "// decompress"},
        {0, ""},
        {1, "return p_buffer;"},
        {0, "};"},
    };
    std::string text;
    for(const Line &line : kLines)
        text += std::string(size_t(line.n_tabs), '\t') + line.p_code + "\n";
    return text;
}

std::string ReplaceAll(std::string text, const std::string &from, const std::string &to)
{
    for(size_t n_at = text.find(from); n_at != std::string::npos; n_at = text.find(from, n_at + to.size()))
        text.replace(n_at, from.size(), to);
    return text;
}

TEST(DecoderText, EveryTextMatchesItsRenderingByteForByte)
{
    std::string expected32 = Rendered32BitDecoder();
    EXPECT_EQ(std::string(p_DecoderText(ItemKind::k32)), expected32);
    // The 8-bit text differs only in the item type and the flag position.
    std::string expected8 = ReplaceAll(ReplaceAll(expected32, "unsigned __int32", "unsigned char"), " 31)", " 7)");
    EXPECT_EQ(std::string(p_DecoderText(ItemKind::k8)), expected8);
    // So does the 16-bit text.
    std::string expected16 = ReplaceAll(ReplaceAll(expected32, "unsigned __int32", "unsigned short"), " 31)", " 15)");
    EXPECT_EQ(std::string(p_DecoderText(ItemKind::k16)), expected16);
}

} // namespace
