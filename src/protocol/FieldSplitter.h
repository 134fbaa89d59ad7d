#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnleaf {

struct SplitResult {
    std::string rest;                         // the unsplit remainder, or empty
    std::optional<std::string> failedPiece;   // first piece that did not fit its byte slot
};

// SplitToFields: cuts `text` at `delimiter` (matched without regard to letter case) and
// stores the first pieces into the given byte slots (nullptr = an absent slot, at most
// ten; slots beyond the tenth are not looked at). Each piece is trimmed of spaces and stored
// as its leading number, rounded; a piece that does not fit a byte leaves its slot unchanged
// and is reported. An empty delimiter leaves the text as one piece.
SplitResult SplitToFields(std::string_view text, std::string_view delimiter,
                          std::span<std::uint8_t* const> slots);

}  // namespace tarnleaf
