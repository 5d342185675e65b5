// The profiler's libraries link into a program with its entry point.
#include <gtest/gtest.h>

#include "driver/prof_common.h"

TEST(Smoke, LibraryLinks) { EXPECT_NE(&trelv_main, nullptr); }
