#include "ProfileLoader.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "BootpConstants.h"
#include "IniKey.h"
#include "MessageCodec.h"
#include "TextConversions.h"

namespace tarnleaf {

namespace {

constexpr std::size_t kAddressTextLength = 15;
constexpr std::size_t kHardwareAddressTextLength = 47;
constexpr std::size_t kServerNameLength = 64;
constexpr std::size_t kBootFileLength = 128;
constexpr std::size_t kDefaultOptionAreaSize = 64;
constexpr double kLargestMessageSize = 1536;

// The header keys, hashed by the compiler.
constexpr IniKey kMessageTypeKey{"MessageType"};
constexpr IniKey kHardwareTypeKey{"HardwareType"}, kHardwareTypeTag{"ht"};
constexpr IniKey kHardwareLengthKey{"HardwareLength"};
constexpr IniKey kGatewayHopsKey{"GatewayHops"}, kHopsKey{"Hops"};
constexpr IniKey kSecondsElapsedKey{"SecondsElapsed"};
constexpr IniKey kFlagsKey{"Flags"};
constexpr IniKey kClientIpKey{"ClientIP"};
constexpr IniKey kHostIpKey{"HostIP"}, kHostIpTag{"ip"};
constexpr IniKey kServerIpKey{"ServerIP"}, kServerIpTag{"sa"};
constexpr IniKey kCrossGatewayKey{"CrossGateway"};
constexpr IniKey kHardwareAddressKey{"HardwareAddress"}, kHardwareAddressTag{"ha"};
constexpr IniKey kServerNameKey{"ServerName"}, kServerNameTag{"sn"};
constexpr IniKey kBootFileKey{"BootFile"}, kBootFileTag{"bf"};
constexpr IniKey kMessageSizeKey{"MessageSize"};

struct HardwareTypeName {
    std::string_view name;
    std::int16_t type;
};

// Matched exactly as written: "ethernet" is not a name (it then reads as no number: 0).
constexpr std::array<HardwareTypeName, 7> kHardwareTypeNames{{
    {"ETHERNET", 1},
    {"EXP_ETHERNET", 2},
    {"AX25", 3},
    {"PRONET", 4},
    {"CHAOS", 5},
    {"IEEE802", 6},
    {"ARCNET", 7},
}};

// A leading number with 0 < n < limit, rounded. The range test is on the number as read, so
// 0.3 passes and stores 0; a number that rounds up to `limit` (255.5 for a byte) does not
// fit the field and gives no value.
std::optional<std::int32_t> LeadingNumberBelow(std::string_view value, std::int64_t limit) {
    const double number = LeadingNumber(value);
    if (!(number > 0 && number < static_cast<double>(limit))) return std::nullopt;
    const auto rounded = RoundHalfEven(number, 0, limit - 1);
    if (!rounded) return std::nullopt;
    return static_cast<std::int32_t>(*rounded);
}

void SetSmallNumber(std::string_view value, std::int16_t& field) {
    if (const auto number = LeadingNumberBelow(value, 256)) {
        field = static_cast<std::int16_t>(*number);
    }
}

std::optional<std::int16_t> MessageOperation(std::string_view value) {
    const std::string upper = ToUpperAscii(value);
    if (upper == kBootRequestName) return kBootRequest;
    if (upper == kBootReplyName) return kBootReply;
    if (const auto number = LeadingNumberBelow(value, 256)) {
        return static_cast<std::int16_t>(*number);
    }
    return std::nullopt;
}

// A name, a number 1..255, or 0 for anything else; no value for a number such as 255.5 that
// passes the range test but rounds out of the byte, which leaves the field as it was.
std::optional<std::int16_t> HardwareType(std::string_view value) {
    for (const auto& entry : kHardwareTypeNames) {
        if (value == entry.name) return entry.type;
    }
    const double number = LeadingNumber(value);
    if (!(number > 0 && number < 256)) return 0;
    const auto rounded = RoundHalfEven(number, 0, 255);
    if (!rounded) return std::nullopt;
    return static_cast<std::int16_t>(*rounded);
}

void SetFlags(std::string_view value, std::array<std::uint8_t, 2>& flags) {
    if (value.size() <= 2) return;
    // The first two characters are a prefix such as "0x", skipped whatever they are. Up to
    // 32 bits are read, as much as the digits of a written flags value can sensibly hold;
    // anything that is not such a number leaves the flags as they were.
    const std::string hex = "&H" + std::string(TrimBlanks(value.substr(2)));
    const auto number = WholeNumber(hex, 0, 0xFFFFFFFF);
    if (!number) return;
    const auto low = static_cast<std::uint16_t>(*number & 0xFFFF);
    flags = {static_cast<std::uint8_t>(low >> 8), static_cast<std::uint8_t>(low & 0xFF)};
}

std::string AddressText(std::string_view value) {
    std::string text;
    for (char c : value) {
        if (c != ' ') text.push_back(c);
    }
    text.resize(std::min(text.size(), kAddressTextLength));
    return text;
}

std::size_t OptionAreaSize(std::string_view value) {
    // The whole message is 300 bytes unless "MessageSize" asks for more, up to 1536.
    const double size = LeadingNumber(value);
    if (!(size > static_cast<double>(kMinimumMessageSize) && size <= kLargestMessageSize)) {
        return kDefaultOptionAreaSize;
    }
    const double lastIndex = size - static_cast<double>(kMinimumMessageSize) +
                             static_cast<double>(kDefaultOptionAreaSize - 1);
    const auto rounded =
        RoundHalfEven(lastIndex, 0, static_cast<std::int64_t>(kLargestMessageSize));
    return rounded ? static_cast<std::size_t>(*rounded) + 1 : kDefaultOptionAreaSize;
}

}  // namespace

void LoadProfile(const ProfileSource& source, std::string_view section, BootpMessage& message) {
    // Looked up once, before the message changes: a new "HardwareAddress" changes the
    // message, not the profile being read.
    const ProfileSection profile = source.Section(section);
    const auto read = [&](const IniKey& key, const IniKey& alternative = {}) {
        return profile.ReadProfileValue(key, alternative);
    };

    if (const auto value = read(kMessageTypeKey); !value.empty()) {
        if (const auto op = MessageOperation(value)) message.op = *op;
    }
    if (const auto value = read(kHardwareTypeKey, kHardwareTypeTag); !value.empty()) {
        if (const auto type = HardwareType(value)) message.htype = *type;
    }
    if (const auto value = read(kHardwareLengthKey); !value.empty()) {
        SetSmallNumber(value, message.hlen);
    }
    if (const auto value = read(kGatewayHopsKey, kHopsKey); !value.empty()) {
        SetSmallNumber(value, message.hops);
    }
    if (const auto value = read(kSecondsElapsedKey); !value.empty()) {
        if (const auto secs = LeadingNumberBelow(value, 65536)) message.secs = *secs;
    }
    if (const auto value = read(kFlagsKey); !value.empty()) SetFlags(value, message.flags);

    const auto setAddress = [&](const IniKey& key, const IniKey& alternative,
                                std::string& field) {
        if (const auto value = read(key, alternative); !value.empty()) {
            field = AddressText(value);
        }
    };
    setAddress(kClientIpKey, {}, message.ciaddr);
    setAddress(kHostIpKey, kHostIpTag, message.yiaddr);
    setAddress(kServerIpKey, kServerIpTag, message.siaddr);
    setAddress(kCrossGatewayKey, {}, message.giaddr);

    const auto setText = [&](const IniKey& key, const IniKey& alternative, std::size_t length,
                             std::string& field) {
        if (const auto value = read(key, alternative); !value.empty()) {
            field.assign(value.substr(0, std::min(value.size(), length)));
        }
    };
    setText(kHardwareAddressKey, kHardwareAddressTag, kHardwareAddressTextLength, message.chaddr);
    setText(kServerNameKey, kServerNameTag, kServerNameLength, message.sname);
    setText(kBootFileKey, kBootFileTag, kBootFileLength, message.file);

    message.options.assign(OptionAreaSize(read(kMessageSizeKey)), 0);
    LoadProfileOptions(profile, message.options);
}

}  // namespace tarnleaf
