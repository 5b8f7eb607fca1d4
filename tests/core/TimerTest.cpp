// Timer: elapsed time on an injected clock, across the 32-bit wrap.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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

TEST(Timer, SystemClockCountsRealMilliseconds) {
    Timer timer;
    const uint32_t first = timer.elapsed();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const uint32_t second = timer.elapsed();
    // At least the time slept has passed, in milliseconds (not seconds or
    // microseconds), and a reset starts again from about 0.
    EXPECT_GE(second - first, 30u);
    EXPECT_LT(second, 5000u);
    timer.reset();
    EXPECT_LT(timer.elapsed(), second);
}
