#include "platform/posix/PosixConsoleLoop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/posix/PosixUdpEndpoint.h"

namespace tarnleaf {
namespace {

using ::testing::ElementsAre;

bool SignalBlocked(int signal) {
    sigset_t current;
    ::pthread_sigmask(SIG_SETMASK, nullptr, &current);
    return sigismember(&current, signal) == 1;
}

// Every loop here ends by itself; the alarm only turns a fault into a failed test rather
// than a hung one.
class PosixConsoleLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::pipe(pipeFds_), 0);
        ::alarm(20);
    }
    void TearDown() override {
        ::alarm(0);
        CloseWriteEnd();
        ::close(pipeFds_[0]);
    }

    int InputFd() const { return pipeFds_[0]; }
    void Type(const std::string& text) {
        ASSERT_EQ(::write(pipeFds_[1], text.data(), text.size()),
                  static_cast<ssize_t>(text.size()));
    }
    void CloseWriteEnd() {
        if (pipeFds_[1] >= 0) {
            ::close(pipeFds_[1]);
            pipeFds_[1] = -1;
        }
    }

    // Records lines; "quit" ends the loop, "stop" raises SIGTERM.
    PosixConsoleLoop::Handlers Recording() {
        PosixConsoleLoop::Handlers handlers;
        handlers.inputLine = [this](std::string_view line) {
            lines.emplace_back(line);
            if (line == "stop") {
                ::raise(SIGTERM);
            }
            return line != "quit";
        };
        return handlers;
    }

    std::vector<std::string> lines;

private:
    int pipeFds_[2] = {-1, -1};
};

TEST_F(PosixConsoleLoopTest, HandsOverEachLineWithoutItsLineEndUntilAHandlerQuits) {
    PosixConsoleLoop loop;
    Type("t\r\nl\n\nquit\nnever\n");
    EXPECT_EQ(loop.Run(-1, InputFd(), Recording()), PosixConsoleLoop::StopReason::Quit);
    EXPECT_THAT(lines, ElementsAre("t", "l", "", "quit"));
}

TEST_F(PosixConsoleLoopTest, LinesSplitAcrossReadsArriveWhole) {
    PosixConsoleLoop loop;
    Type("qu");
    PosixConsoleLoop::Handlers handlers = Recording();
    bool typedRest = false;
    // The socket stands in for "time passing": each wake-up types a little more.
    PosixUdpEndpoint socket;
    ASSERT_FALSE(socket.Bind(0).has_value());
    const auto poke = [&socket] {
        (void)socket.Send(std::vector<std::uint8_t>{1}, Ipv4Address{{127, 0, 0, 1}},
                          socket.BoundPort(), SendRoute{});
    };
    handlers.socketReadable = [&] {
        (void)socket.Receive();
        if (!typedRest) {
            typedRest = true;
            Type("it\n");
        }
    };
    poke();
    EXPECT_EQ(loop.Run(static_cast<int>(socket.NativeHandle()), InputFd(), handlers),
              PosixConsoleLoop::StopReason::Quit);
    EXPECT_THAT(lines, ElementsAre("quit"));
}

TEST_F(PosixConsoleLoopTest, OverlongLineIsDroppedWholeAndTheNextOneCounts) {
    PosixConsoleLoop loop;
    Type(std::string(PosixConsoleLoop::kMaxLineLength * 10, 'x') + "\nquit\n");
    EXPECT_EQ(loop.Run(-1, InputFd(), Recording()), PosixConsoleLoop::StopReason::Quit);
    EXPECT_THAT(lines, ElementsAre("quit"));
}

TEST_F(PosixConsoleLoopTest, StopSignalEndsTheLoopAndIsNamed) {
    PosixConsoleLoop loop;
    Type("stop\n");
    EXPECT_EQ(loop.Run(-1, InputFd(), Recording()), PosixConsoleLoop::StopReason::Signal);
    EXPECT_EQ(loop.StopSignal(), SIGTERM);
}

TEST_F(PosixConsoleLoopTest, SignalPendingBeforeTheLoopEndsItAtOnce) {
    PosixConsoleLoop loop;
    ::raise(SIGINT);
    Type("never\n");
    EXPECT_EQ(loop.Run(-1, InputFd(), Recording()), PosixConsoleLoop::StopReason::Signal);
    EXPECT_EQ(loop.StopSignal(), SIGINT);
}

TEST_F(PosixConsoleLoopTest, EndOfInputKeepsTheServerRunning) {
    PosixConsoleLoop loop;
    PosixUdpEndpoint socket;
    ASSERT_FALSE(socket.Bind(0).has_value());
    Type("a\n");
    CloseWriteEnd();

    int datagrams = 0;
    PosixConsoleLoop::Handlers handlers = Recording();
    handlers.socketReadable = [&] {
        while (true) {
            auto received = socket.Receive();
            if (!received.ok() || !received.value()) {
                break;
            }
            ++datagrams;
        }
        ::raise(SIGTERM);
    };
    handlers.inputLine = [&](std::string_view line) {
        lines.emplace_back(line);
        // Once input has ended, only a datagram can wake the loop again.
        (void)socket.Send(std::vector<std::uint8_t>{7}, Ipv4Address{{127, 0, 0, 1}},
                          socket.BoundPort(), SendRoute{});
        return true;
    };
    EXPECT_EQ(loop.Run(static_cast<int>(socket.NativeHandle()), InputFd(), handlers),
              PosixConsoleLoop::StopReason::Signal);
    EXPECT_THAT(lines, ElementsAre("a"));
    EXPECT_EQ(datagrams, 1);
}

TEST_F(PosixConsoleLoopTest, SignalMaskIsRestoredAfterTheLoop) {
    ASSERT_FALSE(SignalBlocked(SIGTERM));
    {
        PosixConsoleLoop loop;
        EXPECT_TRUE(SignalBlocked(SIGTERM));
        EXPECT_TRUE(SignalBlocked(SIGINT));
        // A signal that arrives after the loop is done is swallowed, not delivered.
        ::raise(SIGHUP);
    }
    EXPECT_FALSE(SignalBlocked(SIGTERM));
    EXPECT_FALSE(SignalBlocked(SIGHUP));
}

}  // namespace
}  // namespace tarnleaf
