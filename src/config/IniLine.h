#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnleaf {

// What one line of an INI file is, by the rules every reader of Tarnleaf.ini shares (the
// snapshot that answers the server and the check that reports on the file):
// - blanks and tabs around the line do not count; an empty line is blank;
// - a line starting with ";" is a comment;
// - "[" starts a section header, whose name runs to the last "]" (trimmed); a header
//   without "]" is ignored;
// - otherwise a line with "=" is a key: the name before the first "=" (trimmed), the value
//   after it, blanks trimmed and one pair of matching surrounding quotes (" or ') removed;
//   a key without a name is ignored;
// - anything else (no "=") is ignored.
enum class IniLineKind {
    Blank,
    Comment,
    Section,
    Key,
    UnclosedHeader,  // "[" without "]"
    NamelessKey,     // "=value"
    Other,           // no "=" at all
};

struct IniLine {
    IniLineKind kind = IniLineKind::Blank;
    std::string_view name;   // section or key name
    std::string_view value;  // a key's value, not yet cut to any length
};

IniLine TokeniseIniLine(std::string_view line);

// The text without a UTF-8 byte-order mark at its start.
std::string_view SkipByteOrderMark(std::string_view text);

// Whether the file's bytes start with a UTF-16 byte-order mark (Notepad's "Unicode").
bool IsUtf16File(std::string_view bytes);

// A file's bytes as the text the reader works on: UTF-16 with its byte-order mark, as the
// system's own profile functions accept, turned into UTF-8 (a lone surrogate becomes
// U+FFFD, an odd last byte is dropped); anything else as it is.
std::string IniTextFromFile(std::string bytes);

// Hands out the lines of `text` one by one, whatever mix of LF, CRLF and CR ends them, and
// counts them from 1.
class IniLineReader {
public:
    explicit IniLineReader(std::string_view text) : text_(text) {}

    std::optional<std::string_view> Next();
    std::size_t LineNumber() const { return lineNumber_; }  // of the line last handed out

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t lineNumber_ = 0;
};

}  // namespace tarnleaf
