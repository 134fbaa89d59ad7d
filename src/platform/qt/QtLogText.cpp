#include "platform/qt/QtLogText.h"

#include <algorithm>
#include <climits>

namespace tarnleaf {
namespace {

// The code point of the UTF-8 sequence at `i` and its length; length 0 when the bytes there
// are not well-formed UTF-8 (truncated, overlong, a surrogate, beyond U+10FFFF).
struct Decoded {
    char32_t code = 0;
    std::size_t length = 0;
};

Decoded DecodeAt(std::string_view bytes, std::size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        return {lead, 1};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return {};
    }
    if (i + length > bytes.size()) {
        return {};
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
        (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        return {};
    }
    return {code, length};
}

}  // namespace

QString DisplayText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\r') {
            text.append(QChar(u'\n'));
            i += (i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        const Decoded decoded = DecodeAt(bytes, i);
        if (decoded.length == 0) {
            text.append(QChar(static_cast<char16_t>(static_cast<unsigned char>(c))));
            ++i;
            continue;
        }
        const char32_t code = decoded.code;
        if (code >= 0x10000) {
            text.append(QChar(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10))));
            text.append(QChar(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF))));
        } else {
            text.append(QChar(static_cast<char16_t>(code)));
        }
        i += decoded.length;
    }
    return text;
}

int DisplayPosition(std::string_view bytes, std::size_t byteOffset) {
    const std::size_t end = std::min(byteOffset, bytes.size());
    const qsizetype length = DisplayText(bytes.substr(0, end)).size();
    return static_cast<int>(std::min<qsizetype>(length, INT_MAX));
}

}  // namespace tarnleaf
