#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "Clock.h"

namespace tarnleaf {

// Linux has no user-chosen short date format, so the log uses one unambiguous local form.
class PosixClock final : public Clock {
public:
    // Formatted once per second: a busy log asks for it with every entry.
    std::string_view LocalTimestamp() const override;
    std::uint64_t SeedValue() const override;

private:
    mutable std::time_t formattedSecond_ = -1;
    mutable std::string formatted_;
};

// "yyyy/MM/dd HH:mm:ss" in local time.
std::string FormatLocalTimestamp(std::time_t when);

}  // namespace tarnleaf
