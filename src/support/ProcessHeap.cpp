#include "ProcessHeap.h"

#include <malloc.h>

namespace ProcessHeap {

void configure()
{
    ::mallopt(M_ARENA_MAX, 1);
    // glibc's own starting value; setting it at all is what stops it from moving.
    constexpr int largeBlockBytes = 128 * 1024;
    ::mallopt(M_MMAP_THRESHOLD, largeBlockBytes);
}

} // namespace ProcessHeap
