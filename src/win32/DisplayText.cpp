#include "DisplayText.h"

#include <windows.h>

#include "Utf8.h"

namespace tarnleaf {

std::wstring DecodeForDisplay(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    ForEachShownChar(bytes, [&](char32_t code) { AppendUtf16(text, code); });
    return text;
}

std::size_t DisplayLength(std::string_view bytes) {
    std::size_t length = 0;
    ForEachShownChar(bytes, [&](char32_t code) { length += Utf16Length(code); });
    return length;
}

std::wstring WidenCut(std::string_view utf8, std::size_t maxUnits) {
    std::wstring wide = DecodeForDisplay(utf8);
    if (wide.size() <= maxUnits) return wide;
    std::size_t length = maxUnits;
    if (length > 0 && wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF) --length;
    wide.resize(length);
    return wide;
}

std::wstring CommandLineTail(std::wstring_view commandLine) {
    std::size_t i = 0;
    if (i < commandLine.size() && commandLine[i] == L'"') {
        ++i;
        while (i < commandLine.size() && commandLine[i] != L'"') ++i;
        if (i < commandLine.size()) ++i;
    } else {
        while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    return std::wstring(commandLine.substr(i));
}

}  // namespace tarnleaf
