// Every test program's run: a filter that selects no test is a failure, so a
// suite whose name changed cannot drop out of a CTest entry unseen; and a
// program not started through tools/wine.sh is refused, since about one
// program start in a thousand would fail there for reasons of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

// Linux's personality flags of this process, asked of Linux itself: under Wine
// a test program is a Linux process whose system call instruction reaches the
// kernel. ADDR_NO_RANDOMIZE is what tools/wine.sh sets.
inline bool StartedWithFixedLayout() {
    constexpr unsigned long kPersonality = 135, kQuery = 0xffffffff;
    constexpr unsigned long kAddrNoRandomize = 0x0040000;
    unsigned long flags;
    asm volatile("syscall" : "=a"(flags) : "a"(kPersonality), "D"(kQuery) : "rcx", "r11", "memory");
    return (flags & kAddrNoRandomize) != 0;
}

inline int RunSelectedTests() {
    if (!StartedWithFixedLayout()) {
        fprintf(stderr, "start the tests through tools/wine.sh, not wine: see why there\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    if (testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        fprintf(stderr, "no test matches the filter \"%s\"\n", GTEST_FLAG_GET(filter).c_str());
        return 1;
    }
    return result;
}
