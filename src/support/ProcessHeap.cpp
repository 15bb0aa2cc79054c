#include "ProcessHeap.h"

#include <malloc.h>

namespace ProcessHeap {

void useOneArena()
{
    ::mallopt(M_ARENA_MAX, 1);
}

} // namespace ProcessHeap
