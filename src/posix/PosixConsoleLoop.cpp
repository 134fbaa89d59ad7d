#include "PosixConsoleLoop.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <string>

#include "PosixUdpEndpoint.h"

namespace tarnleaf {

namespace {

// True unless `fd` is a terminal whose foreground process group is another one.
bool InForeground(int fd) {
    const pid_t group = ::tcgetpgrp(fd);
    return group < 0 ? errno != EIO : group == ::getpgrp();
}

constexpr std::array<int, 3> kStopSignals{SIGINT, SIGTERM, SIGHUP};

// Set by the stop signals' handler while Serve runs.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void NoteStopSignal(int signal) { gStopSignal = signal; }

// What an epoll event stands for.
enum Source : std::uint32_t { kSignals, kSocket, kInput };

bool Watch(int epollFd, int fd, Source source) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u32 = source;
    return ::epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &event) == 0;
}

}  // namespace

PosixConsoleLoop::PosixConsoleLoop() {
    sigemptyset(&stopSignals_);
    for (const int signal : kStopSignals) {
        // One ignored at the start stays ignored: "nohup tarnleafd &" must outlive its
        // terminal, and a script's background job its Ctrl+C.
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            continue;
        }
        sigaddset(&stopSignals_, signal);
    }
    if (const int code = ::pthread_sigmask(SIG_BLOCK, &stopSignals_, &previousMask_); code != 0) {
        setupError_ = SocketErrorFromErrno(code);
        return;
    }
    signalFd_ = ::signalfd(-1, &stopSignals_, SFD_NONBLOCK | SFD_CLOEXEC);
    // epoll rather than poll: the server waits once per request when it is not busy, and an
    // epoll wait does not sign up for every descriptor each time.
    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    if (signalFd_ < 0 || epollFd_ < 0 || !Watch(epollFd_, signalFd_, kSignals)) {
        setupError_ = SocketErrorFromErrno(errno);
    }
}

PosixConsoleLoop::~PosixConsoleLoop() {
    if (signalFd_ >= 0) {
        // Signals that came in after the loop ended must not reach the default action.
        std::array<signalfd_siginfo, 8> drained{};
        while (::read(signalFd_, drained.data(), sizeof drained) > 0) {
        }
        ::close(signalFd_);
    }
    if (epollFd_ >= 0) {
        ::close(epollFd_);
    }
    ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

PosixConsoleLoop::StopReason PosixConsoleLoop::Run(int socketFd, int inputFd,
                                                   const Handlers& handlers) {
    stopSignal_ = 0;
    if (setupError_) {
        return StopReason::Failure;
    }
    // The socket and the input are watched for this run only.
    int watchedInput = -1;
    struct Unwatch {
        int epollFd;
        int socketFd;
        int& inputFd;
        ~Unwatch() {
            for (const int fd : {socketFd, inputFd}) {
                if (fd >= 0) {
                    ::epoll_ctl(epollFd, EPOLL_CTL_DEL, fd, nullptr);
                }
            }
        }
    } unwatch{epollFd_, -1, watchedInput};
    if (socketFd >= 0) {
        if (!Watch(epollFd_, socketFd, kSocket)) {
            return StopReason::Failure;
        }
        unwatch.socketFd = socketFd;
    }
    for (;;) {
        // A server started with "&" shares the terminal with the shell: it reads commands
        // only while it is in the foreground, and looks again now and then (after "fg").
        const bool readInput = inputFd >= 0 && InForeground(inputFd);
        bool inputAlwaysReady = false;
        if ((readInput ? inputFd : -1) != watchedInput) {
            if (watchedInput >= 0) {
                ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, watchedInput, nullptr);
                watchedInput = -1;
            }
            if (readInput) {
                if (Watch(epollFd_, inputFd, kInput)) {
                    watchedInput = inputFd;
                } else {
                    // A plain file cannot be watched; it is always readable.
                    inputAlwaysReady = errno == EPERM;
                }
            }
        }
        int timeout = inputFd >= 0 && !readInput ? kBackgroundRecheckMilliseconds : -1;
        if (inputAlwaysReady) {
            timeout = 0;
        }
        std::array<epoll_event, 3> events{};
        const int ready = ::epoll_wait(epollFd_, events.data(), events.size(), timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return StopReason::Failure;
        }
        std::array<std::uint32_t, 3> revents{};
        for (int i = 0; i < ready; ++i) {
            revents[events[static_cast<std::size_t>(i)].data.u32] |=
                events[static_cast<std::size_t>(i)].events;
        }
        if ((revents[kSignals] & EPOLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                stopSignal_ = static_cast<int>(info.ssi_signo);
                return StopReason::Signal;
            }
        }
        if ((revents[kSocket] & (EPOLLIN | EPOLLERR)) != 0 && handlers.socketReadable) {
            handlers.socketReadable();
        }
        if (inputAlwaysReady || (revents[kInput] & (EPOLLIN | EPOLLHUP | EPOLLERR)) != 0) {
            const int before = inputFd;
            if (!ReadInput(inputFd, handlers)) {
                return StopReason::Quit;
            }
            if (inputFd != before && watchedInput == before) {
                ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, before, nullptr);
                watchedInput = -1;
            }
        }
    }
}

int PosixConsoleLoop::OwnInput(int fd) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const int own = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return own >= 0 ? own : fd;
}

PosixConsoleLoop::StopReason PosixConsoleLoop::Serve(const std::function<void()>& serve) {
    stopSignal_ = 0;
    if (setupError_) {
        return StopReason::Failure;
    }
    // Without SA_RESTART: the receive a signal falls into must end, not start again.
    struct sigaction noteStop {};
    noteStop.sa_handler = NoteStopSignal;
    sigemptyset(&noteStop.sa_mask);
    std::array<struct sigaction, kStopSignals.size()> previous{};
    gStopSignal = 0;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        if (sigismember(&stopSignals_, kStopSignals[i]) == 1) {
            ::sigaction(kStopSignals[i], &noteStop, &previous[i]);
        }
    }
    // Signals that came while they were blocked are handled here, before the first wait.
    ::pthread_sigmask(SIG_UNBLOCK, &stopSignals_, nullptr);
    while (gStopSignal == 0) {
        serve();
    }
    ::pthread_sigmask(SIG_BLOCK, &stopSignals_, nullptr);
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        if (sigismember(&stopSignals_, kStopSignals[i]) == 1) {
            ::sigaction(kStopSignals[i], &previous[i], nullptr);
        }
    }
    stopSignal_ = gStopSignal;
    return StopReason::Signal;
}

bool PosixConsoleLoop::ReadInput(int& inputFd, const Handlers& handlers) {
    std::array<char, 1024> chunk{};
    const ssize_t length = ::read(inputFd, chunk.data(), chunk.size());
    if (length < 0 && (errno == EINTR || errno == EAGAIN ||
                       (errno == EIO && ++inputErrors_ < kMaxInputErrors))) {
        // EIO: read from the background in the moment it was sent there; try again later.
        return true;
    }
    if (length > 0) {
        inputErrors_ = 0;
    }
    if (length <= 0) {
        // End of input (Ctrl+D) or a broken terminal: stop reading commands, keep serving.
        inputFd = -1;
        lines_ = LineSplitter(kMaxLineLength);
        return true;
    }
    if (!handlers.inputLine) {
        return true;
    }
    return lines_.Feed(std::string_view(chunk.data(), static_cast<std::size_t>(length)),
                       handlers.inputLine);
}

}  // namespace tarnleaf
