#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "IniSnapshot.h"
#include "ProfileSource.h"

namespace tarnleaf {

// Profiles held in memory: the text of an INI file, parsed once. For tests of the layers
// above the configuration, and for anything that builds profiles without a file.
class StaticProfileSource final : public ProfileSource {
public:
    explicit StaticProfileSource(std::string_view iniText)
        : snapshot_(IniSnapshot::Parse(iniText)) {}
    explicit StaticProfileSource(IniSnapshot snapshot) : snapshot_(std::move(snapshot)) {}

    // Swaps in new text, as an edit of the file would; takes effect at once.
    void SetText(std::string_view iniText) { snapshot_ = IniSnapshot::Parse(iniText); }

    void Refresh() override { ++refreshCount_; }
    const IniSnapshot& Snapshot() const override { return snapshot_; }

    int RefreshCount() const { return refreshCount_; }

private:
    IniSnapshot snapshot_;
    int refreshCount_ = 0;
};

}  // namespace tarnleaf
