#include "OptionCatalogue.h"

#include "TextConversions.h"

namespace tarnleaf {

namespace {

std::optional<OptionKind> CustomKind(std::string_view word) {
    const std::string upper = ToUpperAscii(TrimBlanks(word));
    if (upper == "SHORT") return OptionKind::Short;
    if (upper == "LONG") return OptionKind::Long;
    if (upper == "IP" || upper == "IPLIST" || upper == "IP LIST" || upper == "IP_LIST") {
        return OptionKind::IpList;
    }
    if (upper == "BYTE" || upper == "ARRAY") return OptionKind::ByteList;
    return std::nullopt;
}

}  // namespace

std::optional<std::uint8_t> DhcpMessageTypeNumber(std::string_view name) {
    for (const auto& entry : kDhcpMessageTypeNames) {
        if (EqualsIgnoreCase(name, entry.name)) return static_cast<std::uint8_t>(entry.type);
    }
    return std::nullopt;
}

std::optional<CustomOption> ParseCustomOption(std::string_view value) {
    // Cut at the first two commas only: the data keeps any further ones.
    const std::size_t first = value.find(',');
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t second = value.find(',', first + 1);
    if (second == std::string_view::npos) return std::nullopt;

    // 0 and 255 are the pad and end marks, which carry no length: written with one, they
    // would make a client misread every option after them.
    const auto code = RoundHalfEven(LeadingNumber(value.substr(0, first)), kPadOption + 1,
                                    kEndOption - 1);
    if (!code) return std::nullopt;
    const auto kind = CustomKind(value.substr(first + 1, second - first - 1));
    if (!kind) return std::nullopt;
    return CustomOption{static_cast<std::uint8_t>(*code), *kind,
                        TrimBlanks(value.substr(second + 1))};
}

}  // namespace tarnleaf
