#include "OptionWriters.h"

#include <array>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "FieldSplitter.h"
#include "TextConversions.h"

namespace tarnleaf {

namespace {

bool Emit(std::uint8_t code, const OptionData& data, OptionArea& area, std::size_t& position) {
    const auto bytes = data.Bytes();
    if (!OptionFits(area, position, bytes.size())) return false;
    area[position] = code;
    area[position + 1] = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), area.begin() + static_cast<std::ptrdiff_t>(position + 2));
    position += 2 + bytes.size();
    return true;
}

// The address of a plain "a.b.c.d" (spaces around it allowed): four runs of one to three
// digits, each at most 255. No value for any other form, which the general reading handles.
std::optional<std::array<std::uint8_t, 4>> PlainAddress(std::string_view text) {
    text = TrimSpaces(text);
    std::array<std::uint8_t, 4> address{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') return std::nullopt;
            ++at;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4; ++at) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return std::nullopt;
        address[i] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size()) return std::nullopt;
    return address;
}

// Calls `piece` for each ","-separated part of `value`; a trailing "," gives a last, empty
// part. Stops early (returning false) once more than `maxParts` parts are seen.
template <typename F>
bool ForEachListPart(std::string_view value, std::size_t maxParts, F&& piece) {
    std::size_t count = 0;
    while (true) {
        const std::size_t comma = value.find(',');
        if (++count > maxParts) return false;
        if (!piece(value.substr(0, comma))) return false;
        if (comma == std::string_view::npos) return true;
        value.remove_prefix(comma + 1);
    }
}

void AppendBigEndian(OptionData& data, std::uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
        data.Append(static_cast<std::uint8_t>(value >> shift));
    }
}

// Not a number at all, or one outside the range: the two reasons a whole-number reading fails.
ValueFault NumberFault(std::string_view text, std::int64_t low, std::int64_t high) {
    const bool isNumber = WholeNumber(text, std::numeric_limits<std::int64_t>::min(),
                                      std::numeric_limits<std::int64_t>::max())
                              .has_value();
    return ValueFault{isNumber ? FaultKind::OutOfRange : FaultKind::NotANumber,
                      std::string(TrimBlanks(text)), low, high};
}

std::string DottedText(std::span<const std::uint8_t> address) {
    std::string text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) text += '.';
        text += std::to_string(address[i]);
    }
    return text;
}

std::string WithoutSpaces(std::string_view text) {
    std::string result;
    for (char c : text) {
        if (c != ' ') result.push_back(c);
    }
    return result;
}

std::optional<ValueFault> ConvertIpList(std::string_view value, OptionData& data) {
    std::optional<ValueFault> fault;
    bool readDifferently = false;
    const bool complete = ForEachListPart(value, kMaxIpListAddresses, [&](std::string_view text) {
        if (const auto plain = PlainAddress(text)) return data.Append(*plain);
        std::array<std::uint8_t, 4> address{};
        const std::array<std::uint8_t*, 4> slots{&address[0], &address[1], &address[2],
                                                 &address[3]};
        // Pieces beyond the fourth "." are ignored; missing ones leave their bytes 0.
        if (auto failed = SplitToFields(text, ".", slots).failedPiece) {
            fault = ValueFault{FaultKind::AddressPiece, std::move(*failed)};
            return false;
        }
        readDifferently = readDifferently || DottedText(address) != WithoutSpaces(text);
        return data.Append(address);
    });
    if (!complete) {
        if (fault) return fault;
        return ValueFault{FaultKind::TooManyValues, {}, 0,
                          static_cast<std::int64_t>(kMaxIpListAddresses)};
    }
    if (!readDifferently) return std::nullopt;
    // Only a value that is not plain pays for spelling out how it is read.
    std::string readAs;
    const auto bytes = data.Bytes();
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        if (at > 0) readAs += ", ";
        readAs += DottedText(bytes.subspan(at, 4));
    }
    return ValueFault{FaultKind::ReadAs, std::move(readAs)};
}

