#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "BootpConstants.h"
#include "OptionCatalogue.h"

namespace tarnleaf {

using OptionArea = std::vector<std::uint8_t>;

inline constexpr std::size_t kTextOptionMaxBytes = 80;
inline constexpr std::size_t kMaxIpListAddresses = 63;   // 4 x 63 = 252 fits the length byte
inline constexpr std::size_t kMaxByteListValues = 255;

// Writes the magic cookie into bytes 0..3; an area of fewer than 4 bytes is left alone.
void WriteMagicCookie(OptionArea& area);

// True when an option of `dataLength` bytes at `position` fits with one byte to spare for
// the end mark: its last byte and the end mark both lie inside the area.
bool OptionFits(const OptionArea& area, std::size_t position, std::size_t dataLength);

// The writers: each writes at most one option (code, length, data) at `position` and moves
// `position` past it only when it writes. An empty value, a value that does not convert and
// an option that does not fit write nothing.
void WriteIpListOption(std::uint8_t code, std::string_view value, OptionArea& area,
                       std::size_t& position);
void WriteLongOption(std::uint8_t code, std::string_view value, OptionArea& area,
                     std::size_t& position);
void WriteShortOption(std::uint8_t code, std::string_view value, OptionArea& area,
                      std::size_t& position);
void WriteFlagOption(std::uint8_t code, std::string_view value, OptionArea& area,
                     std::size_t& position);
void WriteTextOption(std::uint8_t code, std::string_view value, OptionArea& area,
                     std::size_t& position);
void WriteByteListOption(std::uint8_t code, std::string_view value, OptionArea& area,
                         std::size_t& position);

// The writer for `kind`.
void WriteOption(OptionKind kind, std::uint8_t code, std::string_view value, OptionArea& area,
                 std::size_t& position);

}  // namespace tarnleaf
