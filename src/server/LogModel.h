#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnleaf {

// What one append did to the log text, for the front ends that show it: the desktop view
// drops `removedFromFront` characters, appends `appended` and puts the caret at `caret`;
// the console prints `appended`. A message entry leaves the caret at the end of the log; an
// error entry leaves it where the log ended before, at the start of the error.
struct LogChange {
    std::size_t removedFromFront = 0;
    std::string appended;
    std::size_t caret = 0;
};

// The log: plain text with CRLF line ends, entries separated by an empty line, trimmed
// from the front once it reaches 15,000 characters. The logging switch decides whether
// message entries are written; error entries are written regardless.
class LogModel {
public:
    using Observer = std::function<void(const LogChange&)>;

    static constexpr std::size_t kTrimThreshold = 15000;

    void Subscribe(Observer observer);

    bool LoggingEnabled() const { return logging_; }
    void SetLoggingEnabled(bool on) { logging_ = on; }

    // AppendMessageEntry: "date [..]", "size [..]" and the dump, after TrimLog.
    void AppendMessageEntry(std::size_t byteCount, std::string_view dump,
                            std::string_view timestamp);
    // AppendErrorEntry: the body and an empty line; never trims.
    void AppendErrorEntry(std::string_view body);

    const std::string& Text() const { return text_; }

private:
    void Publish(const LogChange& change);

    std::string text_;
    bool logging_ = true;
    std::vector<Observer> observers_;
};

// TrimLog: below 15,000 characters the text is unchanged; otherwise everything up to and
// including the first CRLF of the first CRLF CRLF goes (or the first character, if none).
std::string TrimLog(std::string text);

}  // namespace tarnleaf
