#include "QtLogText.h"

#include <algorithm>
#include <climits>

#include "Utf8.h"

namespace tarnleaf {
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
        const Utf8Char decoded = DecodeUtf8At(bytes, i);
        if (!decoded.valid) {
            text.append(QChar(static_cast<char16_t>(static_cast<unsigned char>(c))));
            ++i;
            continue;
        }
        AppendUtf16(text, decoded.code);
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
