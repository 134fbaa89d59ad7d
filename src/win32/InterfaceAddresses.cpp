#include "InterfaceAddresses.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstring>
#include <limits>

namespace tarnleaf {
namespace {

constexpr std::uint64_t kMaxAgeMs = 5000;

Ipv4Address FromNetworkOrder(DWORD value) {
    Ipv4Address address;
    std::memcpy(address.octets.data(), &value, 4);
    return address;
}

bool IsLoopback(const Ipv4Address& address) {
    return address.octets[0] == 127;
}

// The IP helper asks for the size first; a table that grows between the two calls is asked
// for again, a bounded number of times.
template <typename Table, typename Call>
std::vector<std::uint8_t> QueryTable(Call call) {
    std::vector<std::uint8_t> storage;
    ULONG size = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD status =
            call(storage.empty() ? nullptr : reinterpret_cast<Table*>(storage.data()), &size);
        if (status == NO_ERROR) {
            return storage;
        }
        if (status != ERROR_INSUFFICIENT_BUFFER || size == 0) {
            break;
        }
        storage.assign(size, 0);
    }
    return {};
}

}  // namespace

std::optional<Ipv4Address> InterfaceAddresses::Pick(const std::vector<InterfaceAddress>& table,
                                                    unsigned interfaceIndex,
                                                    Ipv4Address preferred) {
    std::optional<Ipv4Address> first;
    std::optional<Ipv4Address> subnet;
    for (const InterfaceAddress& entry : table) {
        if (entry.interfaceIndex != interfaceIndex || entry.address.IsAny()) {
            continue;
        }
        if (entry.address == preferred) {
            return preferred;
        }
        // A request to a subnet's broadcast address came from a client on that subnet,
        // which can reach only the address the host has there.
        Ipv4Address broadcast;
        for (std::size_t i = 0; i < broadcast.octets.size(); ++i) {
            broadcast.octets[i] = static_cast<std::uint8_t>(entry.address.octets[i] |
                                                            ~entry.mask.octets[i]);
        }
        if (!subnet && !entry.mask.IsAny() && broadcast == preferred) {
            subnet = entry.address;
        }
        if (!first) {
            first = entry.address;
        }
    }
    return subnet ? subnet : first;
}

void InterfaceAddresses::Reload() {
    table_.clear();
    const auto storage = QueryTable<MIB_IPADDRTABLE>(
        [](MIB_IPADDRTABLE* table, ULONG* size) { return GetIpAddrTable(table, size, TRUE); });
    if (storage.size() >= sizeof(MIB_IPADDRTABLE)) {
        const auto* table = reinterpret_cast<const MIB_IPADDRTABLE*>(storage.data());
        const std::size_t capacity =
            (storage.size() - offsetof(MIB_IPADDRTABLE, table)) / sizeof(MIB_IPADDRROW);
        const std::size_t count = std::min<std::size_t>(table->dwNumEntries, capacity);
        for (std::size_t i = 0; i < count; ++i) {
            table_.push_back({static_cast<unsigned>(table->table[i].dwIndex),
                              FromNetworkOrder(table->table[i].dwAddr),
                              FromNetworkOrder(table->table[i].dwMask)});
        }
    }
    loadedAt_ = GetTickCount64();
    loaded_ = true;
}

std::optional<Ipv4Address> InterfaceAddresses::AddressOf(unsigned interfaceIndex,
                                                         Ipv4Address preferred) {
    if (!loaded_ || GetTickCount64() - loadedAt_ > kMaxAgeMs) {
        Reload();
    }
    auto found = Pick(table_, interfaceIndex, preferred);
    if (!found) {
        Reload();
        found = Pick(table_, interfaceIndex, preferred);
    }
    return found;
}

std::optional<Ipv4Address> InterfaceAddresses::PrimaryAddress() {
    Reload();
    const auto storage = QueryTable<MIB_IPFORWARDTABLE>([](MIB_IPFORWARDTABLE* table, ULONG* size) {
        return GetIpForwardTable(table, size, TRUE);
    });
    if (storage.size() >= sizeof(MIB_IPFORWARDTABLE)) {
        const auto* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(storage.data());
        const std::size_t capacity =
            (storage.size() - offsetof(MIB_IPFORWARDTABLE, table)) / sizeof(MIB_IPFORWARDROW);
        const std::size_t count = std::min<std::size_t>(table->dwNumEntries, capacity);
        DWORD bestMetric = std::numeric_limits<DWORD>::max();
        std::optional<Ipv4Address> best;
        for (std::size_t i = 0; i < count; ++i) {
            const MIB_IPFORWARDROW& row = table->table[i];
            if (row.dwForwardDest != 0 || row.dwForwardMask != 0) {
                continue;
            }
            const auto address =
                Pick(table_, static_cast<unsigned>(row.dwForwardIfIndex), Ipv4Address::Any());
            if (address && (!best || row.dwForwardMetric1 < bestMetric)) {
                best = address;
                bestMetric = row.dwForwardMetric1;
            }
        }
        if (best) {
            return best;
        }
    }
    for (const InterfaceAddress& entry : table_) {
        if (!entry.address.IsAny() && !IsLoopback(entry.address)) {
            return entry.address;
        }
    }
    return std::nullopt;
}

}  // namespace tarnleaf
