#pragma once

#include <optional>
#include <string>

#include "Clock.h"

namespace tarnleaf {

// A moment of local time, as the system clock gives it.
struct LocalDateTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// The log's date text (UTF-8): the user's short date, a blank and the long time, in the
// user's own formats; at exactly midnight the time is left out, as the general date format
// does. Falls back to "yyyy/MM/dd HH:mm:ss" when the system cannot format the moment.
std::string FormatGeneralDate(const LocalDateTime& moment);

// The fallback form on its own, fixed whatever the user's settings.
std::string FormatFixedDate(const LocalDateTime& moment);

class Win32Clock final : public Clock {
public:
    std::string_view LocalTimestamp() const override;
    std::uint64_t SeedValue() const override;

private:
    // Formatted once a second (the user's formats may change, but not within it).
    mutable std::optional<LocalDateTime> formattedMoment_;
    mutable std::string formatted_;
};

}  // namespace tarnleaf
