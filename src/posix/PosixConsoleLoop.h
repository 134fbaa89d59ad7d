#pragma once

#include <csignal>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "LineSplitter.h"
#include "UdpEndpoint.h"

namespace tarnleaf {

// The event loop of the console server on Linux: one epoll wait over the server socket, the
// command input (when there is one) and a signalfd for SIGINT, SIGTERM and SIGHUP; or, with
// no input to read, a wait in the socket's receive alone. Every handler runs to completion
// before the next event is looked at, as the desktop program's message loop does.
class PosixConsoleLoop {
public:
    enum class StopReason { Signal, Quit, Failure };

    struct Handlers {
        // The socket has data: handle waiting datagrams, each one whole.
        std::function<void()> socketReadable;
        // One line of command input without its line end; false ends the loop.
        std::function<bool(std::string_view line)> inputLine;
    };

    // Longer lines of command input are dropped whole: no command is that long.
    static constexpr std::size_t kMaxLineLength = 256;
    // While in the background, how often to look whether the terminal is ours again.
    static constexpr int kBackgroundRecheckMilliseconds = 1000;
    // Read errors in a row after which the input counts as gone.
    static constexpr int kMaxInputErrors = 100;

    // Blocks the stop signals for this thread so that they arrive at the signalfd only;
    // the previous signal mask comes back on destruction.
    PosixConsoleLoop();
    ~PosixConsoleLoop();
    PosixConsoleLoop(const PosixConsoleLoop&) = delete;
    PosixConsoleLoop& operator=(const PosixConsoleLoop&) = delete;

    // Set when the loop could not be set up (no signalfd).
    const std::optional<SocketError>& SetupError() const { return setupError_; }

    // Runs until a stop signal, a handler's "quit", or a failure of the wait itself. `inputFd`
    // is -1 when commands are not read; end of input stops reading it but not the loop.
    StopReason Run(int socketFd, int inputFd, const Handlers& handlers);

    // With no command input the socket is all there is to wait for, and `serve` waits in
    // the socket's receive itself (PosixUdpEndpoint::WaitInReceive): a system call per
    // request fewer than Run's wait. The stop signals then come through a handler that ends
    // that wait, and `serve` must return when its wait ends. A signal that comes in just
    // before a wait begins is seen when it ends: at the next datagram or the receive's time
    // limit. Runs until a stop signal.
    StopReason Serve(const std::function<void()>& serve);

    // What Run should read commands from when they come from `fd`: a description of its own,
    // non-blocking, of the same terminal or pipe. One shared with another reader (a pager,
    // the shell) can report input that the other then takes, and a blocking read would hold
    // the server, signals and all, until the next line; the shared description stays
    // blocking, as the others expect. `fd` itself when no such description can be opened.
    // Open it before privileges are given up: the terminal may be root's.
    static int OwnInput(int fd);

    // The signal that ended the last Run or Serve (0 if none).
    int StopSignal() const { return stopSignal_; }

private:
    // Reads what is there and hands over every complete line; false when a handler quit.
    bool ReadInput(int& inputFd, const Handlers& handlers);

    int signalFd_ = -1;
    int epollFd_ = -1;
    sigset_t stopSignals_{};
    sigset_t previousMask_{};
    std::optional<SocketError> setupError_;
    LineSplitter lines_{kMaxLineLength};
    int inputErrors_ = 0;
    int stopSignal_ = 0;
};

}  // namespace tarnleaf
