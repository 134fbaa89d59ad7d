#include "LineSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnleaf {
namespace {

TEST(LineSplitter, LinesEndAtLfOrCrLfAcrossChunksOverlongOnesAreDroppedQuitStopsTheRest) {
    LineSplitter splitter{8};
    std::vector<std::string> lines;
    const auto take = [&](std::string_view line) { return lines.emplace_back(line), line != "q"; };
    splitter.Feed("t\r\nl", take);
    EXPECT_EQ(lines, std::vector<std::string>{"t"}) << "an unfinished line waits for its end";
    splitter.Feed("\n0123456789abcdef\nu\n01234567\nq\nt\n", take);  // the limit is 8
    EXPECT_EQ(lines, (std::vector<std::string>{"t", "l", "u", "01234567", "q"}));
}

}  // namespace
}  // namespace tarnleaf