std::optional<ValueFault> ConvertLong(std::string_view value, OptionData& data) {
    // Hexadecimal reads as unsigned, so &HFFFFFFFF (an infinite lease) gives the 32 bits
    // as written, as -1 would.
    const bool hex = EqualsIgnoreCase(TrimBlanks(value).substr(0, 2), "&H");
    const std::int64_t min = std::numeric_limits<std::int32_t>::min();
    const std::int64_t max = hex ? std::numeric_limits<std::uint32_t>::max()
                                 : std::numeric_limits<std::int32_t>::max();
    const auto number = WholeNumber(value, min, max);
    if (!number) return NumberFault(value, min, max);
    AppendBigEndian(data, static_cast<std::uint32_t>(*number & 0xFFFFFFFF), 4);
    return std::nullopt;
}

std::optional<ValueFault> ConvertShort(std::string_view value, OptionData& data) {
    // Numbers above 65535 keep their low 16 bits; negative ones have no meaning here.
    const std::int64_t max = std::numeric_limits<std::int32_t>::max();
    const auto number = WholeNumber(value, 0, max);
    if (!number) return NumberFault(value, 0, max);
    AppendBigEndian(data, static_cast<std::uint32_t>(*number), 2);
    if (*number > 0xFFFF) {
        return ValueFault{FaultKind::LowBitsOnly, std::to_string(*number & 0xFFFF)};
    }
    return std::nullopt;
}

std::optional<ValueFault> ConvertFlag(std::string_view value, OptionData& data) {
    const auto is = [&](std::string_view word) { return EqualsIgnoreCase(value, word); };
    const bool on = is("TRUE") || is("YES") || is("ON");
    data.Append(static_cast<std::uint8_t>(on ? 1 : 0));
    // Every other text means off, "1" included: worth a word unless it plainly says off.
    if (!on && !is("FALSE") && !is("NO") && !is("OFF")) return ValueFault{FaultKind::NotATruthWord};
    return std::nullopt;
}

std::optional<ValueFault> ConvertText(std::string_view value, OptionData& data) {
    const std::string_view text = value.substr(0, std::min(value.size(), kTextOptionMaxBytes));
    for (char c : text) data.Append(static_cast<std::uint8_t>(c));
    if (text.size() == value.size()) return std::nullopt;
    return ValueFault{FaultKind::Cut, {}, 0, static_cast<std::int64_t>(kTextOptionMaxBytes)};
}

std::optional<ValueFault> ConvertByteList(std::string_view value, OptionData& data) {
    std::optional<ValueFault> fault;
    const bool complete = ForEachListPart(value, kMaxByteListValues, [&](std::string_view text) {
        const auto number = WholeNumber(text, 0, 255);
        if (!number) {
            fault = ValueFault{FaultKind::ListValue, std::string(TrimBlanks(text)), 0, 255};
            return false;
        }
        return data.Append(static_cast<std::uint8_t>(*number));
    });
    if (!complete) {
        if (fault) return fault;
        return ValueFault{FaultKind::TooManyValues, {}, 0,
                          static_cast<std::int64_t>(kMaxByteListValues)};
    }
    return std::nullopt;
}

}  // namespace

std::optional<ValueFault> ConvertOptionValue(OptionKind kind, std::string_view value,
                                             OptionData& data) {
    switch (kind) {
        case OptionKind::IpList: return ConvertIpList(value, data);
        case OptionKind::Long: return ConvertLong(value, data);
        case OptionKind::Short: return ConvertShort(value, data);
        case OptionKind::Flag: return ConvertFlag(value, data);
        case OptionKind::Text: return ConvertText(value, data);
        case OptionKind::ByteList: break;
    }
    return ConvertByteList(value, data);
}

void WriteMagicCookie(OptionArea& area) {
    if (area.size() < kMagicCookie.size()) return;
    std::copy(kMagicCookie.begin(), kMagicCookie.end(), area.begin());
}

bool OptionFits(const OptionArea& area, std::size_t position, std::size_t dataLength) {
    // position + 2 + length must be at most the index of the last byte; written without
    // subtraction so an empty area cannot wrap around.
    return position + 2 + dataLength + 1 <= area.size();
}

std::optional<ValueFault> WriteOption(OptionKind kind, std::uint8_t code, std::string_view value,
                                      OptionArea& area, std::size_t& position) {
    if (value.empty()) return std::nullopt;
    OptionData data;
    auto fault = ConvertOptionValue(kind, value, data);
    if (fault && SkipsValue(fault->kind)) return fault;
    if (!Emit(code, data, area, position)) return ValueFault{FaultKind::NoRoom};
    return fault;
}

}  // namespace tarnleaf
