// Memory for the large arrays of a load: the Image's pixel array, the JPEG
// sample planes and a progressive frame's coefficient store.
//
// A block of kLargeBlockBytes (2 MiB) or more is mapped straight from the
// system (MapPages, platform.h), its start aligned to 2 MiB and its length
// rounded up to a multiple of 2 MiB, and marked for transparent huge pages
// where the system has them (Linux; elsewhere the block simply lives in
// small pages).
// Each page fault then maps 2 MiB at once: a 48 MB pixel array costs a few
// dozen faults instead of some twelve thousand, each of which would map one
// 4 KiB page. Pages never touched are never backed by memory, so a file that
// declares a huge picture but holds little data still costs little. Fresh
// pages read as zero. Smaller blocks come from the heap.
//
// Builds for the sanitizers and the fuzzers (TARNWICK_BLOCKS_ON_HEAP) take
// every block from the heap, so that AddressSanitizer sees the bounds of each
// block and libFuzzer's -malloc_limit_mb its size.
//
// A block is released with FreeBlock and the byte count it was allocated
// with: that count decides where the block came from.
#ifndef TARNWICK_IMAGE_MEMORY_BLOCK_H
#define TARNWICK_IMAGE_MEMORY_BLOCK_H

#include <cstddef>

namespace tarnwick {

constexpr size_t kLargeBlockBytes = size_t(2) << 20;
#if defined(TARNWICK_BLOCKS_ON_HEAP)
constexpr bool kLargeBlocksMapped = false;
#else
constexpr bool kLargeBlocksMapped = true;
#endif

// A block of n_bytes (at least one byte is allocated for 0), contents
// unspecified; nullptr when it cannot be had.
void *AllocateBlock(size_t n_bytes);
// The same, every byte 0.
void *AllocateZeroedBlock(size_t n_bytes);
// Releases a block of AllocateBlock or AllocateZeroedBlock given the same
// n_bytes; accepts nullptr.
void FreeBlock(void *p_block, size_t n_bytes);

// A block of n_bytes is mapped from the system (rather than taken from the
// heap).
inline bool b_IsMappedBlock(size_t n_bytes)
{
    return kLargeBlocksMapped && n_bytes >= kLargeBlockBytes;
}

} // namespace tarnwick

#endif // TARNWICK_IMAGE_MEMORY_BLOCK_H
