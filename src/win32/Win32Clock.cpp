#include "Win32Clock.h"

#include <windows.h>

#include <array>
#include <cstdio>

namespace tarnleaf {
namespace {

SYSTEMTIME ToSystemTime(const LocalDateTime& moment) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(moment.year);
    time.wMonth = static_cast<WORD>(moment.month);
    time.wDay = static_cast<WORD>(moment.day);
    time.wDayOfWeek = static_cast<WORD>(moment.dayOfWeek);
    time.wHour = static_cast<WORD>(moment.hour);
    time.wMinute = static_cast<WORD>(moment.minute);
    time.wSecond = static_cast<WORD>(moment.second);
    return time;
}

bool InRange(const LocalDateTime& m) {
    return m.year >= 1601 && m.year <= 30827 && m.month >= 1 && m.month <= 12 && m.day >= 1 &&
           m.day <= 31 && m.hour >= 0 && m.hour <= 23 && m.minute >= 0 && m.minute <= 59 &&
           m.second >= 0 && m.second <= 59;
}

}  // namespace

std::string FormatFixedDate(const LocalDateTime& m) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%04d/%02d/%02d %02d:%02d:%02d", m.year, m.month,
                  m.day, m.hour, m.minute, m.second);
    return text.data();
}

std::string FormatGeneralDate(const LocalDateTime& moment) {
    if (!InRange(moment)) {
        return FormatFixedDate(moment);
    }
    const SYSTEMTIME time = ToSystemTime(moment);
    // The wide calls, turned into UTF-8 like every other text of the log: a date or time
    // format with letters outside ASCII (era names, AM/PM designators) then shows as written.
    std::array<wchar_t, 128> date{};
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date.data(),
                       static_cast<int>(date.size())) == 0) {
        return FormatFixedDate(moment);
    }
    std::wstring result(date.data());
    if (moment.hour != 0 || moment.minute != 0 || moment.second != 0) {
        std::array<wchar_t, 128> clock{};
        if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock.data(),
                           static_cast<int>(clock.size())) == 0) {
            return FormatFixedDate(moment);
        }
        result += L' ';
        result += clock.data();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, result.data(), static_cast<int>(result.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return FormatFixedDate(moment);
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, result.data(), static_cast<int>(result.size()), text.data(),
                        size, nullptr, nullptr);
    return text;
}

std::string_view Win32Clock::LocalTimestamp() const {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const LocalDateTime moment{now.wYear, now.wMonth, now.wDay, now.wDayOfWeek,
                               now.wHour, now.wMinute, now.wSecond};
    if (formattedMoment_ != moment) {
        formatted_ = FormatGeneralDate(moment);
        formattedMoment_ = moment;
    }
    return formatted_;
}

std::uint64_t Win32Clock::SeedValue() const {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    FILETIME wall{};
    GetSystemTimeAsFileTime(&wall);
    const std::uint64_t wallTicks =
        (static_cast<std::uint64_t>(wall.dwHighDateTime) << 32) | wall.dwLowDateTime;
    return static_cast<std::uint64_t>(counter.QuadPart) ^ (wallTicks * 0x9E3779B97F4A7C15ull) ^
           GetCurrentProcessId();
}

}  // namespace tarnleaf
