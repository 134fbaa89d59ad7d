#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "IniSnapshot.h"
#include "ProfileSection.h"

namespace tarnleaf {

// A profiles file that exists but cannot be read: the log says so, whatever the logging
// switch, once when the condition begins.
struct ProfileReadFault {
    std::string file;
    std::string reason;
};

// Where profiles are read from: the sections and keys of Tarnleaf.ini. The request cycle
// and the test message call Refresh() once at the start of every message they handle, so
// every key of one reply comes from one consistent state of the file, and an edit counts
// from the next message on.
class ProfileSource {
public:
    virtual ~ProfileSource() = default;

    virtual void Refresh() = 0;

    // The state of the file that answers every read until the next Refresh(); it does not
    // change in between.
    virtual const IniSnapshot& Snapshot() const = 0;

    // A read fault that began at a Refresh() and has not been taken yet; each is handed out
    // once. Sources that read no file have none.
    virtual std::optional<ProfileReadFault> TakeReadFault() { return std::nullopt; }

    // One key as the platform's private-profile call gives it: trimmed, at most 254 bytes,
    // `defaultValue` when the file, section or key is missing.
    std::string GetIniString(std::string_view section, std::string_view key,
                             std::string_view defaultValue) const {
        return Snapshot().GetIniString(section, key, defaultValue);
    }

    // The profile named `section`, to read many of its keys after a single lookup.
    ProfileSection Section(std::string_view section) const {
        return ProfileSection(Snapshot().FindSection(section));
    }

    // ReadProfileValue: the key, else (while the value is empty) the first alternative,
    // else the second.
    std::string ReadProfileValue(std::string_view section, std::string_view key,
                                 std::string_view alternative1 = {},
                                 std::string_view alternative2 = {}) const {
        return std::string(Section(section).ReadProfileValue(key, alternative1, alternative2));
    }
};

}  // namespace tarnleaf
