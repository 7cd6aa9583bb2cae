// Source text of p_DecompressRLEImage, the function a header can carry to
// unpack its run-length packed array at run time (C++: it allocates with the
// array form of new). One text per item kind, taking and returning that
// kind's type (unsigned __int32, unsigned short, unsigned char; with --stdint
// uint32_t, uint16_t, uint8_t), so the texts of the three kinds are overloads
// that can live in one program. Each ends with a line feed.
#ifndef TARNWICK_HEADER_RLE_DECODER_TEXT_H
#define TARNWICK_HEADER_RLE_DECODER_TEXT_H

#include "item_writer.h"

namespace tarnwick {

const char *p_DecoderText(ItemKind kind, bool b_stdint);

} // namespace tarnwick

#endif // TARNWICK_HEADER_RLE_DECODER_TEXT_H
