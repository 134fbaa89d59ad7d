#include "OptionLookup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

namespace tarnleaf {
namespace {

TEST(FindOptionValue, GivesTheValueOfTheFirstMatchingOptionInsideTheArea) {
    constexpr auto kNone = std::nullopt;
    // The area is the cookie and these bytes, zero-padded (or cut) to `size`.
    const std::tuple<const char*, std::vector<std::uint8_t>, std::size_t, std::uint16_t,
                     std::optional<std::uint32_t>> cases[] = {
        {"FirstOfTwoBehindAnotherCounts", {1, 1, 0, 53, 1, 1, 53, 1, 3, 255}, 64, 53, 1u},
        {"EndHidesWhatFollows", {255, 53, 1, 1}, 64, 53, kNone},
        {"LengthTwoUnsignedHighByteFirst", {57, 2, 0xFF, 0xFE, 255}, 64, 57, 65534u},
        {"LengthFourUnsignedHighByteFirst", {51, 4, 0x80, 0, 0x51, 0x80}, 64, 51, 0x80005180u},
        {"LengthThreeHasNoValue", {53, 3, 1, 2, 3, 255}, 64, 53, kNone},
        {"PadBytesHaveNoLength", {0, 53, 1, 1, 255}, 64, 53, 1u},
        {"ListRunningOffTheArea", {1, 4, 255, 255, 255, 0, 3, 200, 1}, 13, 53, kNone},
        {"MatchInTheLastByte", {1, 1, 0, 53}, 8, 53, kNone},
        {"ValueCutOffByTheArea", {51, 4, 0, 0, 1}, 9, 51, kNone},
        {"ValueEndingOnTheLastByteIsRead", {51, 4, 0, 0, 1, 2}, 10, 51, 258u},
        {"CodeAbove255NeverMatches", {53, 1, 1, 255}, 64, 309, kNone}};
    for (const auto& [name, afterCookie, size, code, expected] : cases) {
        std::vector<std::uint8_t> area{99, 130, 83, 99};
        area.insert(area.end(), afterCookie.begin(), afterCookie.end());
        area.resize(size, 0);
        EXPECT_EQ(FindOptionValue(code, area), expected) << name;
    }
    EXPECT_EQ(FindOptionValue(53, std::vector<std::uint8_t>{99, 130, 83, 98, 53, 1, 1}), kNone);
}

}  // namespace
}  // namespace tarnleaf
