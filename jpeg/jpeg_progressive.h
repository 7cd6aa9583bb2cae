// Progressive JPEG (SOF2): the coefficient store, the four kinds of
// progressive scan, and the inverse DCT of every block at the end of the
// image.
//
// A progressive frame sends each block's quantised coefficients in pieces:
// spectral selection splits the 64 zigzag positions into bands (the DC
// coefficient alone, or a run Ss..Se of AC positions), and successive
// approximation splits the bits of each coefficient: a first scan of a band
// sends the values shifted right by Al, each refinement scan one bit more
// (ITU-T T.81, Annex G). So the coefficients of every block are kept, as
// 16-bit integers, until the end of the image; then they are dequantised and
// go through the same float inverse DCT (StoreBlock), upsampling and colour
// conversion as a sequential frame's, so that a progressive file and its
// sequential twin holding the same coefficients decode to the same pixels.
#ifndef TARNWICK_JPEG_PROGRESSIVE_H
#define TARNWICK_JPEG_PROGRESSIVE_H

#include <cstddef>
#include <cstdint>

#include "input_buffer.h"
#include "jpeg_decoder.h"
#include "jpeg_scan.h"

namespace tarnwick {

// The one allocation of a frame's coefficients: n_blocks blocks of 64
// zero-filled 16-bit values (at least one byte for none), or nullptr. A
// large store is a block of fresh zero pages (memory_block.h), so the blocks
// that no scan reaches cost no memory.
int16_t *AllocateCoefficientStore(size_t n_blocks);
// Releases a store of AllocateCoefficientStore of n_blocks; accepts nullptr.
void FreeCoefficientStore(int16_t *p_store, size_t n_blocks);
// Releases the decoder's store, if any, and clears its pointers into it.
void ReleaseCoefficients(JpegDecoder &decoder);

// For a progressive frame whose planes are allocated: the coefficient store
// (a block for each 8x8 block of every plane), each component's pointer into
// it, and the successive-approximation state of a frame that no scan has
// touched. False, with kOutOfMemory, when the store cannot be allocated.
bool AllocateCoefficients(JpegDecoder &decoder);

// The scan header follows the progression of ITU-T T.81 G.1.1.1: a DC scan
// (Ss = Se = 0) of any components, or an AC scan (1 <= Ss <= Se <= 63) of
// one component whose DC coefficients are complete; Al at most 13; a first
// scan (Ah = 0) of positions no scan has coded yet, or a refinement whose Ah
// is the Al of the last scan of every one of its positions and whose Al is
// Ah - 1.
bool b_IsValidProgressiveScan(const JpegDecoder &decoder, const ScanHeader &header);

// Decodes every MCU of a progressive scan of one or more components into the
// coefficient store, with restart markers after every n_restart_interval
// MCUs; false on corrupt data or when the input ended.
bool DecodeProgressiveScan(JpegDecoder &decoder, const ScanHeader &header, InputBuffer &input);

// At the end of the image: dequantises the coefficients of every block of
// every plane and stores their inverse DCT there.
void TransformCoefficients(JpegDecoder &decoder);

} // namespace tarnwick

#endif // TARNWICK_JPEG_PROGRESSIVE_H
