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
    auto checked = CheckCustomOption(value);
    if (!checked.ok()) return std::nullopt;
    return checked.value();
}

Result<CustomOption, ValueFault> CheckCustomOption(std::string_view value) {
    using R = Result<CustomOption, ValueFault>;
    // Cut at the first two commas only: the data keeps any further ones.
    const std::size_t first = value.find(',');
    const std::size_t second =
        first == std::string_view::npos ? first : value.find(',', first + 1);
    if (second == std::string_view::npos) return R::Fail({FaultKind::CustomTooFewParts});

    const std::string_view codeText = TrimBlanks(value.substr(0, first));
    const auto code = RoundHalfEven(LeadingNumber(codeText), 0, 255);
    if (!code) return R::Fail({FaultKind::CustomCode, std::string(codeText), 1, 254});
    // 0 and 255 are the pad and end marks, which carry no length: written with one, they
    // would make a client misread every option after them.
    if (*code == kPadOption || *code == kEndOption) {
        return R::Fail({FaultKind::CustomReservedCode, std::string(codeText), 1, 254});
    }
    const std::string_view kindText = TrimBlanks(value.substr(first + 1, second - first - 1));
    const auto kind = CustomKind(kindText);
    if (!kind) return R::Fail({FaultKind::CustomKind, std::string(kindText)});
    const std::string_view data = TrimBlanks(value.substr(second + 1));
    // No data writes no option, as an empty value does; said here so a check can tell.
    if (data.empty()) return R::Fail({FaultKind::CustomTooFewParts});
    return R::Ok(CustomOption{static_cast<std::uint8_t>(*code), *kind, data});
}

}  // namespace tarnleaf
