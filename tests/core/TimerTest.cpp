// Timer: elapsed time on an injected clock, across the 32-bit wrap.
#include <gtest/gtest.h>

#include "core/Timer.h"

using kvx::core::ManualClock;
using kvx::core::Timer;

TEST(Timer, ElapsedFollowsTheClock) {
    ManualClock clock(1000);
    Timer timer(clock);
    EXPECT_EQ(timer.elapsed(), 0u);
    clock.advance(16);
    EXPECT_EQ(timer.elapsed(), 16u);
    EXPECT_EQ(timer.reset(), 1016u);
    EXPECT_EQ(timer.elapsed(), 0u);
    clock.advance(5);
    EXPECT_EQ(timer.elapsed(), 5u);
}

TEST(Timer, ElapsedAcrossTheWrap) {
    ManualClock clock(0xFFFFFFF0u);
    Timer timer(clock);
    clock.advance(0x20);  // wraps to 0x10
    EXPECT_EQ(clock.now(), 0x10u);
    EXPECT_EQ(timer.elapsed(), 0x20u);
}

TEST(Timer, SystemClockIsMonotonic) {
    Timer timer;
    uint32_t first = timer.elapsed();
    uint32_t second = timer.elapsed();
    // A monotonic clock never runs backwards between two reads.
    EXPECT_LE(first, second);
    EXPECT_LT(second, 1000u);
}
