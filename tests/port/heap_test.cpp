// The heap between frames and after loading: freed memory stays in the process, ready for the
// next draw, until the program trims its working set.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>
#include <windows.h>

#include "win32/heap.h"

namespace {

size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

// 64 MiB in blocks over glibc's own threshold for mapping a block apart, as the GL driver's.
constexpr size_t kBlock = 256 << 10;
constexpr size_t kBlocks = 256;
constexpr size_t kTotal = kBlock * kBlocks;

} // namespace

TEST(Heap, FreedBlocksStayResidentUntilTheWorkingSetIsTrimmed) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own heap";
#endif
    port::win32::keepFreedMemory();
    const size_t before = residentBytes();
    std::vector<char*> blocks;
    for (size_t i = 0; i < kBlocks; ++i) {
        char* block = static_cast<char*>(std::malloc(kBlock));
        ASSERT_NE(block, nullptr);
        std::memset(block, 1, kBlock);
        asm volatile("" : : "r"(block) : "memory"); // the pages are touched, not optimised away
        blocks.push_back(block);
    }
    for (char* block : blocks) {
        std::free(block);
    }
    const size_t kept = residentBytes();
    EXPECT_GT(kept, before + kTotal / 2) << "freed blocks went back to the system at once";

    EXPECT_TRUE(SetProcessWorkingSetSize(GetCurrentProcess(), SIZE_T(-1), SIZE_T(-1)));
    EXPECT_LT(residentBytes(), kept - kTotal / 2) << "the trim kept the freed blocks";
}

TEST(Heap, OnlyTheCallingProcessIsTrimmed) {
    EXPECT_FALSE(SetProcessWorkingSetSize(nullptr, SIZE_T(-1), SIZE_T(-1)));
    // Sizes other than "empty the set" are accepted and change nothing.
    EXPECT_TRUE(SetProcessWorkingSetSize(GetCurrentProcess(), 1 << 20, 64 << 20));
}
