#include "platform/memoryarenas.h"

#include <malloc.h>

namespace platform {

void limitMemoryArenas(int count)
{
    mallopt(M_ARENA_MAX, count);
}

void returnFreedMemory()
{
    malloc_trim(0);
}

} // namespace platform
