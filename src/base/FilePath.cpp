#include "FilePath.h"

#include <cerrno>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "WideText.h"
#else
#include <unistd.h>
#endif

namespace tarnleaf {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr std::string_view kSeparators = "\\/";
#else
constexpr char kSeparator = '/';
constexpr std::string_view kSeparators = "/";
#endif

bool IsSeparator(char c) { return kSeparators.find(c) != std::string_view::npos; }

// How much of the text is its root: "/" on Linux; "C:\", "C:" or "\" on Windows.
std::size_t RootLength(std::string_view text) {
#ifdef _WIN32
    if (text.size() >= 2 && text[1] == ':') {
        return text.size() >= 3 && IsSeparator(text[2]) ? 3 : 2;
    }
#endif
    return !text.empty() && IsSeparator(text[0]) ? 1 : 0;
}

#ifndef _WIN32
// "/a/./b/../c" gives "/a/c"; ".." never climbs above the root.
std::string Normalize(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 1;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view part = text.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const auto part : parts) {
        result += '/';
        result += part;
    }
    return result.empty() ? "/" : result;
}
#endif

}  // namespace

bool FilePath::is_absolute() const {
#ifdef _WIN32
    // "C:\x" and "\\server\share\x"; "C:x" and "\x" still depend on the current folder.
    return (text_.size() >= 3 && text_[1] == ':' && IsSeparator(text_[2])) ||
           (text_.size() >= 2 && IsSeparator(text_[0]) && IsSeparator(text_[1]));
#else
    return !text_.empty() && text_[0] == '/';
#endif
}

FilePath FilePath::parent_path() const {
    const std::size_t root = RootLength(text_);
    std::size_t end = text_.size();
    while (end > root && !IsSeparator(text_[end - 1])) --end;  // the last name
    while (end > root && IsSeparator(text_[end - 1])) --end;   // its separators
    return FilePath(text_.substr(0, end));
}

std::string FilePath::filename() const {
    std::size_t start = text_.size();
    while (start > RootLength(text_) && !IsSeparator(text_[start - 1])) --start;
    return text_.substr(start);
}

FilePath operator/(const FilePath& folder, const FilePath& name) {
    if (name.is_absolute() || folder.empty()) return name;
    std::string text = folder.text_;
    if (!IsSeparator(text.back()) && !(text.size() == 2 && text[1] == ':' && RootLength(text))) {
        text += kSeparator;
    }
    return FilePath(text + name.text_);
}

#ifdef _WIN32
std::wstring FilePath::wstring() const {
    if (text_.empty()) return {};
    const int size = static_cast<int>(text_.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text_.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text_.data(), size, wide.data(), length);
    return wide;
}

FilePath FilePath::FromWide(std::wstring_view wide) { return FilePath(Narrow(wide)); }

FilePath AbsolutePath(const FilePath& path) {
    // GetFullPathNameW also takes "." and ".." out, as text.
    const std::wstring wide = path.wstring();
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) break;
        if (length < buffer.size()) return FilePath::FromWide({buffer.data(), length});
        buffer.resize(length + 1);
    }
    return path;
}
#else
FilePath AbsolutePath(const FilePath& path) {
    if (path.is_absolute()) return FilePath(Normalize(path.string()));
    std::vector<char> buffer(4096);
    for (int attempt = 0; attempt < 6; ++attempt) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            return FilePath(Normalize(std::string(buffer.data()) + '/' + path.string()));
        }
        if (errno != ERANGE) break;
        buffer.resize(buffer.size() * 2);
    }
    return path;
}
#endif

}  // namespace tarnleaf
