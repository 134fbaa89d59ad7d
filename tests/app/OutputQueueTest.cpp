#include "OutputQueue.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using namespace std::chrono_literals;

// A reader that takes nothing until it is let go, then everything, or goes away (shared
// with the writer thread, which may outlive the test's locals).
struct Reader {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false, gone = false;
    std::string text;

    bool Write(std::string_view chunk) {
        std::unique_lock lock(mutex);
        released.wait(lock, [this] { return open || gone; });
        text += chunk;
        return !gone;
    }
    void Release(bool asGone = false) {
        const std::lock_guard lock(mutex);
        (asGone ? gone : open) = true;
        released.notify_all();
    }
};

class OutputQueueTest : public ::testing::Test {
protected:
    ~OutputQueueTest() override { reader->Release(); }

    std::shared_ptr<Reader> reader = std::make_shared<Reader>();
    OutputQueue queue{[r = reader](std::string_view text) { return r->Write(text); }, 10};
};

TEST_F(OutputQueueTest, AStalledReaderCostsEntriesCountedInOneLineAtTheGap) {
    queue.Post("a\n");
    EXPECT_FALSE(queue.Flush(50ms));  // the writer holds "a" and waits for the reader
    queue.Post("bbbb");
    queue.Post("cccc");
    queue.Post("dddd");  // no room: dropped
    queue.Post("e");     // there would be room, but it would stand on the wrong side of the gap
    EXPECT_EQ(queue.DroppedTotal(), 2u);

    reader->Release();
    ASSERT_TRUE(queue.Flush(5s));
    queue.Post("f\n");
    ASSERT_TRUE(queue.Flush(5s));
    EXPECT_EQ(reader->text, "a\nbbbbcccc(2 log entries dropped)\r\nf\n");  // all written
}

TEST_F(OutputQueueTest, OutputThatIsGoneOrStuckNeverHoldsUpPostingNorClosing) {
    queue.Post("a\n");
    for (int i = 0; i < 10000; ++i) {
        queue.Post("entry\n");
    }
    EXPECT_GE(queue.DroppedTotal(), 9998u);
    queue.Close(100ms);  // the writer is still stuck: left behind

    auto gone = std::make_shared<Reader>();
    gone->Release(true);
    OutputQueue closed([gone](std::string_view text) { return gone->Write(text); });
    closed.Post("lost\n");
    EXPECT_TRUE(closed.Flush(5s));
    closed.Post("never tried\n");
    EXPECT_TRUE(closed.Flush(5s));
    EXPECT_EQ(gone->text, "lost\n");
    EXPECT_EQ(closed.DroppedTotal(), 0u);
}

}  // namespace
}  // namespace tarnleaf
