#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "WideText.h"

namespace tarnleaf {

// The program keeps its texts as UTF-8 bytes (a profile may hold any code page); Windows
// shows UTF-16. These conversions never fail.

// UTF-8 where the bytes are UTF-8, any other byte as the Latin-1 character of its value,
// so that every byte shows as something and a prefix always decodes to a prefix of the
// whole (a byte offset maps exactly onto a character offset).
std::wstring DecodeForDisplay(std::string_view bytes);
// The UTF-16 length of DecodeForDisplay(bytes), counted without building it: the log view
// places its caret after every entry.
std::size_t DisplayLength(std::string_view bytes);

// Captions and menu texts.
inline std::wstring Widen(std::string_view utf8) { return DecodeForDisplay(utf8); }

// At most `maxUnits` UTF-16 units of the text, never the first half of a surrogate pair
// without its second: for fixed fields such as the tray icon's tip.
std::wstring WidenCut(std::string_view utf8, std::size_t maxUnits);

// The program's command line after its name, as Windows splits the name off (quoted or up
// to the first blank), with the blanks after the name dropped.
std::wstring CommandLineTail(std::wstring_view commandLine);

}  // namespace tarnleaf
