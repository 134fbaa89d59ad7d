#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tarnleaf {

// FindOptionValue: the numeric value of the first option `code` in an option area that starts
// with the magic cookie. Length-1, -2 and -4 values read as unsigned, most significant byte
// first; any other length, a missing cookie, an END before the option, and an option list
// that runs into the end of the area give no value. Never reads outside `area`.
//
// Code 0 is not padding here: it is read as a code followed by a length like any other, so a
// stray 0 makes the walk jump over the bytes behind it.
std::optional<std::uint32_t> FindOptionValue(std::uint16_t code,
                                             std::span<const std::uint8_t> area);

}  // namespace tarnleaf
