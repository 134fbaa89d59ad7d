#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tarnleaf::testing {

// The wire image of a client request, laid out field by field: op 1, Ethernet, hlen 6,
// xid DE AD BE EF, chaddr 00-A0-C9-12-34-56, the given option area from byte 236 on, and
// zeros up to `size` bytes (300 by default; a smaller size cuts the image).
struct RequestImage {
    std::array<std::uint8_t, 4> xid{0xDE, 0xAD, 0xBE, 0xEF};
    std::array<std::uint8_t, 6> chaddr{0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56};
    std::array<std::uint8_t, 4> giaddr{0, 0, 0, 0};
    std::vector<std::uint8_t> sname;
    std::vector<std::uint8_t> options;  // from the magic cookie on
    std::size_t size = 300;

    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> b(std::max<std::size_t>(size, 236 + options.size()), 0);
        b[0] = 1;  // op BOOTREQUEST
        b[1] = 1;  // htype Ethernet
        b[2] = 6;  // hlen
        std::copy(xid.begin(), xid.end(), b.begin() + 4);
        std::copy(giaddr.begin(), giaddr.end(), b.begin() + 24);
        std::copy(chaddr.begin(), chaddr.end(), b.begin() + 28);
        std::copy(sname.begin(), sname.end(), b.begin() + 44);
        std::copy(options.begin(), options.end(), b.begin() + 236);
        b.resize(size);
        return b;
    }
};

inline constexpr const char* kClientSection = "00-A0-C9-12-34-56";

// Option areas of the common request shapes.
inline std::vector<std::uint8_t> DhcpOptions(std::uint8_t type) {
    return {99, 130, 83, 99,  // magic cookie
            53, 1,   type,    // DHCP message type
            255};             // END
}
inline std::vector<std::uint8_t> PlainBootpOptions() { return {}; }

}  // namespace tarnleaf::testing
