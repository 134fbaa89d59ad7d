#pragma once

#include <csignal>
#include <functional>
#include <memory>

#include <QSocketNotifier>

namespace tarnleaf {

// SIGINT, SIGTERM and SIGHUP as events of Qt's loop: the handler only writes the signal's
// number into a pipe, and `onSignal` runs from the loop, where the program may end cleanly
// (its tray icon removed). One object at a time per process; the previous handlers come back
// when it ends.
class QtStopSignals {
public:
    explicit QtStopSignals(std::function<void(int)> onSignal);
    ~QtStopSignals();
    QtStopSignals(const QtStopSignals&) = delete;
    QtStopSignals& operator=(const QtStopSignals&) = delete;

    // False when the handlers could not be installed (no pipe, or another object active).
    bool Active() const { return active_; }

private:
    void Drain();

    std::function<void(int)> onSignal_;
    int readFd_ = -1;
    int writeFd_ = -1;
    bool active_ = false;
    struct sigaction previous_[3]{};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tarnleaf
