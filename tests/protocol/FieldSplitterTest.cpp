#include "FieldSplitter.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tarnleaf {
namespace {

struct SplitCase {  // slots: 'x' given, '-' absent; stored: "-" where the slot was left alone
    std::string text, delimiter, slots, stored, rest;
    std::optional<std::string> failedPiece = {};
};

TEST(SplitToFields, StoresTheLeadingPiecesAndHandsBackTheRest) {
    const SplitCase cases[] = {
        {"2.5,3.5x, 3", ",", "xx", "2 4", " 3"},  // pieces: leading numbers, halves to even
        {"1.&H2.3x.4.5.6", ".", "xxxx", "1 2 3 4", "5.6"},
        {"10.0.", ".", "xxxx", "10 0 0 -", ""},  // an empty piece reads as 0
        {"1,2,3,4", ",", "--x", "- - 3", "4"},  // absent slots still take their piece
        {"", ".", "xxxx", "- - - -", ""}, {"42,43", "", "xx", "42 -", ""},
        {"1\r\n2\r\n3\r\n4", "\r", "xxx", "1 2 3", "\n4"},  // the rest keeps its line feed
        {"1, 256 ,3,-1", ",", "xxxx", "1 - 3 -", "", "256"},  // the first bad piece, trimmed
        {std::string(100000, '9'), ",", "xx", "- -", "", std::string(100000, '9')}};
    for (const auto& c : cases) {
        const std::size_t n = c.slots.size();
        std::vector<std::uint8_t> targets(11, 0xEE);
        std::array<std::uint8_t*, 11> slots{};
        for (std::size_t i = 0; i < n; ++i) slots[i] = c.slots[i] == 'x' ? &targets[i] : nullptr;
        const auto result = SplitToFields(c.text, c.delimiter, std::span(slots).first(n));
        std::string stored;
        for (std::size_t i = 0; i < n; ++i)
            stored += (i ? " " : "") + (targets[i] == 0xEE ? "-" : std::to_string(targets[i]));
        EXPECT_EQ(std::tie(stored, result.rest, result.failedPiece),
                  std::tie(c.stored, c.rest, c.failedPiece)) << c.text.substr(0, 30);
    }
}

}  // namespace
}  // namespace tarnleaf
