#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnleaf {

// An IPv4 address in network order (octets[0] is the first number of the dotted form).
struct Ipv4Address {
    std::array<std::uint8_t, 4> octets{};

    static constexpr Ipv4Address Any() { return {}; }
    static constexpr Ipv4Address Broadcast() { return {{255, 255, 255, 255}}; }

    // Strict dotted decimal: four numbers 0..255 of one to three digits, nothing else.
    // Leading zeros are decimal ("010" is 10), never octal.
    static std::optional<Ipv4Address> Parse(std::string_view text);

    // The dotted form, put together without allocating: it is written for every request.
    struct Text {
        std::array<char, 15> chars;
        std::uint8_t size;
        std::string_view View() const { return {chars.data(), size}; }
    };
    Text ToText() const;
    std::string ToString() const { return std::string(ToText().View()); }
    bool IsAny() const { return octets == std::array<std::uint8_t, 4>{}; }

    friend bool operator==(const Ipv4Address&, const Ipv4Address&) = default;
};

}  // namespace tarnleaf
