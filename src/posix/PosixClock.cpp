#include "PosixClock.h"

#include <array>
#include <atomic>
#include <chrono>

namespace tarnleaf {

std::string FormatLocalTimestamp(std::time_t when) {
    std::tm local{};
    if (::localtime_r(&when, &local) == nullptr) {
        return "0000/00/00 00:00:00";
    }
    std::array<char, 32> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y/%m/%d %H:%M:%S", &local);
    return std::string(text.data(), length);
}

std::string_view PosixClock::LocalTimestamp() const {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    if (now != formattedSecond_) {
        formatted_ = FormatLocalTimestamp(now);
        formattedSecond_ = now;
    }
    return formatted_;
}

std::uint64_t PosixClock::SeedValue() const {
    // Two tests within one clock tick must still draw different transaction ids.
    static std::atomic<std::uint64_t> calls{0};
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    const std::uint64_t count = calls.fetch_add(1, std::memory_order_relaxed);
    return static_cast<std::uint64_t>(now) ^ (count * 0x9E3779B97F4A7C15ULL);
}

}  // namespace tarnleaf
