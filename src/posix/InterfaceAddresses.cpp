#include "InterfaceAddresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

namespace tarnleaf {
namespace {

// A distant address for the routing question "which source would you use?". connect() on a
// UDP socket only consults the routing table; nothing is ever sent to it (TEST-NET-1).
constexpr std::array<std::uint8_t, 4> kRoutingProbe{192, 0, 2, 1};

bool IsLoopback(Ipv4Address address) { return address.octets[0] == 127; }

std::optional<Ipv4Address> RoutedSourceAddress() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    sockaddr_in probe{};
    probe.sin_family = AF_INET;
    probe.sin_port = htons(9);
    probe.sin_addr = ToInAddr(Ipv4Address{kRoutingProbe});
    std::optional<Ipv4Address> result;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&probe), sizeof probe) == 0) {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
            local.sin_family == AF_INET) {
            const Ipv4Address address = FromInAddr(local.sin_addr);
            if (!address.IsAny()) {
                result = address;
            }
        }
    }
    ::close(fd);
    return result;
}

// Walks the interface list once; `accept` picks the wanted entry.
template <typename Predicate>
std::optional<Ipv4Address> FindInterfaceAddress(Predicate accept) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> result;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        const Ipv4Address candidate = FromInAddr(address.sin_addr);
        if (accept(*entry, candidate)) {
            result = candidate;
            break;
        }
    }
    ::freeifaddrs(list);
    return result;
}

}  // namespace

Ipv4Address PrimaryIpv4Address() {
    if (const auto routed = RoutedSourceAddress()) {
        return *routed;
    }
    const auto firstUp = FindInterfaceAddress([](const ifaddrs& entry, Ipv4Address address) {
        return (entry.ifa_flags & IFF_UP) != 0 && !IsLoopback(address) && !address.IsAny();
    });
    return firstUp.value_or(Ipv4Address{{127, 0, 0, 1}});
}

std::optional<Ipv4Address> InterfaceIpv4Address(unsigned interfaceIndex) {
    if (interfaceIndex == 0) {
        return std::nullopt;
    }
    std::array<char, IF_NAMESIZE> name{};
    if (::if_indextoname(interfaceIndex, name.data()) == nullptr) {
        return std::nullopt;
    }
    return FindInterfaceAddress([&name](const ifaddrs& entry, Ipv4Address address) {
        return entry.ifa_name != nullptr && std::strcmp(entry.ifa_name, name.data()) == 0 &&
               !address.IsAny();
    });
}

}  // namespace tarnleaf
