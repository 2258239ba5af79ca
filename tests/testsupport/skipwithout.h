#pragma once

#include <gtest/gtest.h>

// Skips the test with the reason when its loop volume or share could not be mounted.
#define SKIP_WITHOUT(mounted)                                                                                          \
    if (!(mounted).isMounted()) {                                                                                      \
        GTEST_SKIP() << (mounted).skipReason().toStdString();                                                         \
    }
