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

    // A value together with the name it was found under.
    struct Entry {
        std::string_view name;
        std::string_view value;
    };

    // ReadProfileValue: the key, else (while the value is empty) the first alternative, else
    // the second. Values are trimmed of spaces; a missing key reads as empty.
    std::string_view ReadProfileValue(const IniKey& key, const IniKey& alternative1 = {},
                                      const IniKey& alternative2 = {}) const {
        return ReadProfileEntry(key, alternative1, alternative2).value;
    }

    // The same, with the name that gave the value (the last name tried when all are empty).
    Entry ReadProfileEntry(const IniKey& key, const IniKey& alternative1 = {},
                           const IniKey& alternative2 = {}) const {
        Entry entry{key.Name(), section_.Value(key)};
        // The second alternative is tried only behind the first: a key with one alternative
        // never looks further, however it is called.
        if (entry.value.empty() && !alternative1.empty()) {
            entry = {alternative1.Name(), section_.Value(alternative1)};
            if (entry.value.empty() && !alternative2.empty()) {
                entry = {alternative2.Name(), section_.Value(alternative2)};
            }
        }
        return entry;
    }

private:
    IniSnapshot::Section section_;
};

}  // namespace tarnleaf
