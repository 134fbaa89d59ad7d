#include "TextConversions.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace tarnleaf {
namespace {

constexpr double kMax = std::numeric_limits<double>::max();
constexpr std::int64_t kI32Min = INT32_MIN;
constexpr std::int64_t kI32Max = INT32_MAX;

TEST(LeadingNumber, ReadsTheLongestLeadingNumberAndNeverFails) {
    const std::pair<std::string, double> cases[] = {
        {"12abc", 12}, {"1 2", 12}, {"- 3", -3}, {"\t1\n2\t", 12}, {"1\r2", 1}, {"1 e 2", 100},
        {"abc", 0}, {"", 0}, {"--1", 0}, {"inf", 0}, {"nan", 0}, {"0x1F", 0}, {"&h1f", 31},
        {"&HFFzz", 255}, {"&H", 0}, {"&HFFFFFFFF", 4294967295.0}, {"-3.5", -3.5}, {".5", 0.5},
        {"1.2.3", 1.2}, {"1,5", 1}, {"2.5E2", 250}, {"7e+", 7}, {"1e-999", 0},
        {"0." + std::string(400, '0') + "1e401", 1},
        {"1.7976931348623157e308", kMax},
        // Beyond a double's range: the largest finite value with its sign, never infinity.
        {"1e999", kMax}, {"-1e999", -kMax}, {"1e99999999999999999999999", kMax},
        {std::string(5000, '9'), kMax}, {"&H" + std::string(5000, 'F'), kMax},
        {"9." + std::string(400, '9') + "e400", kMax}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(LeadingNumber(text), value) << text.substr(0, 40);
    }
}

TEST(RoundHalfEven, RoundsToNearestWithHalvesToEven) {
    const std::pair<double, std::int64_t> cases[] = {
        {2.5, 2}, {3.5, 4}, {0.5, 0}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3},
        {-2.6, -3}, {1e15 + 0.5, 1000000000000000}, {-9223372036854775808.0, INT64_MIN}};
    for (const auto& [value, rounded] : cases) {
        EXPECT_EQ(RoundHalfEven(value, INT64_MIN, INT64_MAX), rounded) << value;
    }
}

TEST(RoundHalfEven, GivesNoValueOutsideTheRangeOrForNonFiniteInput) {
    EXPECT_EQ(RoundHalfEven(255.4, 0, 255), 255);
    EXPECT_FALSE(RoundHalfEven(255.5, 0, 255));
    EXPECT_EQ(RoundHalfEven(-0.5, 0, 255), 0);
    EXPECT_FALSE(RoundHalfEven(-0.6, 0, 255));
    const double inf = std::numeric_limits<double>::infinity();
    for (double value : {inf, -inf, std::numeric_limits<double>::quiet_NaN(),
                         9223372036854775808.0, 1e300, kMax}) {
        EXPECT_FALSE(RoundHalfEven(value, INT64_MIN, INT64_MAX)) << value;
    }
}

struct WholeCase {
    std::string text;
    std::optional<std::int64_t> value;
    std::int64_t min = 0;
    std::int64_t max = 255;
};

TEST(WholeNumber, AcceptsExactlyOneNumberInRange) {
    const WholeCase cases[] = {
        {" \t42 \t", 42}, {"-7", -7, kI32Min, kI32Max}, {"2.5", 2}, {"1e2", 100}, {"&hff", 255},
        {"-0.5", 0}, {"&HFFFFFFFF", 4294967295LL, 0, 4294967295LL},
        {"&HFFFFFFFF", {}, kI32Min, kI32Max}, {"&H8000000000000000", {}, INT64_MIN, INT64_MAX},
        {"&H10000000000000000", {}, INT64_MIN, INT64_MAX}, {"&H1G", {}},
        {"-&H1", {}, kI32Min, kI32Max}, {"", {}}, {"   ", {}}, {"12abc", {}}, {"1 2", {}},
        {"1,000", {}, 0, 5000}, {"1e", {}}, {"-", {}}, {"256", {}}, {"-1", {}, 0, 65535},
        {"255.5", {}}, {"-2147483648", kI32Min, kI32Min, kI32Max},
        {"2147483648", {}, kI32Min, kI32Max},
        {"9007199254740993", 9007199254740993LL, INT64_MIN, INT64_MAX},
        {"-9223372036854775808", INT64_MIN, INT64_MIN, INT64_MAX},
        {"9223372036854775808", {}, INT64_MIN, INT64_MAX},
        {std::string(5000, '9'), {}, INT64_MIN, INT64_MAX}, {"1e99999", {}, INT64_MIN, INT64_MAX},
        {"inf", {}, INT64_MIN, INT64_MAX}, {"nan", {}, INT64_MIN, INT64_MAX}};
    for (const auto& c : cases) {
        EXPECT_EQ(WholeNumber(c.text, c.min, c.max), c.value) << c.text.substr(0, 40);
    }
}

TEST(ConvertTextToByte, StoresTheRoundedLeadingNumberOrFails) {
    const std::pair<std::string, std::optional<std::uint8_t>> cases[] = {
        {"", 0}, {"12abc", 12}, {"2.5", 2}, {"255.4", 255}, {"-0.4", 0}, {"&HFF", 255},
        {"255.5", {}}, {"-1", {}}, {"&H100", {}}, {"1e999", {}}};
    for (const auto& [text, value] : cases) EXPECT_EQ(ConvertTextToByte(text), value) << text;
}

// The texts are 8-bit code page bytes: only ASCII letters fold and only ASCII blanks trim.
TEST(AsciiHelpers, CaseFoldingTouchesOnlyAsciiLetters) {
    EXPECT_EQ(ToUpperAscii("abcXYZ09-_\xE4\xFF"), "ABCXYZ09-_\xE4\xFF");
    EXPECT_TRUE(EqualsIgnoreCase("BootFile", "bootfile"));
    EXPECT_FALSE(EqualsIgnoreCase("bf", "bfx"));
    EXPECT_FALSE(EqualsIgnoreCase("\xE4", "\xC4"));
    EXPECT_FALSE(EqualsIgnoreCase("@", "`"));
}

TEST(AsciiHelpers, TrimSpacesTakesSpacesAndTrimBlanksAlsoTabs) {
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
    EXPECT_EQ(TrimBlanks(" \ta b\t "), "a b");
    EXPECT_EQ(TrimBlanks("\r\na\r\n"), "\r\na\r\n");
}

}  // namespace
}  // namespace tarnleaf
