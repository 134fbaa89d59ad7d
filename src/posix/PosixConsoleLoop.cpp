#include "PosixConsoleLoop.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "PosixUdpEndpoint.h"

namespace tarnleaf {

namespace {

// True unless `fd` is a terminal whose foreground process group is another one.
bool InForeground(int fd) {
    const pid_t group = ::tcgetpgrp(fd);
    return group < 0 ? errno != EIO : group == ::getpgrp();
}

}  // namespace

PosixConsoleLoop::PosixConsoleLoop() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    if (const int code = ::pthread_sigmask(SIG_BLOCK, &stopSignals, &previousMask_); code != 0) {
        setupError_ = SocketErrorFromErrno(code);
        return;
    }
    signalFd_ = ::signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd_ < 0) {
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
    ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

PosixConsoleLoop::StopReason PosixConsoleLoop::Run(int socketFd, int inputFd,
                                                   const Handlers& handlers) {
    stopSignal_ = 0;
    if (setupError_) {
        return StopReason::Failure;
    }
    for (;;) {
        // A server started with "&" shares the terminal with the shell: it reads commands
        // only while it is in the foreground, and looks again now and then (after "fg").
        const bool readInput = inputFd >= 0 && InForeground(inputFd);
        const int timeout = inputFd >= 0 && !readInput ? kBackgroundRecheckMilliseconds : -1;
        std::array<pollfd, 3> watched{{{signalFd_, POLLIN, 0}, {socketFd, POLLIN, 0},
                                       {readInput ? inputFd : -1, POLLIN, 0}}};
        // A negative descriptor is skipped by poll(), which is how an absent input is left out.
        const int ready = ::poll(watched.data(), watched.size(), timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return StopReason::Failure;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                stopSignal_ = static_cast<int>(info.ssi_signo);
                return StopReason::Signal;
            }
        }
        if ((watched[1].revents & (POLLIN | POLLERR)) != 0 && handlers.socketReadable) {
            handlers.socketReadable();
        }
        if ((watched[2].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0) {
            if (!ReadInput(inputFd, handlers)) {
                return StopReason::Quit;
            }
        }
        if ((watched[1].revents & POLLNVAL) != 0) {
            return StopReason::Failure;
        }
    }
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
        pendingLine_.clear();
        return true;
    }
    for (ssize_t i = 0; i < length; ++i) {
        const char c = chunk[static_cast<std::size_t>(i)];
        if (c == '\n') {
            const bool wasDiscarding = discardingLine_;
            discardingLine_ = false;
            std::string line;
            line.swap(pendingLine_);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!wasDiscarding && handlers.inputLine && !handlers.inputLine(line)) {
                return false;
            }
        } else if (!discardingLine_) {
            if (pendingLine_.size() >= kMaxLineLength) {
                pendingLine_.clear();
                discardingLine_ = true;
            } else {
                pendingLine_.push_back(c);
            }
        }
    }
    return true;
}

}  // namespace tarnleaf
