#pragma once

#include <array>

#include "IniKey.h"
#include "OptionCatalogue.h"

namespace tarnleaf {

// The header keys of a profile, in the order a load reads them; the option keys are those of
// the catalogue. Hashed by the compiler.
inline constexpr IniKey kMessageTypeKey{"MessageType"};
inline constexpr IniKey kHardwareTypeKey{"HardwareType"}, kHardwareTypeTag{"ht"};
inline constexpr IniKey kHardwareLengthKey{"HardwareLength"};
inline constexpr IniKey kGatewayHopsKey{"GatewayHops"}, kHopsKey{"Hops"};
inline constexpr IniKey kSecondsElapsedKey{"SecondsElapsed"};
inline constexpr IniKey kFlagsKey{"Flags"};
inline constexpr IniKey kClientIpKey{"ClientIP"};
inline constexpr IniKey kHostIpKey{"HostIP"}, kHostIpTag{"ip"};
inline constexpr IniKey kServerIpKey{"ServerIP"}, kServerIpTag{"sa"};
inline constexpr IniKey kCrossGatewayKey{"CrossGateway"};
inline constexpr IniKey kHardwareAddressKey{"HardwareAddress"}, kHardwareAddressTag{"ha"};
inline constexpr IniKey kServerNameKey{"ServerName"}, kServerNameTag{"sn"};
inline constexpr IniKey kBootFileKey{"BootFile"}, kBootFileTag{"bf"};
inline constexpr IniKey kMessageSizeKey{"MessageSize"};

struct HeaderKey {
    IniKey key;
    IniKey alternative;
};

inline constexpr std::array<HeaderKey, 14> kHeaderKeys{{
    {kMessageTypeKey, {}},
    {kHardwareTypeKey, kHardwareTypeTag},
    {kHardwareLengthKey, {}},
    {kGatewayHopsKey, kHopsKey},
    {kSecondsElapsedKey, {}},
    {kFlagsKey, {}},
    {kClientIpKey, {}},
    {kHostIpKey, kHostIpTag},
    {kServerIpKey, kServerIpTag},
    {kCrossGatewayKey, {}},
    {kHardwareAddressKey, kHardwareAddressTag},
    {kServerNameKey, kServerNameTag},
    {kBootFileKey, kBootFileTag},
    {kMessageSizeKey, {}},
}};

inline constexpr std::array<IniKey, kCustomKeyCount> kCustomKeys{
    "Custom1", "Custom2", "Custom3", "Custom4", "Custom5",
    "Custom6", "Custom7", "Custom8", "Custom9", "Custom10",
};

// The profile of the test message, and its one key outside a profile's vocabulary.
inline constexpr IniKey kTestMessageProfile{"TestMessage"};
inline constexpr IniKey kSendPortKey{"SendPort"};

}  // namespace tarnleaf
