#pragma once

#include <string_view>

#include "IniKey.h"
#include "IniSnapshot.h"

namespace tarnleaf {

// One profile, found once in the current state of the file and then read key by key; what a
// load uses so that its many keys cost one section lookup. Values are views into that state,
// valid until the profile source's next Refresh().
class ProfileSection {
public:
    ProfileSection() = default;  // no profile: every key reads as empty
    explicit ProfileSection(IniSnapshot::Section section) : section_(section) {}

    bool Exists() const { return section_.Exists(); }

    // ReadProfileValue: the key, else (while the value is empty) the first alternative, else
    // the second. Values are trimmed of spaces; a missing key reads as empty.
    std::string_view ReadProfileValue(const IniKey& key, const IniKey& alternative1 = {},
                                      const IniKey& alternative2 = {}) const {
        std::string_view value = section_.Value(key);
        // The second alternative is tried only behind the first: a key with one alternative
        // never looks further, however it is called.
        if (value.empty() && !alternative1.empty()) {
            value = section_.Value(alternative1);
            if (value.empty() && !alternative2.empty()) value = section_.Value(alternative2);
        }
        return value;
    }

private:
    IniSnapshot::Section section_;
};

}  // namespace tarnleaf
