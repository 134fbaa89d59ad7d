#include "InterfaceAddresses.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(InterfaceAddresses, PickPrefersTheRequestedAddressOfTheArrivingInterfaceOnly) {
    const std::vector<InterfaceAddress> table{
        {1, {{127, 0, 0, 1}}}, {4, {{10, 77, 0, 1}}}, {4, {{10, 77, 9, 1}}},
        {7, {{0, 0, 0, 0}}},  // an interface without an address yet
        {7, {{10, 78, 0, 1}}}};
    const Ipv4Address any = Ipv4Address::Broadcast();
    struct Row { unsigned index; Ipv4Address preferred; std::optional<Ipv4Address> picked; };
    for (const Row& row : {Row{4, any, Ipv4Address{{10, 77, 0, 1}}},  // first address
                           Row{4, {{10, 77, 9, 1}}, Ipv4Address{{10, 77, 9, 1}}},
                           Row{4, {{10, 78, 0, 1}}, Ipv4Address{{10, 77, 0, 1}}},  // not ours
                           Row{7, any, Ipv4Address{{10, 78, 0, 1}}},  // unset one skipped
                           Row{99, any, std::nullopt}}) {
        EXPECT_EQ(InterfaceAddresses::Pick(table, row.index, row.preferred), row.picked)
            << row.index;
    }
    InterfaceAddresses live;
    EXPECT_FALSE(live.PrimaryAddress().value_or(Ipv4Address::Broadcast()).IsAny());
}

}  // namespace
}  // namespace tarnleaf
