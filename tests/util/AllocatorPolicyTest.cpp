#include "util/AllocatorPolicy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace corvid {
namespace {

// The sanitizer's allocator replaces the one under test.
#if !defined(__SANITIZE_ADDRESS__)
long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

// Between loads the heap keeps what the last recording freed below blocks still in use (its
// top cannot shrink past them): that is what the idle window gives back.
TEST(AllocatorPolicyTest, returnFreedMemory_givesBackFreedPages_whenBlocksAboveThemAreInUse) {
    AllocatorPolicy::shareOneArena();
    constexpr std::size_t kBlock = 100 * 1024;  // served by the heap, not mapped on its own
    std::vector<void*> blocks(64);
    for (void*& block : blocks) {
        block = std::malloc(kBlock);
        std::memset(block, 1, kBlock);
    }
    void* volatile top = std::malloc(kBlock);
    std::memset(top, 1, kBlock);
    for (void* block : blocks) std::free(block);
    const long kept = residentKb();

    AllocatorPolicy::returnFreedMemory();
    // Most of the 6.4 MB freed, whatever else the process does meanwhile.
    EXPECT_LT(residentKb(), kept - 4 * 1024);
    std::free(top);
}
#endif

}  // namespace
}  // namespace corvid
