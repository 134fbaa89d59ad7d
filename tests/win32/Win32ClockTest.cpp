#include "Win32Clock.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(Win32Clock, GeneralDateIsTheDateAloneAtMidnightElseWithTheTimeOddMomentsFallBack) {
    const std::string dateOnly = FormatGeneralDate({2026, 12, 6, 0, 0, 0, 0});
    const std::string withTime = FormatGeneralDate({2026, 12, 6, 0, 0, 4, 1});
    EXPECT_TRUE(dateOnly.find("2026") != dateOnly.npos && dateOnly.find(' ') == dateOnly.npos);
    EXPECT_EQ(withTime.rfind(dateOnly + " ", 0), 0u) << withTime;
    EXPECT_NE(withTime.find("04"), withTime.npos) << withTime;  // the minutes
    // Outside the calendar: the zero-padded fixed form.
    EXPECT_EQ(FormatGeneralDate({2026, 13, 40, 0, 25, 61, 61}), "2026/13/40 25:61:61");
    EXPECT_EQ(FormatGeneralDate({1200, 1, 1, 0, 0, 0, 0}), "1200/01/01 00:00:00");
    EXPECT_NE(Win32Clock().SeedValue(), Win32Clock().SeedValue());
}

}  // namespace
}  // namespace tarnleaf
