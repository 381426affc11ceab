#include "platform/util/AllocatorPolicy.h"

#include <malloc.h>

namespace corvid {

namespace {

// The allocator's own starting values; setting them keeps them from rising.
constexpr int kMapOnItsOwnFrom = 128 * 1024;
constexpr int kReturnFreeTopPast = 128 * 1024;

}  // namespace

void AllocatorPolicy::shareOneArena() {
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, kMapOnItsOwnFrom);
    mallopt(M_TRIM_THRESHOLD, kReturnFreeTopPast);
}

}  // namespace corvid
