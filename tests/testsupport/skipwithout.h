#pragma once

#include <gtest/gtest.h>

// Skips the test, with the reason, when a loop volume or share of the test
// could not be mounted (no root, no loop devices, no FUSE).
#define SKIP_WITHOUT(mounted)                                                                                          \
    if (!(mounted).isMounted()) {                                                                                      \
        GTEST_SKIP() << (mounted).skipReason().toStdString();                                                         \
    }
