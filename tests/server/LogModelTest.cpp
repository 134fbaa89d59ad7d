#include "LogModel.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

TEST_F(LogModelTest, EntriesAreSeparatedByAnEmptyLine) {
    log.AppendMessageEntry(548, "first\r\n", "t1");
    EXPECT_EQ(changes.back().caret, log.Text().size());  // a message leaves it at the end
    const std::size_t before = log.Text().size();
    log.AppendErrorEntry("Error!\r\n10054 (reset)");
    EXPECT_EQ(changes.back().caret, before);  // an error at its start
    log.AppendMessageEntry(301, "second\r\n", "t2");
    EXPECT_EQ(changes.back().appended, "\r\ndate [t2]\r\nsize [301]\r\nsecond\r\n");
    EXPECT_EQ(changes.back().removedFromFront, 0u);
    EXPECT_EQ(log.Text(), "date [t1]\r\nsize [548]\r\nfirst\r\n"
                          "\r\nError!\r\n10054 (reset)\r\n\r\n"
                          "\r\ndate [t2]\r\nsize [301]\r\nsecond\r\n");
}

TEST_F(LogModelTest, OnlyMessageEntriesTrimALongLog) {
    log.AppendErrorEntry("head\r\n" + std::string(LogModel::kTrimThreshold, 'z'));
    EXPECT_EQ(changes.back().caret, 0u);
    log.AppendErrorEntry("again");
    EXPECT_EQ(changes.back().removedFromFront, 0u);
    const std::string before = log.Text();
    ASSERT_EQ(before.substr(0, 6), "head\r\n");  // no break ahead of the first entry

    log.AppendMessageEntry(300, "d\r\n", "t");
    const std::size_t cut = before.find("\r\n\r\n") + 2;
    EXPECT_EQ(changes.back().removedFromFront, cut);
    EXPECT_EQ(log.Text(), before.substr(cut) + "\r\ndate [t]\r\nsize [300]\r\nd\r\n");
    EXPECT_EQ(changes.back().caret, log.Text().size());
}

TEST(TrimLog, DropsUpToTheFirstBreakOfTheFirstEmptyLineOnceTheThresholdIsReached) {
    // {start of the text, its size, characters dropped}
    using Row = std::tuple<std::string, std::size_t, std::size_t>;
    for (const auto& [head, size, dropped] : std::vector<Row>{
             {"ab\r\n\r\ncd", 14999, 0},      // below the threshold
             {"ab\r\n\r\ncd", 15000, 4},      // at the threshold
             {"\r\n\r\nx", 15000, 2},         // empty line at the very start
             {"q\r\nr", 15001, 1},              // no empty line: the first character goes
             {"a\r\n\r\nb\r\n\r\nc", 20000, 3}}) {  // only the first empty line counts
        std::string text = head;
        text.resize(size, 'a');
        EXPECT_EQ(TrimLog(text), text.substr(dropped)) << size << " bytes, " << dropped;
    }
}

}  // namespace
}  // namespace tarnleaf
