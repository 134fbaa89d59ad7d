#include "config/StaticProfileSource.h"

#include <gtest/gtest.h>

#include "config/CaseName.h"

namespace tarnleaf {
namespace {

struct AlternativeCase {
    const char* name;
    const char* section;
    const char* alternative1;
    const char* alternative2;
    const char* expected;
};

class ReadProfileValue : public ::testing::TestWithParam<AlternativeCase> {
protected:
    const StaticProfileSource source{
        "[both]\nSubnetMask=255.0.0.0\nsm=255.255.0.0\n"
        "[emptyLong]\nSubnetMask=\nsm=255.255.255.0\n"
        "[onlySecond]\nRouter=10.0.0.1\n"
        "[blank]\nSubnetMask=   \nsm= 1.2.3.4 \n"};
};

TEST_P(ReadProfileValue, TriesTheAlternativesWhileTheValueIsEmpty) {
    const auto& c = GetParam();
    EXPECT_EQ(source.ReadProfileValue(c.section, "SubnetMask", c.alternative1, c.alternative2),
              c.expected);
}

TEST_P(ReadProfileValue, SectionLookedUpOnceReadsTheSame) {
    const auto& c = GetParam();
    const ProfileSection profile = source.Section(c.section);
    EXPECT_EQ(profile.ReadProfileValue("SubnetMask", c.alternative1, c.alternative2),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ReadProfileValue,
    ::testing::Values(
        AlternativeCase{"LongNameWinsOverShortTag", "both", "sm", "", "255.0.0.0"},
        AlternativeCase{"EmptyLongNameFallsToShortTag", "emptyLong", "sm", "", "255.255.255.0"},
        AlternativeCase{"BlankValueCountsAsEmpty", "blank", "sm", "", "1.2.3.4"},
        AlternativeCase{"SecondAlternativeAfterAnEmptyFirst", "onlySecond", "gw", "Router",
                        "10.0.0.1"},
        // Without a first alternative the second is never looked at.
        AlternativeCase{"SecondAlternativeOnlyBehindAFirst", "onlySecond", "", "Router", ""},
        AlternativeCase{"NoAlternativesNoFallback", "emptyLong", "", "", ""},
        AlternativeCase{"MissingSectionIsEmpty", "none", "sm", "gw", ""}),
    CaseName());

}  // namespace
}  // namespace tarnleaf
