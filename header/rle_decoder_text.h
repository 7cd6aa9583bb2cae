// Source text of p_DecompressRLEImage, the function a header can carry to
// unpack its run-length packed array at run time (C++: it allocates with the
// array form of new). One text per item kind; each ends with a line feed.
#ifndef TARNWICK_HEADER_RLE_DECODER_TEXT_H
#define TARNWICK_HEADER_RLE_DECODER_TEXT_H

namespace tarnwick {

// The text for 8-bit items when b_gray, for 32-bit items otherwise.
const char *p_DecoderText(bool b_gray);

} // namespace tarnwick

#endif // TARNWICK_HEADER_RLE_DECODER_TEXT_H
