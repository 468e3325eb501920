#include <gtest/gtest.h>

#include <cstdint>

#include "platform/clock.h"

namespace {

TEST(Reached, ComparesAcrossTheWrapOfTheCounter) {
    EXPECT_TRUE(platform::Reached(100, 100));
    EXPECT_TRUE(platform::Reached(101, 100));
    EXPECT_FALSE(platform::Reached(99, 100));
    // A deadline just past the wrap is not reached by a reading just before it.
    EXPECT_FALSE(platform::Reached(0xFFFFFFF0u, 0x10u));
    EXPECT_TRUE(platform::Reached(0x10u, 0xFFFFFFF0u));
}

TEST(Deadline, ExpiresExactlyAtItsTimeEvenAcrossTheWrap) {
    platform::VirtualClock clock(0xFFFFFF00u);
    platform::ScopedClock use(clock);
    platform::Deadline deadline(0x200);
    clock.Advance(0x1FF);
    EXPECT_FALSE(deadline.Expired());
    clock.Advance(1);
    EXPECT_TRUE(deadline.Expired());
}

TEST(Deadline, NegativeTimeOutsAreExpiredAtOnce) {
    platform::VirtualClock clock(0x7FFFFFF0u);
    platform::ScopedClock use(clock);
    for (const std::int32_t timeoutMs : {0, -1, -1000, INT32_MIN + 1, INT32_MIN}) {
        EXPECT_TRUE(platform::Deadline(timeoutMs).Expired()) << timeoutMs;
    }
}

TEST(ScopedClock, InstallsAndRestoresTheCurrentClock) {
    platform::Clock* before = &platform::CurrentClock();
    {
        platform::VirtualClock clock(42);
        platform::ScopedClock use(clock);
        EXPECT_EQ(platform::NowMs(), 42u);
        platform::SleepMs(1000);
        EXPECT_EQ(platform::NowMs(), 1042u);
    }
    EXPECT_EQ(&platform::CurrentClock(), before);
}

}  // namespace
