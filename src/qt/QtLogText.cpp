#include "QtLogText.h"

#include <algorithm>
#include <climits>

#include "Utf8.h"

namespace tarnleaf {
namespace {

// The bytes as the view shows them, one character at a time: CR LF, or a lone CR, as one
// "\n"; UTF-8 as its characters; any other byte as the Latin-1 character of its value.
template <typename OnChar>
void ForEachShownChar(std::string_view bytes, OnChar&& onChar) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '\r') {
            onChar(U'\n');
            i += (i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            continue;
        }
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

}  // namespace

QString DisplayText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    ForEachShownChar(bytes, [&](char32_t code) { AppendUtf16(text, code); });
    return text;
}

// Counted, not built: the caret is placed after every entry the view gains.
int DisplayPosition(std::string_view bytes, std::size_t byteOffset) {
    const std::size_t end = std::min(byteOffset, bytes.size());
    qsizetype length = 0;
    ForEachShownChar(bytes.substr(0, end),
                     [&](char32_t code) { length += code < 0x10000 ? 1 : 2; });
    return static_cast<int>(std::min<qsizetype>(length, INT_MAX));
}

}  // namespace tarnleaf
