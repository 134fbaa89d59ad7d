#include "ProfileLoader.h"
#include "ProfileOverlay.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "BootpConstants.h"
#include "IniKey.h"
#include "Ipv4Address.h"
#include "ProfileKeys.h"
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

// The fault of a number field whose value was not taken.
ValueFault RangeFault(std::string_view value, std::int64_t high) {
    return {FaultKind::OutOfRange, std::string(value), 1, high};
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
std::optional<std::int16_t> HardwareType(std::string_view value,
                                         std::optional<ValueFault>& fault) {
    for (const auto& entry : kHardwareTypeNames) {
        if (value == entry.name) return entry.type;
    }
    const double number = LeadingNumber(value);
    if (!(number > 0 && number < 256)) {
        fault = ValueFault{FaultKind::NotATypeName};
        for (const auto& entry : kHardwareTypeNames) {
            if (EqualsIgnoreCase(value, entry.name)) fault->piece = entry.name;
        }
        return 0;
    }
    const auto rounded = RoundHalfEven(number, 0, 255);
    if (!rounded) {
        fault = ValueFault{FaultKind::OutOfRange, std::string(value), 1, 255};
        return std::nullopt;
    }
    return static_cast<std::int16_t>(*rounded);
}

std::optional<ValueFault> SetFlags(std::string_view value,
                                   std::optional<std::array<std::uint8_t, 2>>& flags) {
    if (value.size() <= 2) return ValueFault{FaultKind::FlagsTooShort};
    // The first two characters are a prefix such as "0x", skipped whatever they are. Up to
    // 32 bits are read, as much as the digits of a written flags value can sensibly hold;
    // anything that is not such a number leaves the flags as they were.
    const std::string hex = "&H" + std::string(TrimBlanks(value.substr(2)));
    const auto number = WholeNumber(hex, 0, 0xFFFFFFFF);
    if (!number) return ValueFault{FaultKind::FlagsNotHex, std::string(value.substr(2))};
    const auto low = static_cast<std::uint16_t>(*number & 0xFFFF);
    flags = std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(low >> 8),
                                        static_cast<std::uint8_t>(low & 0xFF)};
    // "8000" loses its "80" to the prefix and so means no flags at all: worth a word.
    if (EqualsIgnoreCase(value.substr(0, 2), "0x") || EqualsIgnoreCase(value.substr(0, 2), "&H")) {
        return std::nullopt;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string readAs = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) readAs += kDigits[(low >> shift) & 0xF];
    return ValueFault{FaultKind::ReadAs, readAs + " (its first two characters are a prefix)"};
}

std::string AddressText(std::string_view value, std::optional<ValueFault>& fault) {
    std::string text;
    for (char c : value) {
        if (c != ' ') text.push_back(c);
    }
    if (text.size() > kAddressTextLength) {
        fault = ValueFault{FaultKind::Cut, {}, 0, static_cast<std::int64_t>(kAddressTextLength)};
        text.resize(kAddressTextLength);
    }
    if (!fault && !Ipv4Address::Parse(text)) {
        // The text is kept as written, but the wire gets what the encoder reads in it: a host
        // name goes out as 0.0.0.0. A piece beyond a byte is left to the encoder to refuse.
        if (const auto sent = EncodedAddress(text)) {
            fault = ValueFault{FaultKind::ReadAs, Ipv4Address{*sent}.ToString()};
        }
    }
    return text;
}

std::size_t OptionAreaSize(std::string_view value, std::optional<ValueFault>& fault) {
    // The whole message is 300 bytes unless "MessageSize" asks for more, up to 1536.
    const double size = LeadingNumber(value);
    if (!(size > static_cast<double>(kMinimumMessageSize) && size <= kLargestMessageSize)) {
        // 300 itself asks for what it gets.
        if (!value.empty() && size != static_cast<double>(kMinimumMessageSize)) {
            fault = ValueFault{FaultKind::OutOfRange, std::string(value),
                               static_cast<std::int64_t>(kMinimumMessageSize),
                               static_cast<std::int64_t>(kLargestMessageSize)};
        }
        return kDefaultOptionAreaSize;
    }
    const double lastIndex = size - static_cast<double>(kMinimumMessageSize) +
                             static_cast<double>(kDefaultOptionAreaSize - 1);
    const auto rounded =
        RoundHalfEven(lastIndex, 0, static_cast<std::int64_t>(kLargestMessageSize));
    return rounded ? static_cast<std::size_t>(*rounded) + 1 : kDefaultOptionAreaSize;
}

}  // namespace

void LoadProfile(const ProfileSource& source, std::string_view section, BootpMessage& message,
                 ProfileObserver* observer) {
    // Looked up once, before the message changes: a new "HardwareAddress" changes the
    // message, not the profile being read.
    LoadProfile(source.Section(section), message, observer);
}

