#pragma once

#include <cstdint>
#include <string>

namespace tarnleaf {

// Upper-case hexadecimal digits as the dump and the hardware address texts show them.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

inline void AppendHexByte(std::string& out, std::uint8_t value) {
    out.push_back(kHexDigits[value >> 4]);
    out.push_back(kHexDigits[value & 0x0F]);
}

// The value of one hexadecimal digit in either case; -1 for anything else.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace tarnleaf
