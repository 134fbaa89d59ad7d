#include "ProfileOverlayCache.h"

namespace tarnleaf {

const ProfileOverlay& ProfileOverlayCache::Find(const ProfileSource& source,
                                                std::string_view section) {
    const IniSnapshot& snapshot = source.Snapshot();
    if (serial_ != snapshot.Serial()) {
        overlays_.clear();
        serial_ = snapshot.Serial();
    }
    if (const auto found = overlays_.find(section); found != overlays_.end()) {
        return found->second;
    }
    if (overlays_.size() >= kMaxEntries) {
        overlays_.clear();
    }
    return overlays_.emplace(section, ReadProfileOverlay(source.Section(section)))
        .first->second;
}

}  // namespace tarnleaf
