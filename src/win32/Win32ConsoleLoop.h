#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "UdpEndpoint.h"

namespace tarnleaf {

// The event loop of the console server on Windows: one wait over the server socket's
// network event (WSAEventSelect), a stop event that Ctrl+C, Ctrl+Break and closing the
// console window set (SetConsoleCtrlHandler), and the lines of command input. Consoles do
// not fit a socket wait, so a helper thread only reads input lines and hands them over;
// every handler runs on the loop's thread, one to completion before the next.
// One loop exists at a time (the console control handler has no context of its own).
class Win32ConsoleLoop {
public:
    enum class StopReason { Signal, Quit, Failure };

    struct Handlers {
        std::function<void()> socketReadable;
        // One line of command input without its line end; false ends the loop.
        std::function<bool(std::string_view line)> inputLine;
    };

    // Longer lines of command input are dropped whole: no command is that long.
    static constexpr std::size_t kMaxLineLength = 256;

    Win32ConsoleLoop();
    // Closing the console, logging off or shutting down ends the process once the control
    // handler returns, and the handler waits (up to 4 s) for this destructor: a loop that
    // outlives the log's writer lets the last entries reach the file first.
    ~Win32ConsoleLoop();
    Win32ConsoleLoop(const Win32ConsoleLoop&) = delete;
    Win32ConsoleLoop& operator=(const Win32ConsoleLoop&) = delete;

    const std::optional<SocketError>& SetupError() const { return setupError_; }

    // Runs until a stop request, a handler's "quit" or a failure of the wait. `readInput`
    // says whether standard input carries commands; its end stops reading but not the loop.
    StopReason Run(std::intptr_t socket, bool readInput, const Handlers& handlers);

    // Asks a running loop to stop, as Ctrl+C does (any thread).
    void RequestStop();

private:
    struct InputReader;

    void* stopEvent_ = nullptr;
    void* socketEvent_ = nullptr;
    std::optional<SocketError> setupError_;
};

}  // namespace tarnleaf
