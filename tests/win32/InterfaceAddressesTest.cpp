#include "InterfaceAddresses.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

TEST(InterfaceAddresses, PickPrefersTheRequestedAddressOfTheArrivingInterfaceOnly) {
    const Ipv4Address a{{10, 77, 0, 1}}, b{{10, 77, 9, 1}}, c{{10, 78, 0, 1}};
    const Ipv4Address any = Ipv4Address::Broadcast(), unset{{0, 0, 0, 0}};
    const std::vector<InterfaceAddress> table{
        {1, {{127, 0, 0, 1}}}, {4, a}, {4, b}, {7, unset}, {7, c}};
    EXPECT_EQ(InterfaceAddresses::Pick(table, 4, any), a) << "the first address";
    EXPECT_EQ(InterfaceAddresses::Pick(table, 4, b), b);
    EXPECT_EQ(InterfaceAddresses::Pick(table, 4, c), a) << "not the arriving interface's";
    EXPECT_EQ(InterfaceAddresses::Pick(table, 7, any), c) << "one without an address is skipped";
    EXPECT_EQ(InterfaceAddresses::Pick(table, 99, any), std::nullopt);
    EXPECT_FALSE(InterfaceAddresses().PrimaryAddress().value_or(any).IsAny());
}

}  // namespace
}  // namespace tarnleaf
