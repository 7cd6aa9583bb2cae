// The blocks of the large arrays: zero-filled when asked, mapped in huge
// pages from 2 MiB on (except in the heap builds of the sanitizers and
// fuzzers), and really given back by FreeBlock.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "memory_block.h"

namespace {

using namespace tarnwick;

// The VmFlags line of /proc/self/smaps for the mapping that starts at p_start.
std::string MappingFlags(const void *p_start)
{
    FILE *p_smaps = std::fopen("/proc/self/smaps", "r");
    if(!p_smaps)
        return "";
    char line[512];
    bool b_in_mapping = false;
    std::string flags;
    while(std::fgets(line, sizeof(line), p_smaps)) {
        unsigned long n_start = 0, n_end = 0;
        if(std::sscanf(line, "%lx-%lx ", &n_start, &n_end) == 2 && std::strchr(line, '-') < std::strchr(line, ' '))
            b_in_mapping = n_start == reinterpret_cast<uintptr_t>(p_start);
        else if(b_in_mapping && std::strncmp(line, "VmFlags:", 8) == 0)
            flags = line;
    }
    std::fclose(p_smaps);
    return flags;
}

bool b_IsMapped(void *p_page, size_t n_bytes)
{
    return msync(p_page, n_bytes, MS_ASYNC) == 0 || errno != ENOMEM;
}

TEST(MemoryBlock, ZeroedBlocksOfEverySizeAndMappedOnesGoBack)
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

        EXPECT_EQ(b_IsMappedBlock(n_bytes), n_bytes >= kLargeBlockBytes && kLargeBlocksMapped);
        if(b_IsMappedBlock(n_bytes)) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p_block) % kLargeBlockBytes, 0u);
            EXPECT_NE(MappingFlags(p_block).find(" hg"), std::string::npos) << "no MADV_HUGEPAGE";
            FreeBlock(p_block, n_bytes);
            EXPECT_FALSE(b_IsMapped(p_block, n_bytes)) << "still mapped after FreeBlock";
        } else {
            FreeBlock(p_block, n_bytes);
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
