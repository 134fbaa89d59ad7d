#include "TextConversions.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace tarnleaf {
namespace {

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int64_t kI32Min = INT32_MIN, kI32Max = INT32_MAX, kLo = INT64_MIN, kHi = INT64_MAX;

TEST(LeadingNumber, ReadsTheLongestLeadingNumberAndNeverFails) {
    const std::pair<std::string, double> cases[] = {
        {"12abc", 12}, {"\t1\n2\t", 12}, {"- 3", -3}, {"1\r2", 1}, {"1 e 2", 100}, {"", 0},
        {"inf", 0}, {"0x1F", 0}, {"&h1f", 31}, {"&HFFzz", 255}, {"&H", 0}, {".5", 0.5},
        {"1e-999", 0}, {"&HFFFFFFFF", 4294967295.0}, {"7e+", 7},
        {"0." + std::string(400, '0') + "1e401", 1},
        // Beyond a double's range: the largest finite value with its sign, never infinity.
        {"1e999", kMax}, {"-1e999", -kMax}, {"1e99999999999999999999999", kMax},
        {std::string(5000, '9'), kMax}, {"&H" + std::string(5000, 'F'), kMax},
        {"9." + std::string(400, '9') + "e400", kMax}};
    for (const auto& [text, v] : cases) EXPECT_EQ(LeadingNumber(text), v) << text.substr(0, 40);
}

TEST(RoundHalfEven, RoundsHalvesToEvenAndGivesNoValueOutsideTheRange) {
    const std::pair<double, std::optional<std::int64_t>> rows[] = {
        {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-2.5, -2}, {2.5001, 3}, {-2.6, -3},
        {1e15 + 0.5, 1000000000000000}, {-9223372036854775808.0, kLo}, {9223372036854775808.0, {}},
        {kMax, {}}, {kInf, {}}, {-kInf, {}}, {std::numeric_limits<double>::quiet_NaN(), {}}};
    for (const auto& [value, rounded] : rows)
        EXPECT_EQ(RoundHalfEven(value, kLo, kHi), rounded) << value;
}

struct WholeCase {
    std::string text; std::optional<std::int64_t> value; std::int64_t min = 0, max = 255;
};

// Plain integers are read exactly, to the ends of the 64-bit range and no further.
TEST(WholeNumber, AcceptsExactlyOneNumberInRange) {
    const WholeCase cases[] = {
        {" \t42 \t", 42}, {"-7", -7, kI32Min, kI32Max}, {"2.5", 2}, {"-0.5", 0}, {"1e2", 100},
        {"255.5", {}}, {"256", {}}, {"&hff", 255}, {"&HFFFFFFFF", 4294967295LL, 0, 4294967295LL},
        {"&HFFFFFFFF", {}, kI32Min, kI32Max}, {"&H8000000000000000", {}, kLo, kHi}, {"&H1G", {}},
        {"-&H1", {}, kI32Min, kI32Max}, {"", {}}, {"   ", {}}, {"12abc", {}}, {"1 2", {}},
        {"1,000", {}, 0, 5000}, {"-", {}}, {"1e", {}}, {"inf", {}, kLo, kHi},
        {"9007199254740993", 9007199254740993LL, kLo, kHi}, {"9223372036854775808", {}, kLo, kHi},
        {"-9223372036854775808", kLo, kLo, kHi}, {std::string(5000, '9'), {}, kLo, kHi}};
    for (const auto& c : cases) EXPECT_EQ(WholeNumber(c.text, c.min, c.max), c.value) << c.text;
}

// The texts are 8-bit code page bytes: only ASCII letters fold and only ASCII blanks trim.
TEST(AsciiHelpers, FoldAndTrimOnlyAscii) {
    EXPECT_EQ(ToUpperAscii("abcXYZ09-_\xE4\xFF"), "ABCXYZ09-_\xE4\xFF");
    EXPECT_TRUE(EqualsIgnoreCase("BootFile", "bootfile") && !EqualsIgnoreCase("bf", "bfx") &&
                !EqualsIgnoreCase("@", "`"));
    EXPECT_EQ(TrimSpaces("  \ta b\t  "), "\ta b\t");
    EXPECT_EQ(TrimBlanks(" \t\ra b\n\t "), "\ra b\n");
}

}  // namespace
}  // namespace tarnleaf
