#include "util/AllocatorPolicy.h"

#include <malloc.h>

namespace corvid {

namespace {

// Half the allocator's own starting values (128 kB): with a sound server, pieces of 64 to
// 128 kB (the decoders' chroma planes, sound buffers, 64 kB reads) kept the heap growing
// by 1-2 MB over 500 cycles. Setting them keeps them from rising.
constexpr int kMapOnItsOwnFrom = 64 * 1024;
constexpr int kReturnFreeTopPast = 64 * 1024;

}  // namespace

void AllocatorPolicy::shareOneArena() {
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, kMapOnItsOwnFrom);
    mallopt(M_TRIM_THRESHOLD, kReturnFreeTopPast);
}

}  // namespace corvid
