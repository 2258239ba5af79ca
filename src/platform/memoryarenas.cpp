#include "platform/memoryarenas.h"

#include <malloc.h>

namespace platform {

void limitMemoryArenas(int count)
{
    mallopt(M_ARENA_MAX, count);
}

} // namespace platform
