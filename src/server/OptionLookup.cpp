#include "OptionLookup.h"

#include <array>
#include <cstddef>

namespace tarnleaf {

namespace {

constexpr std::array<std::uint8_t, 4> kCookie{99, 130, 83, 99};
constexpr std::uint8_t kEnd = 255;

}  // namespace

std::optional<std::uint32_t> FindOptionValue(std::uint16_t code,
                                             std::span<const std::uint8_t> area) {
    const std::size_t size = area.size();
    if (size < 7) {
        return std::nullopt;
    }
    for (std::size_t k = 0; k < kCookie.size(); ++k) {
        if (area[k] != kCookie[k]) {
            return std::nullopt;
        }
    }

    std::size_t i = 4;
    while (i < size) {
        const std::uint8_t b = area[i];
        if (b == kEnd) {
            return std::nullopt;
        }
        if (b == code) {
            break;
        }
        if (i + 1 >= size) {
            return std::nullopt;  // a code without its length byte: the list is cut off
        }
        i += static_cast<std::size_t>(area[i + 1]) + 2;
    }
    if (i + 1 >= size) {
        return std::nullopt;
    }

    const std::size_t length = area[i + 1];
    if (length != 1 && length != 2 && length != 4) {
        return std::nullopt;
    }
    if (i + 1 + length >= size) {
        return std::nullopt;  // the value bytes would lie past the area
    }
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < length; ++k) {
        value = (value << 8) | area[i + 2 + k];
    }
    return value;
}

}  // namespace tarnleaf
