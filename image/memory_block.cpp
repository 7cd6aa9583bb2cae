#include "memory_block.h"

#include <cstdlib>

#include "platform.h"

namespace tarnwick {
namespace {

// The mapped length of a large block: whole huge pages.
size_t n_MappedLength(size_t n_bytes)
{
    return (n_bytes + kLargeBlockBytes - 1) & ~(kLargeBlockBytes - 1);
}

void *MapLargeBlock(size_t n_bytes)
{
    if(n_bytes > SIZE_MAX - 2 * kLargeBlockBytes)
        return nullptr;
    return MapPages(n_MappedLength(n_bytes), kLargeBlockBytes);
}

} // namespace

void *AllocateBlock(size_t n_bytes)
{
    if(b_IsMappedBlock(n_bytes))
        return MapLargeBlock(n_bytes);
    return std::malloc(n_bytes ? n_bytes : 1);
}

void *AllocateZeroedBlock(size_t n_bytes)
{
    if(b_IsMappedBlock(n_bytes))
        return MapLargeBlock(n_bytes); // fresh pages are zero
    return std::calloc(n_bytes ? n_bytes : 1, 1);
}

void FreeBlock(void *p_block, size_t n_bytes)
{
    if(!p_block)
        return;
    if(b_IsMappedBlock(n_bytes))
        UnmapPages(p_block, n_MappedLength(n_bytes));
    else
        std::free(p_block);
}

} // namespace tarnwick
