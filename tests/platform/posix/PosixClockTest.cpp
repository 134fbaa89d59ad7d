#include "platform/posix/PosixClock.h"

#include <cstdlib>
#include <ctime>
#include <set>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

// Pins the local time zone for the duration of a test.
class PosixClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) {
            savedTz_ = tz;
        }
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
    }
    void TearDown() override {
        if (savedTz_) {
            ::setenv("TZ", savedTz_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> savedTz_;
};

TEST_F(PosixClockTest, TimestampIsYearMonthDayWithTwentyFourHourTime) {
    // 2026-12-06 21:05:09 UTC
    EXPECT_EQ(FormatLocalTimestamp(1796591109), "2026/12/06 21:05:09");
}

TEST_F(PosixClockTest, MidnightKeepsItsTimePart) {
    EXPECT_EQ(FormatLocalTimestamp(1796515200), "2026/12/06 00:00:00");
}

TEST_F(PosixClockTest, TimestampFollowsTheLocalTimeZone) {
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
    EXPECT_EQ(FormatLocalTimestamp(1796591109), "2026/12/07 06:05:09");
}

TEST_F(PosixClockTest, SeedDiffersFromCallToCall) {
    PosixClock clock;
    std::set<std::uint64_t> seeds;
    for (int i = 0; i < 1000; ++i) {
        seeds.insert(clock.SeedValue());
    }
    EXPECT_EQ(seeds.size(), 1000u);
}

}  // namespace
}  // namespace tarnleaf
