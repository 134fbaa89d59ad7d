#include "PosixConsoleLoop.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PosixUdpEndpoint.h"

namespace tarnleaf {
namespace {

using Stop = PosixConsoleLoop::StopReason;
using Lines = std::vector<std::string>;

// Commands come through a pipe and are recorded; "quit" ends the loop. Every loop here
// ends by itself; the alarm only turns a hang into a failed test.
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
    void TearDown() override { ::alarm(0), ::close(pipe_[0]), ::close(pipe_[1]); }
    void Type(const std::string& text) {
        ASSERT_EQ(::write(pipe_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    Stop Run(int socketFd = -1) { return loop.Run(socketFd, pipe_[0], handlers); }

    int pipe_[2] = {-1, -1};
    PosixConsoleLoop loop;
    PosixConsoleLoop::Handlers handlers;
    Lines lines;
};

TEST_F(PosixConsoleLoopTest, HandsOverWholeLinesWithoutLineEndsDropsOverlongOnesUntilQuit) {
    const std::size_t max = PosixConsoleLoop::kMaxLineLength;
    // Input is read 1024 bytes at a time: the x line spans reads, and the read boundary at
    // 3072 falls inside "quit".
    Type("t\r\n\n" + std::string(max, 'y') + "\n" + std::string(max + 1, 'z') + "\n" +
         std::string(2551, 'x') + "\nquit\nnever\n");
    EXPECT_EQ(Run(), Stop::Quit);
    EXPECT_EQ(lines, (Lines{"t", "", std::string(max, 'y'), "quit"}));
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
    ::close(std::exchange(pipe_[1], -1));
    handlers.socketReadable = [&] { ::raise(SIGTERM); };
    handlers.inputLine = [&](std::string_view line) {
        lines.emplace_back(line);
        // Once input has ended, only a datagram can wake the loop again.
        (void)socket.Send(std::vector<std::uint8_t>{7}, Ipv4Address{{127, 0, 0, 1}},
                          socket.BoundPort(), SendRoute{});
        return true;
    };
    EXPECT_EQ(Run(static_cast<int>(socket.NativeHandle())), Stop::Signal);
    EXPECT_EQ(lines, Lines{"a"});
    EXPECT_EQ(loop.StopSignal(), SIGTERM);
}

TEST(PosixConsoleLoop, SignalMaskIsRestoredAndLateSignalsAreSwallowed) {
    const auto Blocked = [](int signal) {
        sigset_t current;
        ::pthread_sigmask(SIG_SETMASK, nullptr, &current);
        return sigismember(&current, signal) == 1;
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
