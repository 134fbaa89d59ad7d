#pragma once

#include <concepts>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarnleaf {

// A file name as UTF-8 text, with the few operations the programs need. It stands in for
// std::filesystem::path in everything the programs ship: under MinGW-w64 that one type
// links in the whole static locale and stream machinery (path's conversions and error
// texts use them), well over half of each Windows program's size.
//
// Separators are '/' on Linux, '\' and '/' on Windows, where joining writes '\'.
class FilePath {
public:
    FilePath() = default;
    FilePath(std::string utf8) : text_(std::move(utf8)) {}  // NOLINT: a name is a path
    FilePath(const char* utf8) : text_(utf8) {}             // NOLINT
    // From std::filesystem::path (tests and Linux-only code, which may pay for it).
    template <typename P>
        requires std::same_as<P, std::filesystem::path>
    FilePath(const P& path) {  // NOLINT
        const std::u8string utf8 = path.u8string();
        text_.assign(utf8.begin(), utf8.end());
    }

    const std::string& string() const { return text_; }
    const char* c_str() const { return text_.c_str(); }
    bool empty() const { return text_.empty(); }

    bool is_absolute() const;
    // Everything before the last separator ("/a/b" gives "/a", "/a" gives "/", "C:\a" gives
    // "C:\"); empty for a bare name.
    FilePath parent_path() const;
    // The part after the last separator.
    std::string filename() const;

#ifdef _WIN32
    std::wstring wstring() const;
    static FilePath FromWide(std::wstring_view wide);
#endif

    // `name` under `folder`; an absolute `name` stands as it is.
    friend FilePath operator/(const FilePath& folder, const FilePath& name);
    friend bool operator==(const FilePath&, const FilePath&) = default;

private:
    std::string text_;
};

// The path made absolute against the current folder, with "." and ".." taken out as text
// (no link is followed); the path as it is when the current folder cannot be found.
FilePath AbsolutePath(const FilePath& path);

}  // namespace tarnleaf
