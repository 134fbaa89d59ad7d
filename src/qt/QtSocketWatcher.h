#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include <QSocketNotifier>

namespace tarnleaf {

// A socket in Qt's event loop: while it is readable, `handleOne` runs, one datagram each
// time and each to completion, until it returns false (nothing more waiting, or an error it
// has reported) or `maxPerWake` have been handled. The rest waits for the next turn of the
// loop, so a flood cannot starve the window.
class QtSocketWatcher {
public:
    static constexpr int kDefaultMaxPerWake = 64;

    QtSocketWatcher(std::intptr_t socket, std::function<bool()> handleOne,
                    int maxPerWake = kDefaultMaxPerWake);
    ~QtSocketWatcher();
    QtSocketWatcher(const QtSocketWatcher&) = delete;
    QtSocketWatcher& operator=(const QtSocketWatcher&) = delete;

    // False for a socket handle that cannot be watched (negative).
    bool Watching() const { return notifier_ != nullptr; }

private:
    void OnReadable();

    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<bool()> handleOne_;
    int maxPerWake_;
    bool handling_ = false;
};

}  // namespace tarnleaf
