#include "config/StaticProfileSource.h"

#include <gtest/gtest.h>

#include "config/CaseName.h"

#include <map>
#include <vector>

namespace tarnleaf {
namespace {

struct AlternativeCase {
    const char* name;
    const char* section;
    const char* alternative1;
    const char* alternative2;
    const char* expected;
};

class ReadProfileValue : public ::testing::TestWithParam<AlternativeCase> {};

TEST_P(ReadProfileValue, TriesTheAlternativesWhileTheValueIsEmpty) {
    const StaticProfileSource source(
        "[both]\nSubnetMask=255.0.0.0\nsm=255.255.0.0\n"
        "[emptyLong]\nSubnetMask=\nsm=255.255.255.0\n"
        "[onlyShort]\nsm=255.255.255.128\n"
        "[onlySecond]\nRouter=10.0.0.1\n"
        "[blank]\nSubnetMask=   \nsm= 1.2.3.4 \n");
    const auto& c = GetParam();
    EXPECT_EQ(source.ReadProfileValue(c.section, "SubnetMask", c.alternative1, c.alternative2),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ReadProfileValue,
    ::testing::Values(
        AlternativeCase{"LongNameWinsOverShortTag", "both", "sm", "", "255.0.0.0"},
        AlternativeCase{"EmptyLongNameFallsToShortTag", "emptyLong", "sm", "", "255.255.255.0"},
        AlternativeCase{"AbsentLongNameFallsToShortTag", "onlyShort", "sm", "", "255.255.255.128"},
        AlternativeCase{"BlankValueCountsAsEmpty", "blank", "sm", "", "1.2.3.4"},
        AlternativeCase{"SecondAlternativeAfterAnEmptyFirst", "onlySecond", "gw", "Router",
                        "10.0.0.1"},
        // Without a first alternative the second is never looked at.
        AlternativeCase{"SecondAlternativeOnlyBehindAFirst", "onlySecond", "", "Router", ""},
        AlternativeCase{"NoAlternativesNoFallback", "emptyLong", "", "", ""},
        AlternativeCase{"MissingSectionIsEmpty", "none", "sm", "gw", ""}),
    CaseName());

// Counts the reads, to show which names are asked for and in what order.
class RecordingSource final : public ProfileSource {
public:
    std::map<std::string, std::string> values;
    mutable std::vector<std::string> asked;

    void Refresh() override {}
    std::string GetIniString(std::string_view, std::string_view key,
                             std::string_view defaultValue) const override {
        asked.emplace_back(key);
        const auto it = values.find(std::string(key));
        return it == values.end() ? std::string(defaultValue) : it->second;
    }
};

TEST(ProfileSourceReads, StopsAtTheFirstNameWithAValue) {
    RecordingSource source;
    source.values = {{"gw", "10.0.0.2"}, {"Router", "10.0.0.3"}};
    EXPECT_EQ(source.ReadProfileValue("s", "Gateway", "gw", "Router"), "10.0.0.2");
    EXPECT_EQ(source.asked, (std::vector<std::string>{"Gateway", "gw"}));
}

TEST(ProfileSourceReads, EmptyAlternativesAreNeverAskedFor) {
    RecordingSource source;
    EXPECT_EQ(source.ReadProfileValue("s", "MessageType"), "");
    EXPECT_EQ(source.asked, (std::vector<std::string>{"MessageType"}));
}

TEST(StaticProfileSource, NewTextTakesEffectAtOnce) {
    StaticProfileSource source("[s]\nk=1\n");
    source.SetText("[s]\nk=2\n");
    source.Refresh();
    EXPECT_EQ(source.GetIniString("s", "k", ""), "2");
    EXPECT_EQ(source.RefreshCount(), 1);
}

}  // namespace
}  // namespace tarnleaf
