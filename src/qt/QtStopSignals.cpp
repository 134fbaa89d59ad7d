#include "QtStopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

namespace tarnleaf {
namespace {

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

// The pipe's write end for the handler; -1 while no object is active.
std::atomic<int> gWriteFd{-1};

extern "C" void WriteSignalNumber(int signal) {
    const int saved = errno;
    const int fd = gWriteFd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        // A full pipe already holds a wake-up; this one may be lost.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

QtStopSignals::QtStopSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    int expected = -1;
    if (!gWriteFd.compare_exchange_strong(expected, fds[1])) {
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    struct sigaction action{};
    action.sa_handler = WriteSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], &action, &previous_[i]);
    }
    notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { Drain(); });
    active_ = true;
}

QtStopSignals::~QtStopSignals() {
    if (!active_) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    gWriteFd.store(-1);
    notifier_.reset();
    ::close(readFd_);
    ::close(writeFd_);
}

void QtStopSignals::Drain() {
    unsigned char buffer[16];
    int last = 0;
    // Bounded: the pipe holds what the handler wrote; a storm of signals counts once.
    for (int round = 0; round < 64; ++round) {
        const ssize_t got = ::read(readFd_, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        last = buffer[got - 1];
    }
    if (last != 0 && onSignal_) {
        onSignal_(last);
    }
}

}  // namespace tarnleaf