void LoadProfile(const ProfileSection& profile, BootpMessage& message, ProfileObserver* observer) {
    ApplyProfileOverlay(ReadProfileOverlay(profile, observer), message);
}

ProfileOverlay ReadProfileOverlay(const ProfileSection& profile, ProfileObserver* observer) {
    ProfileOverlay overlay;
    ProfileSection::Entry entry;
    const auto read = [&](const IniKey& key, const IniKey& alternative = {}) {
        entry = profile.ReadProfileEntry(key, alternative);
        return entry.value;
    };
    const auto report = [&](const std::optional<ValueFault>& fault) {
        if (observer != nullptr && fault) observer->OnFault(entry.name, entry.value, *fault);
    };
    const auto setNumber = [&](std::string_view value, std::int64_t limit, auto& field) {
        if (const auto number = LeadingNumberBelow(value, limit)) {
            field = static_cast<typename std::remove_reference_t<decltype(field)>::value_type>(
                *number);
        } else {
            report(RangeFault(value, limit - 1));
        }
    };

    if (const auto value = read(kMessageTypeKey); !value.empty()) {
        if (const auto op = MessageOperation(value)) {
            overlay.op = *op;
        } else {
            report(RangeFault(value, 255));
        }
    }
    if (const auto value = read(kHardwareTypeKey, kHardwareTypeTag); !value.empty()) {
        std::optional<ValueFault> fault;
        if (const auto type = HardwareType(value, fault)) overlay.htype = *type;
        report(fault);
    }
    if (const auto value = read(kHardwareLengthKey); !value.empty()) {
        setNumber(value, 256, overlay.hlen);
    }
    if (const auto value = read(kGatewayHopsKey, kHopsKey); !value.empty()) {
        setNumber(value, 256, overlay.hops);
    }
    if (const auto value = read(kSecondsElapsedKey); !value.empty()) {
        setNumber(value, 65536, overlay.secs);
    }
    if (const auto value = read(kFlagsKey); !value.empty()) {
        report(SetFlags(value, overlay.flags));
    }

    const auto setAddress = [&](const IniKey& key, const IniKey& alternative,
                                std::optional<std::string>& field) {
        if (const auto value = read(key, alternative); !value.empty()) {
            std::optional<ValueFault> fault;
            field = AddressText(value, fault);
            report(fault);
        }
    };
    setAddress(kClientIpKey, {}, overlay.ciaddr);
    setAddress(kHostIpKey, kHostIpTag, overlay.yiaddr);
    setAddress(kServerIpKey, kServerIpTag, overlay.siaddr);
    setAddress(kCrossGatewayKey, {}, overlay.giaddr);

    // `kept`: how much of the text reaches the wire, which for the two name fields is one
    // byte less than the record holds (the field ends in a zero byte).
    const auto setText = [&](const IniKey& key, const IniKey& alternative, std::size_t length,
                             std::size_t kept, std::optional<std::string>& field) {
        if (const auto value = read(key, alternative); !value.empty()) {
            field.emplace(value.substr(0, std::min(value.size(), length)));
            if (value.size() > kept) {
                report(ValueFault{FaultKind::Cut, {}, 0, static_cast<std::int64_t>(kept)});
            }
        }
    };
    setText(kHardwareAddressKey, kHardwareAddressTag, kHardwareAddressTextLength,
            kHardwareAddressTextLength, overlay.chaddr);
    setText(kServerNameKey, kServerNameTag, kServerNameLength, kServerNameLength - 1,
            overlay.sname);
    setText(kBootFileKey, kBootFileTag, kBootFileLength, kBootFileLength - 1, overlay.file);

    std::optional<ValueFault> sizeFault;
    overlay.options.assign(OptionAreaSize(read(kMessageSizeKey), sizeFault), 0);
    report(sizeFault);
    LoadProfileOptions(profile, overlay.options, observer);
    return overlay;
}

void ApplyProfileOverlay(const ProfileOverlay& overlay, BootpMessage& message) {
    const auto lay = [](const auto& value, auto& field) {
        if (value) field = *value;
    };
    lay(overlay.op, message.op);
    lay(overlay.htype, message.htype);
    lay(overlay.hlen, message.hlen);
    lay(overlay.hops, message.hops);
    lay(overlay.secs, message.secs);
    lay(overlay.flags, message.flags);
    lay(overlay.ciaddr, message.ciaddr);
    lay(overlay.yiaddr, message.yiaddr);
    lay(overlay.siaddr, message.siaddr);
    lay(overlay.giaddr, message.giaddr);
    lay(overlay.chaddr, message.chaddr);
    lay(overlay.sname, message.sname);
    lay(overlay.file, message.file);
    message.options = overlay.options;
}

}  // namespace tarnleaf
