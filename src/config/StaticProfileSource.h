#pragma once

#include <optional>
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

    // A read fault that the next TakeReadFault() hands out, as a file source would.
    void SetReadFault(ProfileReadFault fault) { fault_ = std::move(fault); }

    void Refresh() override { ++refreshCount_; }
    const IniSnapshot& Snapshot() const override { return snapshot_; }
    std::optional<ProfileReadFault> TakeReadFault() override {
        return std::exchange(fault_, std::nullopt);
    }

    int RefreshCount() const { return refreshCount_; }

private:
    IniSnapshot snapshot_;
    int refreshCount_ = 0;
    std::optional<ProfileReadFault> fault_;
};

}  // namespace tarnleaf
