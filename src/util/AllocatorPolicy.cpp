#include "util/AllocatorPolicy.h"

#include <malloc.h>

namespace corvid {

void AllocatorPolicy::shareOneArena() {
    mallopt(M_ARENA_MAX, 1);
}

void AllocatorPolicy::returnFreedMemory() {
    malloc_trim(0);
}

}  // namespace corvid
