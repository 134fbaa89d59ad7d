#include "platform/win32/InterfaceAddresses.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

const std::vector<InterfaceAddress> kTable{
    {1, {{127, 0, 0, 1}}},
    {4, {{10, 77, 0, 1}}},
    {4, {{10, 77, 9, 1}}},  // a second address on the same interface
    {7, {{0, 0, 0, 0}}},    // an interface without an address yet
    {7, {{10, 78, 0, 1}}},
};

TEST(InterfaceAddressesPick, BroadcastRequestGetsTheInterfacesFirstAddress) {
    EXPECT_EQ(InterfaceAddresses::Pick(kTable, 4, Ipv4Address::Broadcast()),
              (Ipv4Address{{10, 77, 0, 1}}));
}

TEST(InterfaceAddressesPick, RequestToASecondaryAddressKeepsThatAddress) {
    EXPECT_EQ(InterfaceAddresses::Pick(kTable, 4, Ipv4Address{{10, 77, 9, 1}}),
              (Ipv4Address{{10, 77, 9, 1}}));
}

TEST(InterfaceAddressesPick, AddressOfAnotherInterfaceIsNotTaken) {
    EXPECT_EQ(InterfaceAddresses::Pick(kTable, 4, Ipv4Address{{10, 78, 0, 1}}),
              (Ipv4Address{{10, 77, 0, 1}}));
}

TEST(InterfaceAddressesPick, UnsetAddressIsSkipped) {
    EXPECT_EQ(InterfaceAddresses::Pick(kTable, 7, Ipv4Address::Broadcast()),
              (Ipv4Address{{10, 78, 0, 1}}));
}

TEST(InterfaceAddressesPick, UnknownInterfaceGivesNoValue) {
    EXPECT_FALSE(InterfaceAddresses::Pick(kTable, 99, Ipv4Address::Broadcast()).has_value());
    EXPECT_FALSE(InterfaceAddresses::Pick({}, 1, Ipv4Address::Broadcast()).has_value());
}

TEST(InterfaceAddressesLive, LoopbackInterfaceIsFound) {
    InterfaceAddresses addresses;
    // Whatever the loopback interface's index, the primary address is a real address.
    const auto primary = addresses.PrimaryAddress();
    if (primary) {
        EXPECT_FALSE(primary->IsAny());
    }
}

}  // namespace
}  // namespace tarnleaf
