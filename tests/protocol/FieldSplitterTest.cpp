#include "protocol/FieldSplitter.h"

#include <gtest/gtest.h>

#include <array>

namespace tarnleaf {
namespace {

// Ten byte targets that start out as 0xEE, so a slot that was not written shows.
class FieldSplitter : public ::testing::Test {
protected:
    std::array<std::uint8_t, 10> targets_;
    std::array<std::uint8_t*, 10> slots_{};

    void SetUp() override { targets_.fill(0xEE); }

    // Gives the first `count` slots.
    std::span<std::uint8_t* const> Slots(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) slots_[i] = &targets_[i];
        return std::span<std::uint8_t* const>(slots_).first(count);
    }
};

TEST_F(FieldSplitter, OneSlotStoresTheFirstPieceAndReturnsTheUnsplitRest) {
    const auto result = SplitToFields("1, 2 ,3", ",", Slots(1));
    EXPECT_EQ(targets_[0], 1);
    EXPECT_EQ(result.rest, " 2 ,3");
    EXPECT_FALSE(result.failedPiece);
}

TEST_F(FieldSplitter, EnoughSlotsStoreEveryPieceAndLeaveNoRest) {
    const auto result = SplitToFields("1, 2 ,3", ",", Slots(3));
    EXPECT_EQ(targets_[0], 1);
    EXPECT_EQ(targets_[1], 2);
    EXPECT_EQ(targets_[2], 3);
    EXPECT_EQ(result.rest, "");
}

TEST_F(FieldSplitter, NoSlotReturnsTheWholeTextUnchanged) {
    EXPECT_EQ(SplitToFields("1, 2 ,3", ",", {}).rest, "1, 2 ,3");
    std::array<std::uint8_t*, 3> absent{};
    EXPECT_EQ(SplitToFields("1, 2 ,3", ",", absent).rest, "1, 2 ,3");
}

TEST_F(FieldSplitter, MorePiecesThanSlotsLeaveTheRestWithDelimiters) {
    const auto result = SplitToFields("1.2.3.4.5.6", ".", Slots(4));
    EXPECT_EQ(targets_[3], 4);
    EXPECT_EQ(result.rest, "5.6");
}

TEST_F(FieldSplitter, FewerPiecesLeaveLaterSlotsAlone) {
    const auto result = SplitToFields("10.0", ".", Slots(4));
    EXPECT_EQ(targets_[0], 10);
    EXPECT_EQ(targets_[1], 0);
    EXPECT_EQ(targets_[2], 0xEE);
    EXPECT_EQ(targets_[3], 0xEE);
    EXPECT_EQ(result.rest, "");
}

TEST_F(FieldSplitter, EmptyTextGivesNoPieces) {
    const auto result = SplitToFields("", ".", Slots(4));
    EXPECT_EQ(targets_[0], 0xEE);
    EXPECT_EQ(result.rest, "");
}

TEST_F(FieldSplitter, AbsentSlotsBeforeTheLastStillCountAsPositions) {
    std::array<std::uint8_t*, 3> slots{nullptr, nullptr, &targets_[2]};
    const auto result = SplitToFields("1,2,3,4", ",", slots);
    EXPECT_EQ(targets_[0], 0xEE);
    EXPECT_EQ(targets_[2], 3);
    EXPECT_EQ(result.rest, "4");
}

TEST_F(FieldSplitter, DelimiterMatchesWithoutRegardToCase) {
    const auto result = SplitToFields("1x2X3", "x", Slots(3));
    EXPECT_EQ(targets_[1], 2);
    EXPECT_EQ(targets_[2], 3);
    EXPECT_EQ(result.rest, "");
}

TEST_F(FieldSplitter, EmptyDelimiterLeavesOnePiece) {
    const auto result = SplitToFields("42,43", "", Slots(2));
    EXPECT_EQ(targets_[0], 42);  // leading number of the whole text
    EXPECT_EQ(targets_[1], 0xEE);
    EXPECT_EQ(result.rest, "");
}

TEST_F(FieldSplitter, CarriageReturnDelimiterSplitsCrlfLines) {
    // The rest piece is handed back uncleaned.
    const auto result = SplitToFields("1\r\n2\r\n3\r\n4", "\r", Slots(3));
    EXPECT_EQ(targets_[0], 1);
    EXPECT_EQ(targets_[1], 2);
    EXPECT_EQ(targets_[2], 3);
    EXPECT_EQ(result.rest, "\n4");
}

TEST_F(FieldSplitter, BadPieceKeepsItsSlotAndIsReportedWhileOthersAreStored) {
    const auto result = SplitToFields("1,256,3,-1", ",", Slots(4));
    EXPECT_EQ(targets_[0], 1);
    EXPECT_EQ(targets_[1], 0xEE);
    EXPECT_EQ(targets_[2], 3);
    EXPECT_EQ(targets_[3], 0xEE);
    ASSERT_TRUE(result.failedPiece);
    EXPECT_EQ(*result.failedPiece, "256");
}

TEST_F(FieldSplitter, MoreThanTenSlotsAreNotLookedAt) {
    std::array<std::uint8_t, 11> targets{};
    std::array<std::uint8_t*, 11> slots{};
    for (std::size_t i = 0; i < 11; ++i) slots[i] = &targets[i];
    const auto result = SplitToFields("1,2,3,4,5,6,7,8,9,10,11,12", ",", slots);
    EXPECT_EQ(targets[9], 10);
    EXPECT_EQ(targets[10], 0);
    EXPECT_EQ(result.rest, "11,12");
}

TEST_F(FieldSplitter, LongTextWithoutDelimiterIsOnePiece) {
    const std::string text(100000, '9');
    const auto result = SplitToFields(text, ",", Slots(2));
    EXPECT_EQ(targets_[0], 0xEE);
    ASSERT_TRUE(result.failedPiece);
    EXPECT_EQ(result.rest, "");
}

}  // namespace
}  // namespace tarnleaf
