#include "QtSocketWatcher.h"

#include <utility>

namespace tarnleaf {

QtSocketWatcher::QtSocketWatcher(std::intptr_t socket, std::function<bool()> handleOne,
                                 int maxPerWake)
    : handleOne_(std::move(handleOne)), maxPerWake_(maxPerWake > 0 ? maxPerWake : 1) {
    if (socket < 0 || !handleOne_) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(socket),
                                                  QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { OnReadable(); });
}

QtSocketWatcher::~QtSocketWatcher() {
    if (notifier_) {
        notifier_->setEnabled(false);
    }
}

void QtSocketWatcher::OnReadable() {
    // A handler that runs a nested loop must not have the next datagram started inside it:
    // one datagram is handled to completion before the next.
    if (handling_) {
        return;
    }
    handling_ = true;
    for (int i = 0; i < maxPerWake_; ++i) {
        if (!handleOne_()) {
            break;
        }
    }
    handling_ = false;
}

}  // namespace tarnleaf
