#include "PosixClock.h"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(PosixClock, TimestampIsLocalYearMonthDayWithTwentyFourHourTimeAndSeedsDiffer) {
    const std::string saved = std::getenv("TZ") != nullptr ? std::getenv("TZ") : "";
    ::setenv("TZ", "JST-9", 1), ::tzset();
    EXPECT_EQ(FormatLocalTimestamp(1796627109), "2026/12/07 16:05:09");  // 07:05:09 in UTC
    (saved.empty() ? ::unsetenv("TZ") : ::setenv("TZ", saved.c_str(), 1)), ::tzset();
    EXPECT_NE(PosixClock().SeedValue(), PosixClock().SeedValue());
}

}  // namespace
}  // namespace tarnleaf
