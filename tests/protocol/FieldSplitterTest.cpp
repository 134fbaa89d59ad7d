#include "FieldSplitter.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace tarnleaf {
namespace {

struct SplitCase {
    std::string text;
    std::string delimiter;
    std::string slots;   // one character per slot: 'x' given, '-' absent
    std::string stored;  // what each slot holds afterwards, "-" when left alone (still 0xEE)
    std::string rest;
    std::optional<std::string> failedPiece = {};
};

TEST(SplitToFields, StoresTheLeadingPiecesAndHandsBackTheRest) {
    const std::string manyNines(100000, '9');
    const SplitCase cases[] = {
        {"1, 2 ,3", ",", "x", "1", " 2 ,3"},
        {"1, 2 ,3", ",", "xxx", "1 2 3", ""},
        {"1.2.3.4.5.6", ".", "xxxx", "1 2 3 4", "5.6"},
        {"10.0.", ".", "xxxx", "10 0 0 -", ""},  // an empty piece reads as 0
        {"", ".", "xxxx", "- - - -", ""},
        {"1,2,3,4", ",", "--x", "- - 3", "4"},  // absent slots still take their piece
        {"42,43", "", "xx", "42 -", ""},
        {"1\r\n2\r\n3\r\n4", "\r", "xxx", "1 2 3", "\n4"},  // the rest keeps its line feed
        {"1, 256 ,3,-1", ",", "xxxx", "1 - 3 -", "", "256"},  // the first bad piece, trimmed
        {"1,2,3,4,5,6,7,8,9,10,11,12", ",", "xxxxxxxxxxx", "1 2 3 4 5 6 7 8 9 10 -", "11,12"},
        {manyNines, ",", "xx", "- -", "", manyNines}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 30) + " / " + c.slots);
        std::vector<std::uint8_t> targets(11, 0xEE);
        std::array<std::uint8_t*, 11> slots{};
        for (std::size_t i = 0; i < c.slots.size(); ++i) {
            slots[i] = c.slots[i] == 'x' ? &targets[i] : nullptr;
        }
        const auto result =
            SplitToFields(c.text, c.delimiter, std::span(slots).first(c.slots.size()));
        std::string stored;
        for (std::size_t i = 0; i < c.slots.size(); ++i)
            stored += (i ? " " : "") + (targets[i] == 0xEE ? "-" : std::to_string(targets[i]));
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(result.rest, c.rest);
        EXPECT_EQ(result.failedPiece, c.failedPiece);
    }
}

}  // namespace
}  // namespace tarnleaf
