#include "OutputQueue.h"

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using namespace std::chrono_literals;

// A reader that takes nothing until let go, then everything, or is gone (shared with the
// writer thread, which may outlive the test's locals). Its text is read after a flush.
struct Reader {
    std::promise<bool> let;  // true: reads from then on; false: gone
    std::shared_future<bool> open = let.get_future().share();
    std::string text;
    bool Write(std::string_view chunk) { return text += chunk, open.get(); }
};

class OutputQueueTest : public ::testing::Test {
protected:
    ~OutputQueueTest() override {
        if (reader->open.wait_for(0s) != std::future_status::ready) reader->let.set_value(true);
    }

    std::shared_ptr<Reader> reader = std::make_shared<Reader>();
    OutputQueue queue{[r = reader](std::string_view text) { return r->Write(text); }, 10};
};

TEST_F(OutputQueueTest, AStalledReaderCostsEntriesCountedInOneLineAtTheGap) {
    queue.Post("a\n");
    EXPECT_FALSE(queue.Flush(50ms));  // the writer holds "a" and waits for the reader
    for (const char* text : {"bbbb", "cccc", "dddd", "e"}) queue.Post(text);
    EXPECT_EQ(queue.DroppedTotal(), 2u);  // "dddd", and "e" that would stand beyond the gap
    reader->let.set_value(true);
    ASSERT_TRUE(queue.Flush(5s));
    queue.Post("f\n");
    ASSERT_TRUE(queue.Flush(5s));
    EXPECT_EQ(reader->text, "a\nbbbbcccc(2 log entries dropped)\r\nf\n");
}

TEST_F(OutputQueueTest, AStuckWriterNeverHoldsUpClosingAndAGoneReaderIsNotTriedAgain) {
    queue.Post("a\n");
    queue.Close(100ms);  // the writer is still stuck: left behind
    auto gone = std::make_shared<Reader>();
    gone->let.set_value(false);
    OutputQueue closed([gone](std::string_view text) { return gone->Write(text); });
    for (const char* text : {"lost\n", "never tried\n"}) {
        closed.Post(text);
        EXPECT_TRUE(closed.Flush(5s));
    }
    EXPECT_EQ(gone->text, "lost\n");
}

}  // namespace
}  // namespace tarnleaf
