#pragma once

#include <cstddef>
#include <string_view>

namespace tarnleaf {

// One character of a UTF-8 text. The program's texts are UTF-8 where they are UTF-8 and
// arbitrary bytes elsewhere (a profile may hold any code page), so every front end that
// shows them needs the same strict reading and its own policy for what is not UTF-8.
struct Utf8Char {
    char32_t code = 0;
    // Bytes taken by the character; for malformed input, the lead byte and the continuation
    // bytes that belonged to it (at least 1).
    std::size_t length = 1;
    bool valid = false;
};

// Strict decoding at `i` (< text.size()): no overlong forms, no surrogates, nothing above
// U+10FFFF, no truncated sequence.
constexpr Utf8Char DecodeUtf8At(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t extra = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
        return {lead, 1, false};
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        if (i + k >= text.size()) {
            return {lead, k, false};
        }
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return {lead, k, false};
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {lead, extra + 1, false};
    }
    return {code, extra + 1, true};
}

// Each character of a text as a display shows it: UTF-8 where the bytes are UTF-8, any other
// byte as the Latin-1 character of its value, so that every byte shows as something and a
// prefix of the bytes shows as a prefix of the whole.
template <typename OnChar>
void ForEachShownChar(std::string_view bytes, OnChar&& onChar) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const Utf8Char decoded = DecodeUtf8At(bytes, i);
        if (!decoded.valid) {
            onChar(static_cast<char32_t>(static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        onChar(decoded.code);
        i += decoded.length;
    }
}

// Appends `code` (at most U+10FFFF, no surrogate) as UTF-8 bytes.
template <typename Out>
void AppendUtf8(Out& out, char32_t code) {
    using Unit = typename Out::value_type;
    const auto put = [&](char32_t byte) { out.push_back(static_cast<Unit>(byte)); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6)), put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12)), put(0x80 | ((code >> 6) & 0x3F)), put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18)), put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F)), put(0x80 | (code & 0x3F));
    }
}

// How many UTF-16 units `code` takes.
constexpr std::size_t Utf16Length(char32_t code) { return code < 0x10000 ? 1 : 2; }

// Appends `code` as UTF-16 units to any string-like output of 16-bit characters.
template <typename Out>
void AppendUtf16(Out& out, char32_t code) {
    using Unit = typename Out::value_type;
    if (code < 0x10000) {
        out.push_back(static_cast<Unit>(static_cast<char16_t>(code)));
    } else {
        code -= 0x10000;
        out.push_back(static_cast<Unit>(static_cast<char16_t>(0xD800 + (code >> 10))));
        out.push_back(static_cast<Unit>(static_cast<char16_t>(0xDC00 + (code & 0x3FF))));
    }
}

}  // namespace tarnleaf
