#include "server/OptionLookup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnleaf {
namespace {

struct LookupCase {
    std::string name;
    std::vector<std::uint8_t> area;
    std::uint16_t code;
    std::optional<std::uint32_t> expected;
};

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> area, std::size_t size = 64) {
    area.resize(size, 0);
    return area;
}

class FindOptionValueTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FindOptionValueTest, GivesTheValueOfTheFirstMatchingOption) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(FindOptionValue(c.code, c.area), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    OptionAreas, FindOptionValueTest,
    ::testing::Values(
        LookupCase{"EmptyAreaHasNoValue", {}, 53, std::nullopt},
        LookupCase{"SixBytesAreTooFewForAnyOption", {99, 130, 83, 99, 53, 1}, 53, std::nullopt},
        LookupCase{"SevenBytesHoldALengthOneOption", {99, 130, 83, 99, 53, 1, 3}, 53, 3u},
        LookupCase{"WrongCookieHasNoValue", Padded({99, 130, 83, 98, 53, 1, 1, 255}), 53,
                   std::nullopt},
        LookupCase{"DiscoverReadsAsOne", Padded({99, 130, 83, 99, 53, 1, 1, 255}), 53, 1u},
        LookupCase{"OptionAfterOthersIsFound",
                   Padded({99, 130, 83, 99, 1, 4, 255, 255, 255, 0, 53, 1, 3, 255}), 53, 3u},
        LookupCase{"OnlyTheFirstOptionWithTheCodeCounts",
                   Padded({99, 130, 83, 99, 53, 1, 1, 53, 1, 3, 255}), 53, 1u},
        LookupCase{"EndBeforeTheOptionHidesIt", Padded({99, 130, 83, 99, 255, 53, 1, 1}), 53,
                   std::nullopt},
        LookupCase{"AskingForEndGivesNoValue", Padded({99, 130, 83, 99, 255, 1, 1}), 255,
                   std::nullopt},
        LookupCase{"LengthTwoReadsHighByteFirst", Padded({99, 130, 83, 99, 53, 2, 0, 1, 255}),
                   53, 1u},
        LookupCase{"LengthTwoAbove32767StaysPositive",
                   Padded({99, 130, 83, 99, 57, 2, 0xFF, 0xFE, 255}), 57, 65534u},
        LookupCase{"LengthFourReadsHighByteFirst",
                   Padded({99, 130, 83, 99, 51, 4, 0, 1, 0x51, 0x80, 255}), 51, 86400u},
        LookupCase{"LengthFourWithTopBitSetStaysPositive",
                   Padded({99, 130, 83, 99, 51, 4, 0xFF, 0xFF, 0xFF, 0xFF, 255}), 51,
                   0xFFFFFFFFu},
        LookupCase{"LengthThreeHasNoValue", Padded({99, 130, 83, 99, 53, 3, 1, 2, 3, 255}), 53,
                   std::nullopt},
        LookupCase{"LengthZeroHasNoValue", Padded({99, 130, 83, 99, 53, 0, 255}), 53,
                   std::nullopt},
        // A 0 is a code with a length, not padding: the walk jumps 53 + 2 bytes on.
        LookupCase{"ZeroCodeIsWalkedOverWithItsLength",
                   Padded({99, 130, 83, 99, 0, 53, 1, 1, 255}), 53, std::nullopt},
        LookupCase{"ZeroCodeWithLengthZeroIsSkipped",
                   Padded({99, 130, 83, 99, 0, 0, 53, 1, 5, 255}), 53, 5u},
        LookupCase{"ListRunningOffTheAreaHasNoValue",
                   {99, 130, 83, 99, 1, 4, 255, 255, 255, 0, 3, 200, 1}, 53, std::nullopt},
        LookupCase{"CodeInTheLastByteHasNoValue", {99, 130, 83, 99, 1, 1, 0, 53}, 53,
                   std::nullopt},
        LookupCase{"ValueCutOffByTheAreaHasNoValue", {99, 130, 83, 99, 51, 4, 0, 0, 1}, 51,
                   std::nullopt},
        LookupCase{"ValueEndingOnTheLastByteIsRead", {99, 130, 83, 99, 51, 4, 0, 0, 1, 2}, 51,
                   258u},
        LookupCase{"CodeAbove255NeverMatches", Padded({99, 130, 83, 99, 53, 1, 1, 255}), 309,
                   std::nullopt},
        LookupCase{"AllZeroAreaHasNoValue", Padded({}), 53, std::nullopt}),
    [](const ::testing::TestParamInfo<LookupCase>& row) { return row.param.name; });

}  // namespace
}  // namespace tarnleaf
