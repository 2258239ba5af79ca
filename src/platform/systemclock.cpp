#include "platform/systemclock.h"

#include <ctime>

namespace platform {

double systemUptime()
{
    timespec now {};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
        clock_gettime(CLOCK_MONOTONIC, &now);
    }
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace platform
