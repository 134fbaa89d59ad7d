#pragma once

#include <cstddef>
#include <string_view>

#include <QString>

namespace tarnleaf {

// The log's bytes as the Qt log view holds them. The log is UTF-8 where it is UTF-8; any
// other byte shows as the Latin-1 character of its value, so every byte shows as something
// and a prefix of the bytes that ends on a character turns into a prefix of the whole text
// (caret offsets map exactly). Line ends (CR LF,
// or a lone CR or LF) become one "\n" each, as the view's document counts them.
QString DisplayText(std::string_view bytes);

// The view's cursor position for a byte offset into `bytes` (clamped to its length).
int DisplayPosition(std::string_view bytes, std::size_t byteOffset);

}  // namespace tarnleaf
