#include "memory_block.h"

#include <cstdint>
#include <cstdlib>

#if !defined(TARNWICK_BLOCKS_ON_HEAP)
#include <sys/mman.h>
#endif

namespace tarnwick {
namespace {

#if !defined(TARNWICK_BLOCKS_ON_HEAP)
// The mapped length of a large block: whole huge pages.
size_t n_MappedLength(size_t n_bytes)
{
    return (n_bytes + kLargeBlockBytes - 1) & ~(kLargeBlockBytes - 1);
}

// Maps a block of n_bytes, rounded up to whole huge pages, at an address
// aligned to kLargeBlockBytes: one more huge page is mapped than needed, and
// the unaligned ends are given back.
void *MapLargeBlock(size_t n_bytes)
{
    if(n_bytes > SIZE_MAX - 2 * kLargeBlockBytes)
        return nullptr;
    const size_t n_length = n_MappedLength(n_bytes);
    const size_t n_mapped = n_length + kLargeBlockBytes;
    void *p_mapping = mmap(nullptr, n_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if(p_mapping == MAP_FAILED)
        return nullptr;
    const uintptr_t n_start = reinterpret_cast<uintptr_t>(p_mapping);
    const uintptr_t n_aligned = (n_start + kLargeBlockBytes - 1) & ~uintptr_t(kLargeBlockBytes - 1);
    if(n_aligned > n_start)
        munmap(p_mapping, n_aligned - n_start);
    const uintptr_t n_end = n_aligned + n_length;
    if(n_start + n_mapped > n_end)
        munmap(reinterpret_cast<void *>(n_end), n_start + n_mapped - n_end);
    void *p_block = reinterpret_cast<void *>(n_aligned);
    // Without transparent huge pages the block still works, in small pages.
    madvise(p_block, n_length, MADV_HUGEPAGE);
    return p_block;
}
#endif

} // namespace

void *AllocateBlock(size_t n_bytes)
{
#if !defined(TARNWICK_BLOCKS_ON_HEAP)
    if(b_IsMappedBlock(n_bytes))
        return MapLargeBlock(n_bytes);
#endif
    return std::malloc(n_bytes ? n_bytes : 1);
}

void *AllocateZeroedBlock(size_t n_bytes)
{
#if !defined(TARNWICK_BLOCKS_ON_HEAP)
    if(b_IsMappedBlock(n_bytes))
        return MapLargeBlock(n_bytes); // fresh pages are zero
#endif
    return std::calloc(n_bytes ? n_bytes : 1, 1);
}

void FreeBlock(void *p_block, size_t n_bytes)
{
    if(!p_block)
        return;
#if !defined(TARNWICK_BLOCKS_ON_HEAP)
    if(b_IsMappedBlock(n_bytes)) {
        munmap(p_block, n_MappedLength(n_bytes));
        return;
    }
#else
    (void)n_bytes;
#endif
    std::free(p_block);
}

} // namespace tarnwick
