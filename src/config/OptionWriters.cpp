#include "OptionWriters.h"

#include <array>
#include <limits>
#include <optional>
#include <span>

#include "FieldSplitter.h"
#include "TextConversions.h"

namespace tarnleaf {

namespace {

// Each writer works out its data bytes first, so nothing touches the area unless the whole
// option converted and fits. The length byte caps the data, so it is held in place rather
// than on the heap.
class OptionData {
public:
    // False, and nothing added, once the data would outgrow what a length byte can give.
    bool Append(std::span<const std::uint8_t> bytes) {
        if (bytes.size() > bytes_.size() - size_) return false;
        std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(size_));
        size_ += bytes.size();
        return true;
    }
    bool Append(std::uint8_t byte) { return Append(std::span(&byte, 1)); }
    std::span<const std::uint8_t> Bytes() const { return std::span(bytes_).first(size_); }

private:
    std::array<std::uint8_t, 255> bytes_{};
    std::size_t size_ = 0;
};

void Emit(std::uint8_t code, const OptionData& data, OptionArea& area, std::size_t& position) {
    const auto bytes = data.Bytes();
    if (!OptionFits(area, position, bytes.size())) return;
    area[position] = code;
    area[position + 1] = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), area.begin() + static_cast<std::ptrdiff_t>(position + 2));
    position += 2 + bytes.size();
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

}  // namespace

void WriteMagicCookie(OptionArea& area) {
    if (area.size() < kMagicCookie.size()) return;
    std::copy(kMagicCookie.begin(), kMagicCookie.end(), area.begin());
}

bool OptionFits(const OptionArea& area, std::size_t position, std::size_t dataLength) {
    // position + 2 + length must be at most the index of the last byte; written without
    // subtraction so an empty area cannot wrap around.
    return position + 2 + dataLength + 1 <= area.size();
}

void WriteIpListOption(std::uint8_t code, std::string_view value, OptionArea& area,
                       std::size_t& position) {
    if (value.empty()) return;
    OptionData data;
    const bool converted = ForEachListPart(value, kMaxIpListAddresses, [&](std::string_view text) {
        if (const auto plain = PlainAddress(text)) return data.Append(*plain);
        std::array<std::uint8_t, 4> address{};
        const std::array<std::uint8_t*, 4> slots{&address[0], &address[1], &address[2],
                                                 &address[3]};
        // Pieces beyond the fourth "." are ignored; missing ones leave their bytes 0.
        if (SplitToFields(text, ".", slots).failedPiece) return false;
        return data.Append(address);
    });
    if (converted) Emit(code, data, area, position);
}

void WriteLongOption(std::uint8_t code, std::string_view value, OptionArea& area,
                     std::size_t& position) {
    if (value.empty()) return;
    // Hexadecimal reads as unsigned, so &HFFFFFFFF (an infinite lease) gives the 32 bits
    // as written, as -1 would.
    const bool hex = EqualsIgnoreCase(TrimBlanks(value).substr(0, 2), "&H");
    const std::int64_t max = hex ? std::numeric_limits<std::uint32_t>::max()
                                 : std::numeric_limits<std::int32_t>::max();
    const auto number = WholeNumber(value, std::numeric_limits<std::int32_t>::min(), max);
    if (!number) return;
    OptionData data;
    AppendBigEndian(data, static_cast<std::uint32_t>(*number & 0xFFFFFFFF), 4);
    Emit(code, data, area, position);
}

void WriteShortOption(std::uint8_t code, std::string_view value, OptionArea& area,
                      std::size_t& position) {
    if (value.empty()) return;
    // Numbers above 65535 keep their low 16 bits; negative ones have no meaning here.
    const auto number = WholeNumber(value, 0, std::numeric_limits<std::int32_t>::max());
    if (!number) return;
    OptionData data;
    AppendBigEndian(data, static_cast<std::uint32_t>(*number), 2);
    Emit(code, data, area, position);
}

void WriteFlagOption(std::uint8_t code, std::string_view value, OptionArea& area,
                     std::size_t& position) {
    if (value.empty()) return;
    const bool on = EqualsIgnoreCase(value, "TRUE") || EqualsIgnoreCase(value, "YES") ||
                    EqualsIgnoreCase(value, "ON");
    OptionData data;
    data.Append(static_cast<std::uint8_t>(on ? 1 : 0));
    Emit(code, data, area, position);
}

void WriteTextOption(std::uint8_t code, std::string_view value, OptionArea& area,
                     std::size_t& position) {
    if (value.empty()) return;
    const std::string_view text = value.substr(0, std::min(value.size(), kTextOptionMaxBytes));
    OptionData data;
    for (char c : text) data.Append(static_cast<std::uint8_t>(c));
    Emit(code, data, area, position);
}

void WriteByteListOption(std::uint8_t code, std::string_view value, OptionArea& area,
                         std::size_t& position) {
    if (value.empty()) return;
    OptionData data;
    const bool converted = ForEachListPart(value, kMaxByteListValues, [&](std::string_view text) {
        const auto number = WholeNumber(text, 0, 255);
        if (!number) return false;
        return data.Append(static_cast<std::uint8_t>(*number));
    });
    if (converted) Emit(code, data, area, position);
}

void WriteOption(OptionKind kind, std::uint8_t code, std::string_view value, OptionArea& area,
                 std::size_t& position) {
    switch (kind) {
        case OptionKind::IpList: return WriteIpListOption(code, value, area, position);
        case OptionKind::Long: return WriteLongOption(code, value, area, position);
        case OptionKind::Short: return WriteShortOption(code, value, area, position);
        case OptionKind::Flag: return WriteFlagOption(code, value, area, position);
        case OptionKind::Text: return WriteTextOption(code, value, area, position);
        case OptionKind::ByteList: return WriteByteListOption(code, value, area, position);
    }
}

}  // namespace tarnleaf
