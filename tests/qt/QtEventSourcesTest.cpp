#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include "QtSocketWatcher.h"
#include "QtStopSignals.h"
#include "QtTestSupport.h"

namespace tarnleaf {
namespace {

TEST(QtSocketWatcherTest, HandlesEveryDatagramInBoundedRoundsThatEndWhenNothingIsLeft) {
    testing::TestApplication();
    int fd[2], calls = 0;  // what is sent on fd[1] waits on fd[0]
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fd), 0);
    {
        // Takes one datagram as the request cycle does; false when none was waiting.
        QtSocketWatcher w(fd[0], [&] { return ++calls, ::recv(fd[0], nullptr, 0, 0) == 0; }, 4);
        for (int i = 0; i < 10; ++i) ASSERT_EQ(::send(fd[1], "x", 1, 0), 1);
        testing::ProcessEventsUntil([&] { return calls > 11; }, 300);
    }
    EXPECT_EQ(calls, 11) << "rounds of 4, 4, then 2 and the call that found nothing";
    ::close(fd[0]), ::close(fd[1]);
}

TEST(QtStopSignalsTest, StopSignalsArriveAsLoopEventsAndTheOldHandlersComeBack) {
    testing::TestApplication();
    ::signal(SIGHUP, SIG_IGN);
    int received = 0;
    {
        QtStopSignals stops([&](int signal) { received = signal; });
        ASSERT_EQ(::raise(SIGHUP), 0);
        EXPECT_EQ(received, 0) << "not inside the signal handler";
        EXPECT_TRUE(testing::ProcessEventsUntil([&] { return received == SIGHUP; }));
    }
    EXPECT_EQ(::signal(SIGHUP, SIG_DFL), SIG_IGN) << "the old handler is back";
}

}  // namespace
}  // namespace tarnleaf
