#include "OptionLookup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnleaf {
namespace {

struct LookupCase {
    std::string name;
    std::vector<std::uint8_t> afterCookie;  // the area is the cookie and these bytes,
    std::size_t size;                       // zero-padded (or cut) to this size
    std::uint16_t code;
    std::optional<std::uint32_t> expected;
};

class FindOptionValueTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FindOptionValueTest, GivesTheValueOfTheFirstMatchingOption) {
    const LookupCase& c = GetParam();
    std::vector<std::uint8_t> area{99, 130, 83, 99};
    area.insert(area.end(), c.afterCookie.begin(), c.afterCookie.end());
    area.resize(c.size, 0);
    EXPECT_EQ(FindOptionValue(c.code, area), c.expected);
}

constexpr auto kNone = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    OptionAreas, FindOptionValueTest,
    ::testing::ValuesIn(std::vector<LookupCase>{
        {"SixBytesHoldNoOption", {53, 1}, 6, 53, kNone},
        {"SevenBytesHoldALengthOneOption", {53, 1, 3}, 7, 53, 3u},
        {"OptionBehindOthersIsFound", {1, 4, 255, 255, 255, 0, 53, 1, 3, 255}, 64, 53, 3u},
        {"FirstOfTwoCounts", {53, 1, 1, 53, 1, 3, 255}, 64, 53, 1u},
        {"EndHidesWhatFollows", {255, 53, 1, 1}, 64, 53, kNone},
        {"LengthTwoUnsignedHighByteFirst", {57, 2, 0xFF, 0xFE, 255}, 64, 57, 65534u},
        {"LengthFourUnsignedHighByteFirst", {51, 4, 0x80, 0, 0x51, 0x80}, 64, 51, 0x80005180u},
        {"LengthThreeHasNoValue", {53, 3, 1, 2, 3, 255}, 64, 53, kNone},
        // A 0 is a code with a length, not padding: the walk jumps 53 + 2 bytes on.
        {"ZeroCodeIsWalkedOverWithItsLength", {0, 53, 1, 1, 255}, 64, 53, kNone},
        {"ListRunningOffTheArea", {1, 4, 255, 255, 255, 0, 3, 200, 1}, 13, 53, kNone},
        {"MatchInTheLastByte", {1, 1, 0, 53}, 8, 53, kNone},
        {"ValueCutOffByTheArea", {51, 4, 0, 0, 1}, 9, 51, kNone},
        {"ValueEndingOnTheLastByteIsRead", {51, 4, 0, 0, 1, 2}, 10, 51, 258u},
        {"CodeAbove255NeverMatches", {53, 1, 1, 255}, 64, 309, kNone}}),
    [](const auto& row) { return row.param.name; });

TEST(FindOptionValue, WrongCookieHasNoValue) {
    const std::vector<std::uint8_t> area{99, 130, 83, 98, 53, 1, 1, 255, 0, 0};
    EXPECT_EQ(FindOptionValue(53, area), std::nullopt);
}

}  // namespace
}  // namespace tarnleaf
