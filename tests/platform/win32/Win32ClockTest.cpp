#include "platform/win32/Win32Clock.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(Win32Clock, MidnightLeavesTheTimeOut) {
    const LocalDateTime midnight{2026, 12, 6, 0, 0, 0, 0};
    const LocalDateTime afterMidnight{2026, 12, 6, 0, 0, 0, 1};
    const std::string dateOnly = FormatGeneralDate(midnight);
    const std::string withTime = FormatGeneralDate(afterMidnight);
    EXPECT_NE(dateOnly.find("2026"), std::string::npos) << dateOnly;
    EXPECT_EQ(dateOnly.find(' '), std::string::npos) << dateOnly;
    EXPECT_GT(withTime.size(), dateOnly.size()) << withTime;
    EXPECT_EQ(withTime.rfind(dateOnly + " ", 0), 0u) << withTime;
}

TEST(Win32Clock, DateAndTimeAreSeparatedByOneBlank) {
    const std::string text = FormatGeneralDate({2026, 1, 2, 5, 3, 4, 5});
    EXPECT_NE(text.find("2026"), std::string::npos) << text;
    EXPECT_NE(text.find("04"), std::string::npos) << text;  // the minutes
    EXPECT_NE(text.find(' '), std::string::npos) << text;
}

TEST(Win32Clock, MomentOutsideTheCalendarFallsBackToTheFixedForm) {
    EXPECT_EQ(FormatGeneralDate({2026, 13, 40, 0, 25, 61, 61}), "2026/13/40 25:61:61");
    EXPECT_EQ(FormatGeneralDate({1200, 1, 1, 0, 0, 0, 0}), "1200/01/01 00:00:00");
}

TEST(Win32Clock, FixedFormIsZeroPadded) {
    EXPECT_EQ(FormatFixedDate({2026, 3, 4, 3, 5, 6, 7}), "2026/03/04 05:06:07");
}

TEST(Win32Clock, TimestampIsNeverEmptyAndSeedsDiffer) {
    Win32Clock clock;
    EXPECT_FALSE(clock.LocalTimestamp().empty());
    EXPECT_NE(clock.SeedValue(), clock.SeedValue());
}

}  // namespace
}  // namespace tarnleaf
