#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <vector>

#include "platform/qt/QtSocketWatcher.h"
#include "platform/qt/QtStopSignals.h"
#include "platform/qt/QtTestSupport.h"

namespace tarnleaf {
namespace {

using testing::ProcessEventsUntil;
using testing::ProcessPendingEvents;
using testing::TestApplication;

// A pair of local datagram sockets: what is written to one is read from the other.
class DatagramPair {
public:
    DatagramPair() {
        if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) {
            fds_[0] = fds_[1] = -1;
        }
    }
    ~DatagramPair() {
        for (int fd : fds_) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    int Reader() const { return fds_[0]; }
    void Send(int count) {
        const char byte = 'x';
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(::send(fds_[1], &byte, 1, 0), 1);
        }
    }
    // One datagram read, as the request cycle reads one; false when none waits.
    bool ReadOne() {
        char byte = 0;
        return ::recv(fds_[0], &byte, 1, 0) == 1;
    }

private:
    int fds_[2] = {-1, -1};
};

class QtSocketWatcherTest : public ::testing::Test {
protected:
    QtSocketWatcherTest() { TestApplication(); }
    DatagramPair pair;
};

TEST_F(QtSocketWatcherTest, HandlesEveryWaitingDatagram) {
    ASSERT_GE(pair.Reader(), 0);
    int handled = 0;
    QtSocketWatcher watcher(pair.Reader(), [&] {
        if (!pair.ReadOne()) {
            return false;
        }
        ++handled;
        return true;
    }, 4);
    ASSERT_TRUE(watcher.Watching());
    pair.Send(10);
    ASSERT_TRUE(ProcessEventsUntil([&] { return handled == 10; }));
    ProcessPendingEvents();
    EXPECT_EQ(handled, 10);
}

TEST_F(QtSocketWatcherTest, ARoundEndsAtTheBoundEvenWhileMoreIsWaiting) {
    int calls = 0;
    // Claims there is always more, without reading: only the bound ends a round.
    QtSocketWatcher watcher(pair.Reader(), [&] {
        ++calls;
        return true;
    }, 4);
    pair.Send(1);
    ASSERT_TRUE(ProcessEventsUntil([&] { return calls > 0; }));
    EXPECT_EQ(calls % 4, 0) << "the loop got control back between rounds only";
    pair.ReadOne();
}

TEST_F(QtSocketWatcherTest, AHandlerThatFindsNothingEndsTheRound) {
    int calls = 0;
    QtSocketWatcher watcher(pair.Reader(), [&] {
        ++calls;
        pair.ReadOne();
        return false;
    });
    pair.Send(1);
    ASSERT_TRUE(ProcessEventsUntil([&] { return calls >= 1; }));
    ProcessPendingEvents();
    EXPECT_EQ(calls, 1);
}

TEST_F(QtSocketWatcherTest, NoSocketMeansNothingIsWatched) {
    EXPECT_FALSE(QtSocketWatcher(-1, [] { return false; }).Watching());
    EXPECT_FALSE(QtSocketWatcher(pair.Reader(), {}).Watching());
}

class QtStopSignalsTest : public ::testing::Test {
protected:
    QtStopSignalsTest() { TestApplication(); }
};

TEST_F(QtStopSignalsTest, StopSignalsArriveAsLoopEventsAndTheOldHandlersComeBack) {
    struct sigaction before{};
    ::sigaction(SIGTERM, nullptr, &before);
    std::vector<int> received;
    {
        QtStopSignals stops([&](int signal) { received.push_back(signal); });
        ASSERT_TRUE(stops.Active());
        QtStopSignals second([](int) {});
        EXPECT_FALSE(second.Active()) << "one at a time";

        ASSERT_EQ(::raise(SIGTERM), 0);
        EXPECT_TRUE(received.empty()) << "not inside the signal handler";
        ASSERT_TRUE(ProcessEventsUntil([&] { return !received.empty(); }));
        EXPECT_EQ(received, std::vector<int>{SIGTERM});
        ASSERT_EQ(::raise(SIGHUP), 0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return received.size() == 2; }));
        EXPECT_EQ(received.back(), SIGHUP);
    }
    struct sigaction after{};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    QtStopSignals again([](int) {});
    EXPECT_TRUE(again.Active()) << "free again once the first has ended";
}

}  // namespace
}  // namespace tarnleaf
