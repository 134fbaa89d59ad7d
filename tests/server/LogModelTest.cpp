#include "server/LogModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnleaf {
namespace {

class LogModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.Subscribe([this](const LogChange& change) { changes.push_back(change); });
    }

    LogModel log;
    std::vector<LogChange> changes;
};

TEST_F(LogModelTest, FirstEntryBeginsWithTheDateLine) {
    log.AppendMessageEntry(548, "dump\r\n", "2026/12/06 21:00:00");
    EXPECT_EQ(log.Text(), "date [2026/12/06 21:00:00]\r\nsize [548]\r\ndump\r\n");
}

TEST_F(LogModelTest, EntriesAreSeparatedByOneEmptyLine) {
    log.AppendMessageEntry(300, "first\r\n", "t1");
    log.AppendMessageEntry(301, "second\r\n", "t2");
    EXPECT_EQ(log.Text(),
              "date [t1]\r\nsize [300]\r\nfirst\r\n\r\ndate [t2]\r\nsize [301]\r\nsecond\r\n");
}

TEST_F(LogModelTest, MessageEntryPutsTheCaretAtTheEnd) {
    log.AppendMessageEntry(300, "a\r\n", "t");
    log.AppendMessageEntry(300, "b\r\n", "t");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].caret, log.Text().size());
    EXPECT_EQ(changes[1].removedFromFront, 0u);
    EXPECT_EQ(changes[1].appended, "\r\ndate [t]\r\nsize [300]\r\nb\r\n");
}

TEST_F(LogModelTest, SendErrorEntryOnEmptyLogHasNoLeadingBreak) {
    log.AppendErrorEntry("Message Send Error!\r\n10065");
    EXPECT_EQ(log.Text(), "Message Send Error!\r\n10065\r\n\r\n");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].caret, 0u);
}

TEST_F(LogModelTest, ErrorEntryLeavesTheCaretAtItsStart) {
    log.AppendMessageEntry(300, "dump\r\n", "t");
    const std::size_t before = log.Text().size();
    log.AppendErrorEntry("Error!\r\n10054 (reset)");
    EXPECT_EQ(log.Text().substr(before), "\r\nError!\r\n10054 (reset)\r\n\r\n");
    EXPECT_EQ(changes.back().caret, before);
    EXPECT_EQ(changes.back().appended, "\r\nError!\r\n10054 (reset)\r\n\r\n");
}

TEST_F(LogModelTest, ErrorEntriesNeverTrim) {
    const std::string big = "x\r\n\r\n" + std::string(LogModel::kTrimThreshold, 'y');
    log.AppendErrorEntry(big);
    log.AppendErrorEntry("again");
    EXPECT_EQ(log.Text().substr(0, big.size()), big);
    EXPECT_EQ(changes.back().removedFromFront, 0u);
}

TEST_F(LogModelTest, LongLogIsTrimmedBeforeTheMessageEntry) {
    // One error entry whose first empty line follows "head".
    const std::string body = "head\r\n" + std::string(LogModel::kTrimThreshold, 'z');
    log.AppendErrorEntry(body);
    const std::string before = log.Text();
    log.AppendMessageEntry(300, "d\r\n", "t");
    const std::size_t q = before.find("\r\n\r\n");
    EXPECT_EQ(changes.back().removedFromFront, q + 2);
    EXPECT_EQ(log.Text(), before.substr(q + 2) + "\r\ndate [t]\r\nsize [300]\r\nd\r\n");
}

struct TrimCase {
    std::string name;
    std::string text;
    std::string expected;
};

std::string Filled(std::string head, std::size_t size) {
    head.resize(size, 'a');
    return head;
}

class TrimLogTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(TrimLogTest, TrimsFromTheFrontOnceTheThresholdIsReached) {
    EXPECT_EQ(TrimLog(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TrimLogTest,
    ::testing::Values(
        TrimCase{"EmptyStaysEmpty", "", ""},
        TrimCase{"JustBelowThresholdIsKept", Filled("ab\r\n\r\ncd", 14999),
                 Filled("ab\r\n\r\ncd", 14999)},
        TrimCase{"AtThresholdLosesUpToTheFirstBreakOfThePair", Filled("ab\r\n\r\ncd", 15000),
                 Filled("ab\r\n\r\ncd", 15000).substr(4)},
        TrimCase{"PairAtTheStartDropsTwoCharacters", Filled("\r\n\r\nx", 15000),
                 Filled("\r\n\r\nx", 15000).substr(2)},
        TrimCase{"WithoutAPairOnlyTheFirstCharacterGoes", Filled("q\r\nr", 15001),
                 Filled("q\r\nr", 15001).substr(1)},
        TrimCase{"OnlyTheFirstPairCounts", Filled("a\r\n\r\nb\r\n\r\nc", 20000),
                 Filled("a\r\n\r\nb\r\n\r\nc", 20000).substr(3)}),
    [](const ::testing::TestParamInfo<TrimCase>& row) { return row.param.name; });

}  // namespace
}  // namespace tarnleaf
