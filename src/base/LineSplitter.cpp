#include "LineSplitter.h"

namespace tarnleaf {

bool LineSplitter::Feed(std::string_view bytes, const std::function<bool(std::string_view)>& emit) {
    for (const char c : bytes) {
        if (c == '\n') {
            const bool wasDiscarding = discarding_;
            discarding_ = false;
            std::string line;
            line.swap(pending_);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!wasDiscarding && emit && !emit(line)) {
                return false;
            }
        } else if (!discarding_) {
            if (pending_.size() >= maxLength_) {
                pending_.clear();
                discarding_ = true;
            } else {
                pending_.push_back(c);
            }
        }
    }
    return true;
}

}  // namespace tarnleaf
