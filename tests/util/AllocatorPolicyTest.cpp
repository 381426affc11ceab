#include "util/AllocatorPolicy.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace corvid {
namespace {

// The sanitizer's allocator replaces the one under test.
#if !defined(__SANITIZE_ADDRESS__)
std::size_t mappedOnTheirOwn() {
    return mallinfo2().hblkhd;
}

void* touched(std::size_t bytes) {
    void* block = std::malloc(bytes);
    std::memset(block, 1, bytes);
    return block;
}

// A D1 decoder's picture pools came from the heap once one such buffer had been freed; their
// freed space stayed resident between loads and spread the heap cycle after cycle.
TEST(AllocatorPolicyTest, aLargeBufferFreed_leavesTheNextLargeOnesMappedOnTheirOwn) {
    AllocatorPolicy::shareOneArena();
    void* volatile picture = touched(600 * 1024);
    std::free(picture);  // by default this raises the threshold to 600 kB
    const std::size_t before = mappedOnTheirOwn();
    void* volatile plane = touched(440 * 1024);
    EXPECT_GE(mappedOnTheirOwn(), before + 440 * 1024);
    std::free(plane);
    EXPECT_EQ(mappedOnTheirOwn(), before);  // given back as soon as freed
}
#endif

}  // namespace
}  // namespace corvid
