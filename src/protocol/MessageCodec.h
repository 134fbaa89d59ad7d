#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "BootpMessage.h"
#include "Result.h"

namespace tarnleaf {

inline constexpr std::size_t kFixedHeaderSize = 236;
inline constexpr std::size_t kMinimumMessageSize = 300;

// A field of a record that cannot be put on the wire (such values only come from a
// profile, never from a decoded request).
struct EncodeError {
    std::string field;  // "op", "secs", "ciaddr", "chaddr", ...
    std::string text;   // the value as held in the record
};

// Datagrams under 300 bytes give the empty record; anything longer decodes.
BootpMessage DecodeMessage(std::span<const std::uint8_t> datagram);
// The same into a record that is reused from message to message (its storage is kept).
void DecodeMessage(std::span<const std::uint8_t> datagram, BootpMessage& into);

// 236 bytes of header plus the option area exactly as held; the first field that cannot be
// encoded is reported instead.
Result<std::vector<std::uint8_t>, EncodeError> EncodeMessage(const BootpMessage& message);
// The same into a buffer that is reused from message to message; its content is undefined
// after a failure.
std::optional<EncodeError> EncodeMessage(const BootpMessage& message,
                                         std::vector<std::uint8_t>& into);

// The four bytes an address field's text goes out as: the leading number of each "."-piece,
// missing pieces zero; no value when a piece is beyond a byte, which fails the encoding.
std::optional<std::array<std::uint8_t, 4>> EncodedAddress(std::string_view text);

}  // namespace tarnleaf
