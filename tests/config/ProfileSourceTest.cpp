#include "config/StaticProfileSource.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

// Reads through the section view, which a profile load uses directly.
TEST(ReadProfileValue, TriesTheAlternativesInTurnWhileTheValueIsEmpty) {
    const StaticProfileSource source(
        "[both]\nSubnetMask=255.0.0.0\nsm=255.255.0.0\n"
        "[emptyLong]\nSubnetMask=\nsm=255.255.255.0\n"
        "[onlySecond]\nRouter=10.0.0.1\n"
        "[blank]\nSubnetMask=   \nsm= 1.2.3.4 \n");
    const struct {
        const char *name, *section, *alternative1, *alternative2, *expected;
    } cases[] = {
        {"LongNameWinsOverShortTag", "both", "sm", "", "255.0.0.0"},
        {"EmptyLongNameFallsToShortTag", "emptyLong", "sm", "", "255.255.255.0"},
        {"BlankValueCountsAsEmpty", "blank", "sm", "", "1.2.3.4"},
        {"SecondAlternativeAfterAnEmptyFirst", "onlySecond", "gw", "Router", "10.0.0.1"},
        {"SecondAlternativeOnlyBehindAFirst", "onlySecond", "", "Router", ""},
        {"NoAlternativesNoFallback", "emptyLong", "", "", ""},
        {"MissingSectionIsEmpty", "none", "sm", "gw", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(source.ReadProfileValue(c.section, "SubnetMask", c.alternative1, c.alternative2),
                  c.expected);
    }
}

}  // namespace
}  // namespace tarnleaf
