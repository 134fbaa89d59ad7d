#include "IniLine.h"

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
