#include "PosixConsoleLoop.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PosixUdpEndpoint.h"

namespace tarnleaf {
namespace {

using ::testing::ElementsAre;
using Stop = PosixConsoleLoop::StopReason;

// Commands come through a pipe and are recorded; "quit" ends the loop.
// Every loop here ends by itself; the alarm only turns a hang into a failed test.
class PosixConsoleLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::pipe(pipe_), 0);
        ::alarm(20);
        handlers.inputLine = [this](std::string_view line) {
            lines.emplace_back(line);
            return line != "quit";
        };
    }
    void TearDown() override {
        ::alarm(0);
        ::close(pipe_[0]);
        ::close(pipe_[1]);
    }
    void Type(const std::string& text) {
        ASSERT_EQ(::write(pipe_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    Stop Run(int socketFd = -1) { return loop.Run(socketFd, pipe_[0], handlers); }

    int pipe_[2] = {-1, -1};
    PosixConsoleLoop loop;
    PosixConsoleLoop::Handlers handlers;
    std::vector<std::string> lines;
};

TEST_F(PosixConsoleLoopTest, HandsOverWholeLinesWithoutLineEndsDropsOverlongOnesUntilQuit) {
    const std::size_t max = PosixConsoleLoop::kMaxLineLength;
    // Input is read 1024 bytes at a time: the x line spans reads, and the read boundary at
    // 3072 falls inside "quit".
    Type("t\r\n\n" + std::string(max, 'y') + "\n" + std::string(max + 1, 'z') + "\n" +
         std::string(2551, 'x') + "\nquit\nnever\n");
    EXPECT_EQ(Run(), Stop::Quit);
    EXPECT_THAT(lines, ElementsAre("t", "", std::string(max, 'y'), "quit"));
}

TEST_F(PosixConsoleLoopTest, SignalPendingBeforeTheLoopEndsItBeforeAnyInput) {
    ::raise(SIGINT);
    Type("quit\n");
    EXPECT_EQ(Run(), Stop::Signal);
    EXPECT_EQ(loop.StopSignal(), SIGINT);
    EXPECT_TRUE(lines.empty());
}

TEST_F(PosixConsoleLoopTest, EndOfInputKeepsTheServerRunningUntilAStopSignal) {
    PosixUdpEndpoint socket;
    ASSERT_FALSE(socket.Bind(0).has_value());
    Type("a\n");
    ::close(pipe_[1]);
    pipe_[1] = -1;
    int wakes = 0;
    handlers.socketReadable = [&] { ++wakes, ::raise(SIGTERM); };
    handlers.inputLine = [&](std::string_view line) {
        lines.emplace_back(line);
        // Once input has ended, only a datagram can wake the loop again.
        (void)socket.Send(std::vector<std::uint8_t>{7}, Ipv4Address{{127, 0, 0, 1}},
                          socket.BoundPort(), SendRoute{});
        return true;
    };
    EXPECT_EQ(Run(static_cast<int>(socket.NativeHandle())), Stop::Signal);
    EXPECT_THAT(lines, ElementsAre("a"));
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(loop.StopSignal(), SIGTERM);
}

TEST(PosixConsoleLoop, SignalMaskIsRestoredAndLateSignalsAreSwallowed) {
    const auto SignalBlocked = [](int signal) {
        sigset_t current;
        ::pthread_sigmask(SIG_SETMASK, nullptr, &current);
        return sigismember(&current, signal) == 1;
    };
    ASSERT_FALSE(SignalBlocked(SIGTERM));
    {
        PosixConsoleLoop loop;
        EXPECT_TRUE(SignalBlocked(SIGTERM));
        EXPECT_TRUE(SignalBlocked(SIGINT));
        ::raise(SIGHUP);
    }
    EXPECT_FALSE(SignalBlocked(SIGTERM));
    EXPECT_FALSE(SignalBlocked(SIGHUP));
}

}  // namespace
}  // namespace tarnleaf
