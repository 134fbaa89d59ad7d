#include "InterfaceAddresses.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(InterfaceAddresses, PickPrefersTheRequestedAddressOfTheArrivingInterfaceOnly) {
    const Ipv4Address a{{10, 77, 0, 1}}, b{{10, 77, 9, 1}}, c{{10, 78, 0, 1}};
    const Ipv4Address any = Ipv4Address::Broadcast(), unset{{0, 0, 0, 0}};
    const Ipv4Address slash24{{255, 255, 255, 0}};
    const std::vector<InterfaceAddress> table{
        {1, {{127, 0, 0, 1}}, unset}, {4, a, slash24}, {4, b, slash24}, {7, unset, unset},
        {7, c, unset}};
    EXPECT_EQ(InterfaceAddresses::Pick(table, 4, any), a) << "the first address";
    EXPECT_EQ(InterfaceAddresses::Pick(table, 4, b), b);
    EXPECT_EQ(InterfaceAddresses::Pick(table, 4, {{10, 77, 9, 255}}), b) << "its subnet's";
    EXPECT_EQ(InterfaceAddresses::Pick(table, 4, c), a) << "not the arriving interface's";
    EXPECT_EQ(InterfaceAddresses::Pick(table, 7, any), c) << "one without an address is skipped";
    EXPECT_EQ(InterfaceAddresses::Pick(table, 99, any), std::nullopt);
    EXPECT_FALSE(InterfaceAddresses().PrimaryAddress().value_or(any).IsAny());
}

}  // namespace
}  // namespace tarnleaf
