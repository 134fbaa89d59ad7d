#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "BootpConstants.h"
#include "OptionCatalogue.h"
#include "ValueFault.h"

namespace tarnleaf {

using OptionArea = std::vector<std::uint8_t>;

inline constexpr std::size_t kTextOptionMaxBytes = 80;
inline constexpr std::size_t kMaxIpListAddresses = 63;   // 4 x 63 = 252 fits the length byte
inline constexpr std::size_t kMaxByteListValues = 255;

// The data bytes of one option, worked out before anything touches the area. The length
// byte caps the data, so it is held in place rather than on the heap.
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
    // Only the first size_ bytes are ever read, so the rest need no clearing.
    std::array<std::uint8_t, 255> bytes_;
    std::size_t size_ = 0;
};

// The one place that decides what an option value becomes: its data bytes by the kind's
// rules in `data`, and the fault when it is not taken as written: one under which the option
// is left out (SkipsValue; `data` is then no use), or a note on how it is taken. Every writer
// goes through it. The value must not be empty (an empty value writes nothing, no fault).
std::optional<ValueFault> ConvertOptionValue(OptionKind kind, std::string_view value,
                                             OptionData& data);

// Writes the magic cookie into bytes 0..3; an area of fewer than 4 bytes is left alone.
void WriteMagicCookie(OptionArea& area);

// True when an option of `dataLength` bytes at `position` fits with one byte to spare for
// the end mark: its last byte and the end mark both lie inside the area.
bool OptionFits(const OptionArea& area, std::size_t position, std::size_t dataLength);

// The writer for `kind`: writes at most one option (code, length, data) at `position` and
// moves `position` past it only when it writes; an empty value, a value that does not
// convert and an option that does not fit write nothing. Returns why the value was skipped
// (NoRoom for an option that did not fit) or how it was taken differently; nothing when it
// was empty or written as given.
std::optional<ValueFault> WriteOption(OptionKind kind, std::uint8_t code, std::string_view value,
                                      OptionArea& area, std::size_t& position);

}  // namespace tarnleaf
