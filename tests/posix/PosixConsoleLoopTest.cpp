#include "PosixConsoleLoop.h"

#include <pthread.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "PosixUdpEndpoint.h"

namespace tarnleaf {
namespace {

using Stop = PosixConsoleLoop::StopReason;
using Lines = std::vector<std::string>;

class PosixConsoleLoopTest : public ::testing::Test {  // an alarm turns a hang into a failure
protected:
    void SetUp() override { ::alarm(20); ASSERT_EQ(::pipe(in_), 0); }
    void TearDown() override { ::alarm(0), ::close(in_[0]), ::close(in_[1]); }
    void Type(std::string_view s) { ASSERT_GT(::write(in_[1], s.data(), s.size()), 0); }
    Stop Run(int socketFd = -1) { return loop.Run(socketFd, in_[0], handlers); }

    int in_[2] = {-1, -1};
    PosixConsoleLoop loop;
    Lines lines;
    PosixConsoleLoop::Handlers handlers{{}, [this](std::string_view line) {
        return lines.emplace_back(line), line != "quit";
    }};
};

TEST_F(PosixConsoleLoopTest, HandsOverWholeLinesWithoutLineEndsDropsOverlongOnesUntilQuit) {
    const std::size_t max = PosixConsoleLoop::kMaxLineLength;
    // Read 1024 bytes at a time: the x line spans reads, and "quit" straddles the one at 3072.
    Type("t\r\n\n" + std::string(max, 'y') + "\n" + std::string(max + 1, 'z') + "\n" +
         std::string(2551, 'x') + "\nquit\nnever\n");
    EXPECT_EQ(Run(), Stop::Quit);
    EXPECT_EQ(lines, (Lines{"t", "", std::string(max, 'y'), "quit"}));
}

TEST_F(PosixConsoleLoopTest, SignalPendingBeforeTheLoopEndsItBeforeAnyInput) {
    ::raise(SIGINT);
    Type("quit\n");
    EXPECT_TRUE(Run() == Stop::Signal && loop.StopSignal() == SIGINT && lines.empty());
}

TEST_F(PosixConsoleLoopTest, EndOfInputKeepsTheServerRunningUntilAStopSignal) {
    int fd[2];  // a pipe stands in for the server's socket
    ASSERT_EQ(::pipe(fd), 0);
    Type("a\n");
    ::close(std::exchange(in_[1], -1));
    handlers.socketReadable = [&] { ::raise(SIGTERM); };
    handlers.inputLine = [&](std::string_view line) {  // then only the socket can wake the loop
        return lines.emplace_back(line), ::write(fd[1], "x", 1) == 1;
    };
    EXPECT_TRUE(Run(fd[0]) == Stop::Signal && loop.StopSignal() == SIGTERM && lines == Lines{"a"});
    ::close(fd[0]), ::close(fd[1]);
}

// Input that another reader of the same terminal takes first must not hold the loop in a
// read: the loop reads through a description of its own, finds nothing and goes on.
TEST_F(PosixConsoleLoopTest, InputTakenFirstByAnotherReaderDoesNotHoldTheLoop) {
    int fd[2];  // a pipe stands in for the server's socket
    ASSERT_EQ(::pipe(fd), 0);
    Type("taken\n");
    ASSERT_EQ(::write(fd[1], "x", 1), 1);
    handlers.socketReadable = [&] {  // runs before the loop reads the input
        std::array<char, 16> other;
        EXPECT_GT(::read(in_[0], other.data(), other.size()), 0);
        ::raise(SIGTERM);
    };
    const int own = PosixConsoleLoop::OwnInput(in_[0]);
    EXPECT_TRUE(own != in_[0] && loop.Run(fd[0], own, handlers) == Stop::Signal && lines.empty());
    ::close(own), ::close(fd[0]), ::close(fd[1]);
}

// Without input the loop waits in the receive itself. A stop signal that came before ends it
// before any wait; one that comes during a wait ends the wait (whose own limit lies far beyond
// the alarm). Afterwards the signals are blocked again and wait at the signalfd.
TEST_F(PosixConsoleLoopTest, ServeEndsWhenAStopSignalComesBeforeOrDuringTheWaitingReceive) {
    using namespace std::chrono_literals;
    PosixUdpEndpoint endpoint;
    ASSERT_FALSE(endpoint.Bind(0).has_value() || endpoint.WaitInReceive(10min).has_value());
    std::array<ReceivedDatagram, 4> slots;
    int waits = 0;
    const auto serve = [&] { ++waits, (void)endpoint.Receive(slots); };

    ::raise(SIGINT);
    EXPECT_TRUE(loop.Serve(serve) == Stop::Signal && loop.StopSignal() == SIGINT && waits == 0);

    std::thread stopper([] { std::this_thread::sleep_for(50ms), ::kill(::getpid(), SIGTERM); });
    EXPECT_TRUE(loop.Serve(serve) == Stop::Signal && loop.StopSignal() == SIGTERM);
    stopper.join();
    ::raise(SIGHUP);
}

// Started under nohup (SIGHUP ignored): the hangup changes nothing, in a loop on a terminal
// and in one that waits in the receive, and the signal is still ignored afterwards.
TEST_F(PosixConsoleLoopTest, SignalIgnoredAtTheStartStaysIgnored) {
    using namespace std::chrono_literals;
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGHUP, &ignore, &before);
    {
        PosixConsoleLoop nohup;
        ::raise(SIGHUP);
        Type("a\nquit\n");
        EXPECT_EQ(nohup.Run(-1, in_[0], handlers), Stop::Quit);
        PosixUdpEndpoint endpoint;
        ASSERT_FALSE(endpoint.Bind(0).has_value() || endpoint.WaitInReceive(10min).has_value());
        std::array<ReceivedDatagram, 4> slots;
        int waits = 0;
        std::thread stopper([] {
            std::this_thread::sleep_for(50ms), ::kill(::getpid(), SIGHUP);
            std::this_thread::sleep_for(50ms), ::kill(::getpid(), SIGTERM);
        });
        EXPECT_TRUE(nohup.Serve([&] { ++waits, (void)endpoint.Receive(slots); }) ==
                        Stop::Signal &&
                    nohup.StopSignal() == SIGTERM);
        stopper.join();
    }
    struct sigaction after {};
    ::sigaction(SIGHUP, &before, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
}

TEST(PosixConsoleLoop, SignalMaskIsRestoredAndLateSignalsAreSwallowed) {
    auto Blocked = [mask = sigset_t()](int signal) mutable {
        return ::pthread_sigmask(SIG_SETMASK, nullptr, &mask), sigismember(&mask, signal) == 1;
    };
    {
        PosixConsoleLoop loop;
        EXPECT_TRUE(Blocked(SIGTERM) && Blocked(SIGINT) && Blocked(SIGHUP));
        ::raise(SIGHUP);  // would end this test program if it were delivered
    }
    EXPECT_FALSE(Blocked(SIGTERM) || Blocked(SIGHUP));
}

}  // namespace
}  // namespace tarnleaf
