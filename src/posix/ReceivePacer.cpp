#include "ReceivePacer.h"

namespace tarnleaf {

std::optional<ReceivePacer::Clock::time_point> ReceivePacer::GatherAfter() const {
    if (!gathering_) {
        return std::nullopt;
    }
    return takeAgain_ ? lastTake_ : lastTake_ + kWindow;
}

void ReceivePacer::Took(Clock::time_point now, std::size_t count, bool filled) {
    if (!gathering_) {
        // A wait that timed out or was cut short says nothing of the rate, except that it
        // was not sustained.
        const bool quick = count != 0 && now - lastTake_ < kWindow / 2;
        quickInRow_ = quick ? quickInRow_ + 1 : 0;
        gathering_ = quickInRow_ >= kQuickTakesToGather;
        if (count != 0) {
            lastTake_ = now;
        }
        return;
    }
    if (!takeAgain_) {
        // The take of a whole window: its yield is the rate.
        lastTake_ = now;
        if (count <= 1) {
            gathering_ = false;
            quickInRow_ = 0;
        }
    }
    takeAgain_ = gathering_ && filled;
}

}  // namespace tarnleaf
