#include "LogModel.h"

#include <charconv>
#include <utility>

namespace tarnleaf {

namespace {

constexpr std::string_view kCrlf = "\r\n";
constexpr std::string_view kEmptyLine = "\r\n\r\n";

}  // namespace

void LogModel::Subscribe(Observer observer) {
    observers_.push_back(std::move(observer));
}

void LogModel::AppendMessageEntry(std::size_t byteCount, std::string_view dump,
                                  std::string_view timestamp) {
    std::string& out = change_.appended;
    out.clear();
    if (written_) {
        out += kCrlf;
    }
    out += "date [";
    out += timestamp;
    out += "]\r\nsize [";
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, byteCount).ptr;
    out.append(digits, end);
    out += "]\r\n";
    out += dump;
    Commit(true);
}

void LogModel::AppendErrorEntry(std::string_view body) {
    std::string& out = change_.appended;
    out.clear();
    if (written_) {
        out += kCrlf;
    }
    out += body;
    out += kEmptyLine;
    Commit(false);
}

void LogModel::Commit(bool caretAtEnd) {
    written_ = true;
    change_.removedFromFront = keep_ ? MakeRoom(change_.appended.size()) : 0;
    // An error entry puts the caret where the log ended before it, i.e. at its start.
    change_.caret = Text().size();
    if (keep_) {
        buffer_ += change_.appended;
    }
    if (caretAtEnd) {
        change_.caret = Text().size();
    }
    for (const Observer& observer : observers_) {
        observer(change_);
    }
}

std::size_t LogModel::MakeRoom(std::size_t incoming) {
    const std::size_t before = buffer_.size() - start_;
    while (start_ < buffer_.size() && buffer_.size() - start_ + incoming > kTextLimit) {
        // An entry ends with its empty line; everything up to the first break of the first
        // empty line goes. Text without one (a single oversized entry) goes whole.
        const std::size_t pair = buffer_.find(kEmptyLine, start_);
        start_ = pair == std::string::npos ? buffer_.size() : pair + kCrlf.size();
    }
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > buffer_.size() - start_) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    return before - (buffer_.size() - start_);
}

}  // namespace tarnleaf
