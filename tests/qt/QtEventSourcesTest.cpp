#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <vector>

#include "QtSocketWatcher.h"
#include "QtStopSignals.h"
#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

using namespace tarnleaf::testing;

// A pair of local datagram sockets: what is sent on fds[1] waits on fds[0].
class QtSocketWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApplication();
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    }
    ~QtSocketWatcherTest() override {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void Send(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(::send(fds[1], "x", 1, 0), 1);
        }
    }
    int fds[2] = {-1, -1};
    int calls = 0;
};

TEST_F(QtSocketWatcherTest, HandlesEveryDatagramInBoundedRoundsThatEndWhenNothingIsLeft) {
    // Reads one datagram as the request cycle does; false when none was waiting.
    QtSocketWatcher watcher(fds[0], [&] {
        char byte = 0;
        ++calls;
        return ::recv(fds[0], &byte, 1, 0) == 1;
    }, 4);
    ASSERT_TRUE(watcher.Watching());
    EXPECT_FALSE(QtSocketWatcher(-1, [] { return false; }).Watching()) << "no socket";
    EXPECT_FALSE(QtSocketWatcher(fds[0], {}).Watching()) << "no handler";
    Send(10);
    ProcessEventsUntil([&] { return calls >= 11; });
    ProcessPendingEvents();
    EXPECT_EQ(calls, 11) << "rounds of 4, 4, then 2 and the call that found nothing";
}

TEST(QtStopSignalsTest, StopSignalsArriveAsLoopEventsAndTheOldHandlersComeBack) {
    TestApplication();
    struct sigaction before{};
    ::sigaction(SIGTERM, nullptr, &before);
    std::vector<int> received;
    {
        QtStopSignals stops([&](int signal) { received.push_back(signal); });
        ASSERT_TRUE(stops.Active());
        EXPECT_FALSE(QtStopSignals([](int) {}).Active()) << "one at a time";
        for (const int signal : {SIGTERM, SIGHUP}) {
            const std::size_t count = received.size();
            ASSERT_EQ(::raise(signal), 0);
            EXPECT_EQ(received.size(), count) << "not inside the signal handler";
            ASSERT_TRUE(ProcessEventsUntil([&] { return received.size() > count; }));
        }
        EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGHUP}));
    }
    struct sigaction after{};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    EXPECT_TRUE(QtStopSignals([](int) {}).Active()) << "free again once the first has ended";
}

}  // namespace
}  // namespace tarnleaf
