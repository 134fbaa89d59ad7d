#pragma once

#include <netinet/in.h>

#include <cstring>
#include <optional>

#include "Ipv4Address.h"

namespace tarnleaf {

// Both in network order: the bytes go across unchanged.
inline in_addr ToInAddr(Ipv4Address address) {
    in_addr result{};
    std::memcpy(&result.s_addr, address.octets.data(), 4);
    return result;
}

inline Ipv4Address FromInAddr(in_addr address) {
    Ipv4Address result;
    std::memcpy(result.octets.data(), &address.s_addr, 4);
    return result;
}

// The host's primary IPv4 address: the source address the kernel would pick for a route
// to a distant address, else the first non-loopback interface address, else 127.0.0.1.
Ipv4Address PrimaryIpv4Address();

// The first IPv4 address of the interface with this index, if it has one.
std::optional<Ipv4Address> InterfaceIpv4Address(unsigned interfaceIndex);

}  // namespace tarnleaf
