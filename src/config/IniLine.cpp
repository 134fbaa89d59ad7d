#include "IniLine.h"

#include "Utf8.h"

namespace tarnleaf {

namespace {

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimIniBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

IniLine TokeniseIniLine(std::string_view rawLine) {
    const std::string_view line = TrimIniBlanks(rawLine);
    if (line.empty()) return {IniLineKind::Blank, {}, {}};
    if (line.front() == ';') return {IniLineKind::Comment, {}, {}};
    if (line.front() == '[') {
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos) return {IniLineKind::UnclosedHeader, {}, {}};
        return {IniLineKind::Section, TrimIniBlanks(line.substr(1, close - 1)), {}};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return {IniLineKind::Other, {}, {}};
    const std::string_view key = TrimIniBlanks(line.substr(0, equals));
    const std::string_view value = Unquote(TrimIniBlanks(line.substr(equals + 1)));
    if (key.empty()) return {IniLineKind::NamelessKey, {}, value};
    return {IniLineKind::Key, key, value};
}

std::string_view SkipByteOrderMark(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return text;
}

bool IsUtf16File(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

std::string IniTextFromFile(std::string bytes) {
    if (!IsUtf16File(bytes)) return bytes;
    const bool little = bytes[0] == '\xFF';
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return little ? first | second << 8 : first << 8 | second;
    };
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t code = unit(i);
        const bool high = code >= 0xD800 && code <= 0xDBFF;
        if (high && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(text, code);
    }
    return text;
}

std::optional<std::string_view> IniLineReader::Next() {
    if (pos_ >= text_.size()) return std::nullopt;
    ++lineNumber_;
    const std::size_t start = pos_;
    // A plain scan: find_first_of asks a search of its set for every byte, which was most of
    // the time a reload took.
    std::size_t end = start;
    while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') ++end;
    if (end == text_.size()) {
        pos_ = text_.size();
        return text_.substr(start);
    }
    pos_ = end + 1;
    if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    return text_.substr(start, end - start);
}

}  // namespace tarnleaf
