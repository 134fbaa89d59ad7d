#include "LogModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnleaf {
namespace {

class LogModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.Subscribe([this](const LogChange& change) {
            carets.push_back(change.caret);
            view.erase(0, change.removedFromFront);
            view += change.appended;
        });
    }

    LogModel log;
    std::vector<std::size_t> carets;
    std::string view;  // the text as a front end rebuilds it from the changes
};

// A message leaves the caret at the end, an error at its own start.
TEST_F(LogModelTest, EntriesAreSeparatedByAnEmptyLine) {
    log.AppendMessageEntry(548, "first\r\n", "t1");
    const std::size_t end = log.Text().size();
    log.AppendErrorEntry("Error!\r\n10054 (reset)");
    log.AppendMessageEntry(301, "second\r\n", "t2");
    EXPECT_EQ(carets, (std::vector<std::size_t>{end, end, log.Text().size()}));
    EXPECT_EQ(log.Text(), "date [t1]\r\nsize [548]\r\nfirst\r\n\r\nError!\r\n10054 (reset)\r\n"
                          "\r\n\r\ndate [t2]\r\nsize [301]\r\nsecond\r\n");
    EXPECT_EQ(view, log.Text());
}

// Failed sends add an error entry per request; any mix of entries stays within the limit,
// and what goes is whole entries from the front, as the front ends are told.
TEST_F(LogModelTest, AnyMixOfEntriesStaysWithinTheLimitDroppingWholeEntriesFromTheFront) {
    for (int i = 0; i <= 3000; ++i) {
        i % 3 != 2 ? log.AppendErrorEntry("Message Send Error!\r\n" + std::to_string(i))
                   : log.AppendMessageEntry(300, std::string(700, 'd') + "\r\n", "t");
        ASSERT_LE(log.Text().size(), LogModel::kTextLimit) << i;
    }
    EXPECT_GT(log.Text().size(), LogModel::kTextLimit - 800);
    EXPECT_EQ(view, log.Text());
    const std::string_view head = log.Text().substr(log.Text().find_first_not_of("\r\n"));
    EXPECT_TRUE(head.starts_with("Message Send Error!") || head.starts_with("date [")) << head;
    EXPECT_TRUE(log.Text().ends_with("Message Send Error!\r\n3000\r\n\r\n"));
}

TEST_F(LogModelTest, AnEntryLargerThanTheLimitReplacesTheWholeLog) {
    log.AppendErrorEntry("before");
    const std::string huge = "head\r\n" + std::string(LogModel::kTextLimit, 'z');
    log.AppendErrorEntry(huge);
    EXPECT_EQ(log.Text(), "\r\n" + huge + "\r\n\r\n");
    log.AppendErrorEntry("again");
    EXPECT_EQ(log.Text(), "\r\n\r\nagain\r\n\r\n");
    EXPECT_EQ(view, log.Text());
}

}  // namespace
}  // namespace tarnleaf
