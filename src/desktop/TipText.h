#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarnleaf {

// The icon tip travels as UTF-16 characters in a fixed field; the program keeps its texts
// in UTF-8. Malformed UTF-8 (from a file or a caller) becomes U+FFFD, never an error.

// Writes `utf8` into `field`, cut to capacity - 1 characters, then NUL; a character that
// needs two UTF-16 units is dropped whole rather than split at the cut.
template <std::size_t N>
void WriteTipField(std::string_view utf8, std::array<char16_t, N>& field);

// The UTF-16 characters as UTF-8; a lone surrogate becomes U+FFFD.
std::string TipToUtf8(std::u16string_view tip);

// UTF-8 to UTF-16, every malformed sequence replaced by U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

template <std::size_t N>
void WriteTipField(std::string_view utf8, std::array<char16_t, N>& field) {
    static_assert(N > 0);
    const std::u16string wide = Utf8ToUtf16(utf8);
    std::size_t length = wide.size() < N - 1 ? wide.size() : N - 1;
    // Never leave the first half of a surrogate pair at the end.
    if (length > 0 && length < wide.size() && wide[length - 1] >= 0xD800 &&
        wide[length - 1] <= 0xDBFF) {
        --length;
    }
    field.fill(u'\0');
    for (std::size_t i = 0; i < length; ++i) {
        field[i] = wide[i];
    }
}

}  // namespace tarnleaf
