#include "rle_decoder_text.h"

namespace tarnwick {
namespace {

// The two texts differ only in the item type ("unsigned __int32" or
// "unsigned char") and in the position of the flag bit (31 or 7).
const char kDecoderText32[] =
    "unsigned __int32 *p_DecompressRLEImage(const unsigned __int32 *p_image, int n_size)\n"
    "{\n"
    "\tunsigned __int32 *p_buffer;\n"
    "\tif(!(p_buffer = new unsigned __int32[n_size]))\n"
    "\t\treturn 0;\n"
    "\n"
    "\tconst unsigned __int32 *p_end = p_buffer + n_size;\n"
    "\tfor(unsigned __int32 *p_dest = p_buffer; p_dest != p_end;) {\n"
    "\t\tbool b_compress = (*p_image >> 31) != 0;\n"
    "\t\tint n_run_length = *p_image & ((1u << 31) - 1);\n"
    "\n"
    "\t\t++ p_image; // skip run length\n"
    "\n"
    "\t\tif(b_compress) {\n"
    "\t\t\tunsigned __int32 n_value = *p_image;\n"
    "\t\t\t++ p_image;\n"
    "\t\t\t// get color\n"
    "\n"
    "\t\t\tfor(unsigned __int32 *p_end2 = p_dest + n_run_length; p_dest != p_end2; ++ p_dest)\n"
    "\t\t\t\t*p_dest = n_value;\n"
    "\t\t\t// fill\n"
    "\t\t} else {\n"
    "\t\t\tfor(unsigned __int32 *p_end2 = p_dest + n_run_length;\n"
    "\t\t\t   p_dest != p_end2; ++ p_dest, ++ p_image)\n"
    "\t\t\t\t*p_dest = *p_image;\n"
    "\t\t\t// copy data\n"
    "\t\t}\n"
    "\t}\n"
    "\t// decompress\n"
    "\n"
    "\treturn p_buffer;\n"
    "};\n";

const char kDecoderText8[] =
    "unsigned char *p_DecompressRLEImage(const unsigned char *p_image, int n_size)\n"
    "{\n"
    "\tunsigned char *p_buffer;\n"
    "\tif(!(p_buffer = new unsigned char[n_size]))\n"
    "\t\treturn 0;\n"
    "\n"
    "\tconst unsigned char *p_end = p_buffer + n_size;\n"
    "\tfor(unsigned char *p_dest = p_buffer; p_dest != p_end;) {\n"
    "\t\tbool b_compress = (*p_image >> 7) != 0;\n"
    "\t\tint n_run_length = *p_image & ((1u << 7) - 1);\n"
    "\n"
    "\t\t++ p_image; // skip run length\n"
    "\n"
    "\t\tif(b_compress) {\n"
    "\t\t\tunsigned char n_value = *p_image;\n"
    "\t\t\t++ p_image;\n"
    "\t\t\t// get color\n"
    "\n"
    "\t\t\tfor(unsigned char *p_end2 = p_dest + n_run_length; p_dest != p_end2; ++ p_dest)\n"
    "\t\t\t\t*p_dest = n_value;\n"
    "\t\t\t// fill\n"
    "\t\t} else {\n"
    "\t\t\tfor(unsigned char *p_end2 = p_dest + n_run_length;\n"
    "\t\t\t   p_dest != p_end2; ++ p_dest, ++ p_image)\n"
    "\t\t\t\t*p_dest = *p_image;\n"
    "\t\t\t// copy data\n"
    "\t\t}\n"
    "\t}\n"
    "\t// decompress\n"
    "\n"
    "\treturn p_buffer;\n"
    "};\n";

} // namespace

const char *p_DecoderText(bool b_gray)
{
    return b_gray ? kDecoderText8 : kDecoderText32;
}

} // namespace tarnwick
