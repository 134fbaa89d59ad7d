#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Ipv4Address.h"

namespace tarnleaf {

struct InterfaceAddress {
    unsigned interfaceIndex = 0;
    Ipv4Address address;
    Ipv4Address mask;  // the subnet's, 0.0.0.0 when not known
};

// The host's IPv4 addresses by interface, from the IP helper's address table. Read again
// when a lookup misses or the copy is a few seconds old, so an address that DHCP or the
// user changes is seen without a restart, while a burst of requests costs one query.
class InterfaceAddresses {
public:
    // The address of interface `interfaceIndex` that a request sent to `preferred` reached:
    // `preferred` itself when it is one of the interface's addresses (a secondary address
    // names that one), else the address whose subnet `preferred` is the broadcast of, else
    // the interface's first.
    std::optional<Ipv4Address> AddressOf(unsigned interfaceIndex, Ipv4Address preferred);

    // The address of the interface that the default route leaves by; else the first
    // address that is not loopback; else none.
    std::optional<Ipv4Address> PrimaryAddress();

    // Picks from a given table; exposed for tests.
    static std::optional<Ipv4Address> Pick(const std::vector<InterfaceAddress>& table,
                                           unsigned interfaceIndex, Ipv4Address preferred);

private:
    void Reload();

    std::vector<InterfaceAddress> table_;
    std::uint64_t loadedAt_ = 0;
    bool loaded_ = false;
};

}  // namespace tarnleaf
