#include "config/IniSnapshot.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tarnleaf {

namespace {

constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimIniBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view TrimSpaceChars(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Hands out the lines of `text` one by one, whatever mix of LF, CRLF and CR ends them.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    std::optional<std::string_view> Next() {
        if (pos_ >= text_.size()) return std::nullopt;
        const std::size_t start = pos_;
        const std::size_t end = text_.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            pos_ = text_.size();
            return text_.substr(start);
        }
        pos_ = end + 1;
        if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
        return text_.substr(start, end - start);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::size_t IniSnapshot::CaseInsensitiveHash::operator()(std::string_view text) const {
    // FNV-1a over the lower-cased bytes.
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(ToLowerAscii(c));
        hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

bool IniSnapshot::CaseInsensitiveEqual::operator()(std::string_view a,
                                                   std::string_view b) const noexcept {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return ToLowerAscii(x) == ToLowerAscii(y); });
}

IniSnapshot IniSnapshot::Parse(std::string_view text) { return Adopt(std::string(text)); }

IniSnapshot IniSnapshot::Adopt(std::string&& text) {
    IniSnapshot snapshot;
    snapshot.text_ = std::move(text);
    std::string_view all = snapshot.text_;
    // Offsets are 32-bit; the reader never hands over a file anywhere near that size, but a
    // caller could, so the text is cut rather than the offsets overflowing.
    constexpr std::size_t kMaxText = std::numeric_limits<std::uint32_t>::max();
    if (all.size() > kMaxText) all = all.substr(0, kMaxText);
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (all.starts_with(kByteOrderMark)) all.remove_prefix(kByteOrderMark.size());

    // Keys go to the section being filled; none before the first header, and none while
    // the current header repeats an earlier section's name.
    Section* current = nullptr;
    LineReader lines(all);
    while (auto rawLine = lines.Next()) {
        const std::string_view line = TrimIniBlanks(*rawLine);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close == std::string_view::npos) continue;
            const std::string_view name = TrimIniBlanks(line.substr(1, close - 1));
            auto [it, inserted] = snapshot.sections_.try_emplace(std::string(name));
            current = inserted ? &it->second : nullptr;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || current == nullptr) continue;
        const std::string_view key = TrimIniBlanks(line.substr(0, equals));
        if (key.empty()) continue;
        std::string_view value = Unquote(TrimIniBlanks(line.substr(equals + 1)));
        value = value.substr(0, std::min(value.size(), kMaxValueBytes));
        const auto offset = static_cast<std::uint32_t>(value.data() - snapshot.text_.data());
        current->try_emplace(std::string(key),
                             ValueSpan{offset, static_cast<std::uint32_t>(value.size())});
    }
    return snapshot;
}

std::optional<std::string_view> IniSnapshot::Find(std::string_view section,
                                                  std::string_view key) const {
    if (section.empty() || key.empty()) return std::nullopt;
    const auto s = sections_.find(section);
    if (s == sections_.end()) return std::nullopt;
    const auto k = s->second.find(key);
    if (k == s->second.end()) return std::nullopt;
    return std::string_view(text_).substr(k->second.offset, k->second.length);
}

bool IniSnapshot::HasSection(std::string_view section) const {
    return !section.empty() && sections_.find(section) != sections_.end();
}

std::string IniSnapshot::GetIniString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const {
    std::string_view value = Find(section, key).value_or(defaultValue);
    value = value.substr(0, std::min(value.size(), kMaxValueBytes));
    return std::string(TrimSpaceChars(value));
}

}  // namespace tarnleaf
