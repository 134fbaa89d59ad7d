#include "OptionLookup.h"

#include <algorithm>
#include <cstddef>

#include "BootpConstants.h"

namespace tarnleaf {

std::optional<std::uint32_t> FindOptionValue(std::uint16_t code,
                                             std::span<const std::uint8_t> area) {
    const std::size_t size = area.size();
    if (size < 7) {
        return std::nullopt;
    }
    if (!std::equal(kMagicCookie.begin(), kMagicCookie.end(), area.begin())) {
        return std::nullopt;
    }

    std::size_t i = 4;
    while (i < size) {
        const std::uint8_t b = area[i];
        if (b == kEndOption) {
            return std::nullopt;
        }
        if (b == kPadOption) {
            // A pad is one byte with no length: clients may align their options with them.
            ++i;
            continue;
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
