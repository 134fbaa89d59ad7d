#include "PosixClock.h"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(PosixClock, TimestampIsLocalYearMonthDayWithTwentyFourHourTime) {
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    for (const auto& [tz, when, text] :
         {std::tuple{"UTC0", 1796591109, "2026/12/06 21:05:09"},
          std::tuple{"UTC0", 1796515200, "2026/12/06 00:00:00"},
          std::tuple{"JST-9", 1796591109, "2026/12/07 06:05:09"}}) {
        ::setenv("TZ", tz, 1);
        ::tzset();
        EXPECT_EQ(FormatLocalTimestamp(when), text) << tz << ' ' << when;
    }
    old != nullptr ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
}  // namespace tarnleaf
