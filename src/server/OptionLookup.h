#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tarnleaf {

// FindOptionValue: the numeric value of the first option `code` in an option area that starts
// with the magic cookie. Length-1, -2 and -4 values read as unsigned, most significant byte
// first; any other length, a missing cookie, an END before the option, and an option list
// that runs into the end of the area give no value. Pad bytes (code 0) are stepped over one
// at a time, so code 0 itself is never found. Never reads outside `area`.
std::optional<std::uint32_t> FindOptionValue(std::uint16_t code,
                                             std::span<const std::uint8_t> area);

}  // namespace tarnleaf
