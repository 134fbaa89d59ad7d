#include "Win32ConsoleLoop.h"

#include <winsock2.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "LineSplitter.h"
#include "WinsockError.h"

namespace tarnleaf {
namespace {

// The console control handler runs on a thread of the system's; it only sets this event.
std::atomic<HANDLE> gStopEvent{nullptr};
std::atomic<HANDLE> gStoppedEvent{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: {
            const HANDLE stop = gStopEvent.load();
            if (stop == nullptr) {
                return FALSE;
            }
            SetEvent(stop);
            if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
                // The process is ended once this returns: give the program a moment to
                // return from Run and write out the log it holds, which the loop's end
                // (its destructor) signals.
                if (const HANDLE stopped = gStoppedEvent.load()) {
                    WaitForSingleObject(stopped, 4000);
                }
            }
            return TRUE;
        }
        default:
            return FALSE;
    }
}

SocketError LastSystemError() {
    const DWORD code = GetLastError();
    return SocketError{static_cast<int>(code), "system error " + std::to_string(code)};
}

}  // namespace


// Reads standard input on a thread of its own and queues whole lines for the loop. The
// thread may stay blocked in a read when the loop ends; it owns nothing the loop frees
// (the shared state is reference counted) and ends with the process.
struct Win32ConsoleLoop::InputReader {
    struct Shared {
        std::mutex mutex;
        std::deque<std::string> lines;
        bool ended = false;
        HANDLE ready = nullptr;
        ~Shared() {
            if (ready != nullptr) CloseHandle(ready);
        }
    };

    std::shared_ptr<Shared> shared = std::make_shared<Shared>();

    bool Start(HANDLE input) {
        shared->ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (shared->ready == nullptr) {
            return false;
        }
        std::thread([state = shared, input] {
            LineSplitter splitter(kMaxLineLength);
            std::array<char, 1024> chunk{};
            for (;;) {
                DWORD length = 0;
                if (!ReadFile(input, chunk.data(), static_cast<DWORD>(chunk.size()), &length,
                              nullptr) ||
                    length == 0) {
                    break;
                }
                splitter.Feed(std::string_view(chunk.data(), length),
                              [&state](std::string_view line) {
                                  std::lock_guard lock(state->mutex);
                                  state->lines.emplace_back(line);
                                  SetEvent(state->ready);
                                  return true;
                              });
            }
            std::lock_guard lock(state->mutex);
            state->ended = true;
            SetEvent(state->ready);
        }).detach();
        return true;
    }

    // Takes the queued lines; `ended` tells whether input is over.
    std::deque<std::string> Take(bool& ended) {
        std::lock_guard lock(shared->mutex);
        std::deque<std::string> taken;
        taken.swap(shared->lines);
        ended = shared->ended;
        ResetEvent(shared->ready);
        return taken;
    }
};

Win32ConsoleLoop::Win32ConsoleLoop() {
    stopEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    socketEvent_ = WSACreateEvent();
    const HANDLE stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (stopEvent_ == nullptr || socketEvent_ == WSA_INVALID_EVENT || stopped == nullptr) {
        setupError_ = LastSystemError();
        if (stopped != nullptr) CloseHandle(stopped);
        return;
    }
    gStoppedEvent.store(stopped);
    gStopEvent.store(static_cast<HANDLE>(stopEvent_));
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
        setupError_ = LastSystemError();
    }
}

Win32ConsoleLoop::~Win32ConsoleLoop() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    gStopEvent.store(nullptr);
    if (const HANDLE stopped = gStoppedEvent.exchange(nullptr)) {
        SetEvent(stopped);
        // The handler may still be waiting on it; the process is about to end anyway.
    }
    if (socketEvent_ != nullptr && socketEvent_ != WSA_INVALID_EVENT) {
        WSACloseEvent(static_cast<WSAEVENT>(socketEvent_));
    }
    if (stopEvent_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(stopEvent_));
    }
}

void Win32ConsoleLoop::RequestStop() {
    if (stopEvent_ != nullptr) {
        SetEvent(static_cast<HANDLE>(stopEvent_));
    }
}

Win32ConsoleLoop::StopReason Win32ConsoleLoop::Run(std::intptr_t socket, bool readInput,
                                                   const Handlers& handlers) {
    if (setupError_) {
        return StopReason::Failure;
    }
    const SOCKET s = static_cast<SOCKET>(socket);
    const auto socketEvent = static_cast<WSAEVENT>(socketEvent_);
    if (WSAEventSelect(s, socketEvent, FD_READ) != 0) {
        return StopReason::Failure;
    }

    InputReader reader;
    bool inputOpen = false;
    if (readInput) {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        inputOpen = input != nullptr && input != INVALID_HANDLE_VALUE && reader.Start(input);
    }

    auto finish = [&](StopReason reason) {
        WSAEventSelect(s, nullptr, 0);
        return reason;
    };

    for (;;) {
        std::array<HANDLE, 3> waited{static_cast<HANDLE>(stopEvent_), socketEvent,
                                     inputOpen ? reader.shared->ready : nullptr};
        const DWORD count = inputOpen ? 3 : 2;
        const DWORD woken = WaitForMultipleObjects(count, waited.data(), FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0) {
            return finish(StopReason::Signal);
        }
        if (woken == WAIT_OBJECT_0 + 1) {
            WSANETWORKEVENTS events{};
            WSAEnumNetworkEvents(s, socketEvent, &events);  // also resets the event
            if (handlers.socketReadable) {
                handlers.socketReadable();
            }
        } else if (woken == WAIT_OBJECT_0 + 2) {
            bool ended = false;
            for (const std::string& line : reader.Take(ended)) {
                if (handlers.inputLine && !handlers.inputLine(line)) {
                    return finish(StopReason::Quit);
                }
            }
            if (ended) {
                inputOpen = false;
            }
        } else {
            return finish(StopReason::Failure);
        }
    }
}

}  // namespace tarnleaf
