#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ProfileOverlay.h"
#include "ProfileSource.h"

namespace tarnleaf {

// The overlays of the profiles a server has met, for the state of the file they were read
// from: a client that asks again costs one lookup instead of a profile read. Emptied when the
// source moves to another state, so an edit counts from the next request as before. Holds at
// most kMaxEntries overlays (a few MB); a server that meets more clients within one state of
// the file (a flood of made-up addresses) starts afresh rather than grow without end.
class ProfileOverlayCache {
public:
    static constexpr std::size_t kMaxEntries = 4096;

    // The overlay of the section `section` in the source's current state. Valid until the
    // next call.
    const ProfileOverlay& Find(const ProfileSource& source, std::string_view section);

private:
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };

    std::optional<std::uint64_t> serial_;
    std::unordered_map<std::string, ProfileOverlay, NameHash, std::equal_to<>> overlays_;
};

}  // namespace tarnleaf
