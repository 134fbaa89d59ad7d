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

// Whether the model keeps the text itself. The console only forwards each change and never
// shows the whole log, so it need not hold 15,000 characters nor copy every entry into them.
enum class LogText { Kept, NotKept };

// The log: plain text with CRLF line ends, entries separated by an empty line, at most
// 15,000 characters: before an entry is appended, whole entries are dropped from the front
// until it fits (an entry larger than the whole log replaces it). The logging switch decides
// whether message entries are written; error entries are written regardless, and count
// against the limit like any other.
class LogModel {
public:
    using Observer = std::function<void(const LogChange&)>;

    static constexpr std::size_t kTextLimit = 15000;

    explicit LogModel(LogText keep = LogText::Kept) : keep_(keep == LogText::Kept) {}

    void Subscribe(Observer observer);

    bool LoggingEnabled() const { return logging_; }
    void SetLoggingEnabled(bool on) { logging_ = on; }

    // "date [..]", "size [..]" and the dump.
    void AppendMessageEntry(std::size_t byteCount, std::string_view dump,
                            std::string_view timestamp);
    // The body and an empty line.
    void AppendErrorEntry(std::string_view body);

    // Valid until the next append; empty when the text is not kept.
    std::string_view Text() const { return std::string_view(buffer_).substr(start_); }

private:
    // Drops entries from the front until `incoming` more characters fit; returns how many
    // characters went. Costs what it drops, not what stays.
    std::size_t MakeRoom(std::size_t incoming);
    void Commit(bool caretAtEnd);

    // The text is buffer_ from start_ on: dropping moves start_, and the dropped head is
    // only cut off the buffer once it outweighs the text, so each character is moved at
    // most a bounded number of times.
    std::string buffer_;
    std::size_t start_ = 0;
    bool keep_ = true;
    bool written_ = false;
    bool logging_ = true;
    LogChange change_;  // reused from entry to entry
    std::vector<Observer> observers_;
};

}  // namespace tarnleaf
