#include "Ipv4Address.h"

namespace tarnleaf {

std::optional<Ipv4Address> Ipv4Address::Parse(std::string_view text) {
    // Each number is one to three decimal digits. Leading zeros are read as decimal
    // ("010" is ten), never octal: an address typed by hand with padding means what it shows.
    Ipv4Address address;
    std::size_t position = 0;
    for (std::size_t octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (position >= text.size() || text[position] != '.') return std::nullopt;
            ++position;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
            if (++digits > 3) return std::nullopt;
            value = value * 10 + static_cast<unsigned>(text[position] - '0');
            ++position;
        }
        if (digits == 0 || value > 255) return std::nullopt;
        address.octets[octet] = static_cast<std::uint8_t>(value);
    }
    if (position != text.size()) return std::nullopt;
    return address;
}

Ipv4Address::Text Ipv4Address::ToText() const {
    Text text;
    char* out = text.chars.data();
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0) *out++ = '.';
        const unsigned value = octets[i];
        if (value >= 100) *out++ = static_cast<char>('0' + value / 100);
        if (value >= 10) *out++ = static_cast<char>('0' + value / 10 % 10);
        *out++ = static_cast<char>('0' + value % 10);
    }
    text.size = static_cast<std::uint8_t>(out - text.chars.data());
    return text;
}

}  // namespace tarnleaf
