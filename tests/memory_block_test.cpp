// The blocks of the large arrays: every byte usable, zero-filled when asked,
// large ones aligned to 2 MiB, and really given back by FreeBlock.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "memory_block.h"

namespace {

using namespace tarnwick;

// Whether some mapping of this process starts at p_start (Linux's
// /proc/self/maps); false where there is no such file.
bool b_MappingStartsAt(const void *p_start)
{
    FILE *p_maps = std::fopen("/proc/self/maps", "r");
    if(!p_maps)
        return false;
    char line[512];
    bool b_found = false;
    while(!b_found && std::fgets(line, sizeof(line), p_maps)) {
        unsigned long long n_start = 0;
        b_found = std::sscanf(line, "%llx-", &n_start) == 1 && n_start == uintptr_t(p_start);
    }
    std::fclose(p_maps);
    return b_found;
}

TEST(MemoryBlock, ZeroedBlocksOfEverySizeAlignedAndGivenBack)
{
    const size_t kMiB = size_t(1) << 20;
    for(size_t n_bytes : {size_t(0), size_t(1), size_t(4096), 2 * kMiB - 1, 2 * kMiB, 2 * kMiB + 1, 5 * kMiB + 3}) {
        SCOPED_TRACE(n_bytes);
        uint8_t *p_block = static_cast<uint8_t *>(AllocateZeroedBlock(n_bytes));
        ASSERT_NE(p_block, nullptr);
        for(size_t i = 0; i < n_bytes; i += 997)
            ASSERT_EQ(p_block[i], 0) << "byte " << i;
        if(n_bytes) {
            EXPECT_EQ(p_block[n_bytes - 1], 0);
        }
        std::memset(p_block, 0xA5, n_bytes ? n_bytes : 1);
        const bool b_large = n_bytes >= 2 * kMiB && kLargeBlocksMapped;
        if(b_large) {
            EXPECT_EQ(uintptr_t(p_block) % (2 * kMiB), 0u);
        }
        const bool b_listed = b_MappingStartsAt(p_block);
        FreeBlock(p_block, n_bytes);
        if(b_large && b_listed) {
            EXPECT_FALSE(b_MappingStartsAt(p_block)) << "still mapped after FreeBlock";
        }
        void *p_any = AllocateBlock(n_bytes);
        EXPECT_NE(p_any, nullptr);
        FreeBlock(p_any, n_bytes);
    }
    FreeBlock(nullptr, 0);
    FreeBlock(nullptr, 4 * kMiB);
    if(kLargeBlocksMapped) { // (the sanitizers' heap would abort)
        EXPECT_EQ(AllocateZeroedBlock(SIZE_MAX - 100), nullptr);
        EXPECT_EQ(AllocateBlock(SIZE_MAX - 100), nullptr);
    }
}

} // namespace
