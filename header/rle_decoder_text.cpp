#include "rle_decoder_text.h"

namespace tarnwick {
namespace {

// The texts differ only in the item type ("unsigned __int32", "unsigned
// short" or "unsigned char", or with --stdint "uint32_t", "uint16_t" or
// "uint8_t") and in the position of the flag bit (31, 15 or 7); one macro
// writes all six so that they cannot drift apart.
#define TARNWICK_DECODER_TEXT(TYPE, FLAG_BIT)                                                          \
    TYPE " *p_DecompressRLEImage(const " TYPE " *p_image, int n_size)\n"                                \
    "{\n"                                                                                               \
    "\t" TYPE " *p_buffer;\n"                                                                           \
    "\tif(!(p_buffer = new " TYPE "[n_size]))\n"                                                        \
    "\t\treturn 0;\n"                                                                                   \
    "\n"                                                                                                \
    "\tconst " TYPE " *p_end = p_buffer + n_size;\n"                                                    \
    "\tfor(" TYPE " *p_dest = p_buffer; p_dest != p_end;) {\n"                                          \
    "\t\tbool b_compress = (*p_image >> " FLAG_BIT ") != 0;\n"                                          \
    "\t\tint n_run_length = *p_image & ((1u << " FLAG_BIT ") - 1);\n"                                   \
    "\n"                                                                                                \
    "\t\t++ p_image; // skip run length\n"                                                              \
    "\n"                                                                                                \
    "\t\tif(b_compress) {\n"                                                                            \
    "\t\t\t" TYPE " n_value = *p_image;\n"                                                              \
    "\t\t\t++ p_image;\n"                                                                               \
    "\t\t\t// get color\n"                                                                              \
    "\n"                                                                                                \
    "\t\t\tfor(" TYPE " *p_end2 = p_dest + n_run_length; p_dest != p_end2; ++ p_dest)\n"                \
    "\t\t\t\t*p_dest = n_value;\n"                                                                      \
    "\t\t\t// fill\n"                                                                                   \
    "\t\t} else {\n"                                                                                    \
    "\t\t\tfor(" TYPE " *p_end2 = p_dest + n_run_length;\n"                                             \
    "\t\t\t   p_dest != p_end2; ++ p_dest, ++ p_image)\n"                                               \
    "\t\t\t\t*p_dest = *p_image;\n"                                                                     \
    "\t\t\t// copy data\n"                                                                              \
    "\t\t}\n"                                                                                           \
    "\t}\n"                                                                                             \
    "\t// decompress\n"                                                                                 \
    "\n"                                                                                                \
    "\treturn p_buffer;\n"                                                                              \
    "};\n"

const char kDecoderText32[] = TARNWICK_DECODER_TEXT("unsigned __int32", "31");
const char kDecoderText16[] = TARNWICK_DECODER_TEXT("unsigned short", "15");
const char kDecoderText8[] = TARNWICK_DECODER_TEXT("unsigned char", "7");
const char kDecoderTextUint32[] = TARNWICK_DECODER_TEXT("uint32_t", "31");
const char kDecoderTextUint16[] = TARNWICK_DECODER_TEXT("uint16_t", "15");
const char kDecoderTextUint8[] = TARNWICK_DECODER_TEXT("uint8_t", "7");

#undef TARNWICK_DECODER_TEXT

} // namespace

const char *p_DecoderText(ItemKind kind, bool b_stdint)
{
    switch(kind) {
    case ItemKind::k32: return b_stdint ? kDecoderTextUint32 : kDecoderText32;
    case ItemKind::k16: return b_stdint ? kDecoderTextUint16 : kDecoderText16;
    case ItemKind::k8: return b_stdint ? kDecoderTextUint8 : kDecoderText8;
    }
    return kDecoderText32;
}

} // namespace tarnwick
