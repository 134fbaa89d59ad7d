#include "FieldSplitter.h"

#include <algorithm>
#include <array>

#include "TextConversions.h"

namespace tarnleaf {

namespace {

constexpr std::size_t kMaxSlots = 10;

// The next match of `delimiter` in `text` from `from` on, ASCII letters matched without
// regard to case.
std::size_t FindIgnoreCase(std::string_view text, std::string_view delimiter, std::size_t from) {
    if (delimiter.size() > text.size()) return std::string_view::npos;
    for (std::size_t i = from; i + delimiter.size() <= text.size(); ++i) {
        if (EqualsIgnoreCase(text.substr(i, delimiter.size()), delimiter)) return i;
    }
    return std::string_view::npos;
}

}  // namespace

SplitResult SplitToFields(std::string_view text, std::string_view delimiter,
                          std::span<std::uint8_t* const> slots) {
    const std::span<std::uint8_t* const> usable = slots.first(std::min(slots.size(), kMaxSlots));
    std::size_t lastGiven = 0;  // k: the position of the last given slot, 1-based
    for (std::size_t i = 0; i < usable.size(); ++i) {
        if (usable[i] != nullptr) lastGiven = i + 1;
    }

    // Cut into at most k + 1 pieces; the last keeps the rest of the text, delimiters and all.
    // An empty delimiter never matches, so the whole text is one piece.
    std::array<std::string_view, kMaxSlots + 1> pieces;
    std::size_t pieceCount = 0;
    if (!text.empty()) {
        std::size_t start = 0;
        while (pieceCount < lastGiven && !delimiter.empty()) {
            const std::size_t at = FindIgnoreCase(text, delimiter, start);
            if (at == std::string_view::npos) break;
            pieces[pieceCount++] = text.substr(start, at - start);
            start = at + delimiter.size();
        }
        pieces[pieceCount++] = text.substr(start);
    }

    const bool hasRest = pieceCount == lastGiven + 1;
    const std::size_t processed = hasRest ? lastGiven : pieceCount;

    SplitResult result;
    for (std::size_t i = 0; i < processed; ++i) {
        std::uint8_t* const slot = usable[i];
        if (slot == nullptr) continue;
        std::string_view piece = pieces[i];
        std::string withoutLineFeed;
        if (delimiter == "\r") {
            // Lines cut at CR alone still carry the LF of a CRLF pair at their front.
            const auto lf = piece.find('\n');
            if (lf != std::string_view::npos) {
                withoutLineFeed.assign(piece.substr(0, lf));
                withoutLineFeed.append(piece.substr(lf + 1));
                piece = withoutLineFeed;
            }
        }
        piece = TrimSpaces(piece);
        if (const auto value = ConvertTextToByte(piece)) {
            *slot = *value;
        } else if (!result.failedPiece) {
            result.failedPiece = std::string(piece);
        }
    }
    if (hasRest) result.rest = std::string(pieces[lastGiven]);
    return result;
}

}  // namespace tarnleaf
