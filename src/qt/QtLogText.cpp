#include "QtLogText.h"

#include <algorithm>
#include <climits>

#include "Utf8.h"

namespace tarnleaf {
namespace {

// Line ends (CR LF, or a lone CR or LF) as one "\n" each, as the view's document counts them.
template <typename OnChar>
void ForEachViewChar(std::string_view bytes, OnChar&& onChar) {
    bool afterCr = false;
    ForEachShownChar(bytes, [&](char32_t code) {
        const bool lfOfCrLf = afterCr && code == U'\n';
        afterCr = code == U'\r';
        if (!lfOfCrLf) onChar(afterCr ? U'\n' : code);
    });
}

}  // namespace

QString DisplayText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    ForEachViewChar(bytes, [&](char32_t code) { AppendUtf16(text, code); });
    return text;
}

// Counted, not built: the caret is placed after every entry the view gains.
int DisplayPosition(std::string_view bytes, std::size_t byteOffset) {
    const std::size_t end = std::min(byteOffset, bytes.size());
    qsizetype length = 0;
    ForEachViewChar(bytes.substr(0, end), [&](char32_t code) { length += Utf16Length(code); });
    return static_cast<int>(std::min<qsizetype>(length, INT_MAX));
}

}  // namespace tarnleaf
