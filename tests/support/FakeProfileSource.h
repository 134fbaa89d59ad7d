#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/IniSnapshot.h"
#include "config/ProfileSource.h"

namespace tarnleaf::testing {

// Profiles set key by key from a test. The keys are written out as INI text and read back
// through the program's own INI reader, so names match regardless of case and values are
// trimmed exactly as from a file. Counts Refresh() calls so tests can see when the file
// would be re-read.
class FakeProfileSource : public ProfileSource {
public:
    FakeProfileSource& Set(std::string_view section, std::string_view key, std::string_view value) {
        entries_.push_back({std::string(section), std::string(key), std::string(value)});
        Rebuild();
        return *this;
    }

    void Refresh() override { ++refreshes_; }
    int Refreshes() const { return refreshes_; }

    const IniSnapshot& Snapshot() const override { return snapshot_; }

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };

    // Later settings of a key replace earlier ones; one section header per section.
    void Rebuild() {
        std::vector<std::string> sections;
        for (const Entry& e : entries_) {
            bool known = false;
            for (const std::string& s : sections) {
                known = known || s == e.section;
            }
            if (!known) {
                sections.push_back(e.section);
            }
        }
        std::string text;
        for (const std::string& section : sections) {
            text += "[" + section + "]\n";
            for (std::size_t i = entries_.size(); i-- > 0;) {
                const Entry& e = entries_[i];
                if (e.section == section) {
                    text += e.key + "=" + e.value + "\n";  // the first of duplicates wins
                }
            }
        }
        snapshot_ = IniSnapshot::Parse(text);
    }

    std::vector<Entry> entries_;
    IniSnapshot snapshot_;
    int refreshes_ = 0;
};

}  // namespace tarnleaf::testing
