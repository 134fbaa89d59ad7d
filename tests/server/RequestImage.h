#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnleaf::testing {

// A client request on the wire: op 1, Ethernet, hlen 6, xid DE AD BE EF, chaddr
// 00-A0-C9-12-34-56, `options` from byte 236 on, zeros up to `size` (a smaller size cuts it).
inline std::vector<std::uint8_t> RequestBytes(const std::vector<std::uint8_t>& options = {},
                                              std::size_t size = 300) {
    std::vector<std::uint8_t> b(std::max<std::size_t>(size, 236 + options.size()), 0);
    const std::uint8_t head[] = {1, 1, 6, 0, 0xDE, 0xAD, 0xBE, 0xEF};
    const std::uint8_t chaddr[] = {0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56};
    std::copy(std::begin(head), std::end(head), b.begin());
    std::copy(std::begin(chaddr), std::end(chaddr), b.begin() + 28);
    std::copy(options.begin(), options.end(), b.begin() + 236);
    b.resize(size);
    return b;
}

// Cookie, option 53 of `type`, END.
inline std::vector<std::uint8_t> DhcpOptions(std::uint8_t type) {
    return {99, 130, 83, 99, 53, 1, type, 255};
}

// INI text of the requesting client's profile, from "key=value\n" lines.
inline std::string ClientProfile(std::string_view keys) {
    return "[00-A0-C9-12-34-56]\n" + std::string(keys);
}

}  // namespace tarnleaf::testing
