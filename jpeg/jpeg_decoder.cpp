#include "jpeg_decoder.h"

// Placeholder until the decoder lands: every JPEG decode fails.
Image *JpegDecoder::Decode(FILE *)
{
    return nullptr;
}
