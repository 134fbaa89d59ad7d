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

using testing::ProcessEventsUntil;

TEST(QtSocketWatcherTest, HandlesEveryDatagramInBoundedRoundsThatEndWhenNothingIsLeft) {
    testing::TestApplication();
    int fds[2];  // what is sent on fds[1] waits on fds[0]
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    int calls = 0;
    {
        // Reads one datagram as the request cycle does; false when none was waiting.
        QtSocketWatcher watcher(fds[0], [&] {
            char byte = 0;
            return ++calls, ::recv(fds[0], &byte, 1, 0) == 1;
        }, 4);
        EXPECT_FALSE(QtSocketWatcher(-1, [] { return false; }).Watching()) << "no socket";
        for (int i = 0; i < 10; ++i) ASSERT_EQ(::send(fds[1], "x", 1, 0), 1);
        ProcessEventsUntil([&] { return calls >= 11; });
        ProcessEventsUntil([] { return false; }, 50);
    }
    EXPECT_EQ(calls, 11) << "rounds of 4, 4, then 2 and the call that found nothing";
    ::close(fds[0]);
    ::close(fds[1]);
}

// That SIGTERM and SIGINT end the program cleanly is checked end to end.
TEST(QtStopSignalsTest, StopSignalsArriveAsLoopEventsAndTheOldHandlersComeBack) {
    testing::TestApplication();
    struct sigaction before{}, after{};
    ::sigaction(SIGHUP, nullptr, &before);
    std::vector<int> received;
    {
        QtStopSignals stops([&](int signal) { received.push_back(signal); });
        EXPECT_FALSE(QtStopSignals([](int) {}).Active()) << "one at a time";
        ASSERT_EQ(::raise(SIGHUP), 0);
        EXPECT_TRUE(received.empty()) << "not inside the signal handler";
        EXPECT_TRUE(ProcessEventsUntil([&] { return received == std::vector{SIGHUP}; }));
    }
    ::sigaction(SIGHUP, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace tarnleaf
