#include "LogModel.h"

#include <utility>

namespace tarnleaf {

namespace {

constexpr std::string_view kCrlf = "\r\n";

}  // namespace

void LogModel::Subscribe(Observer observer) {
    observers_.push_back(std::move(observer));
}

void LogModel::AppendMessageEntry(std::size_t byteCount, std::string_view dump,
                                  std::string_view timestamp) {
    const std::size_t before = text_.size();
    text_ = TrimLog(std::move(text_));

    LogChange change;
    change.removedFromFront = before - text_.size();
    if (before != 0) {
        // The test is on the log as it was before trimming: trimming never empties it.
        change.appended += kCrlf;
    }
    change.appended += "date [";
    change.appended += timestamp;
    change.appended += "]";
    change.appended += kCrlf;
    change.appended += "size [";
    change.appended += std::to_string(byteCount);
    change.appended += "]";
    change.appended += kCrlf;
    change.appended += dump;

    text_ += change.appended;
    change.caret = text_.size();
    Publish(change);
}

void LogModel::AppendErrorEntry(std::string_view body) {
    LogChange change;
    // The caret goes to the end of the log as it was, i.e. to the start of the error entry.
    change.caret = text_.size();
    if (!text_.empty()) {
        change.appended += kCrlf;
    }
    change.appended += body;
    change.appended += kCrlf;
    change.appended += kCrlf;

    text_ += change.appended;
    Publish(change);
}

void LogModel::Publish(const LogChange& change) {
    for (const Observer& observer : observers_) {
        observer(change);
    }
}

std::string TrimLog(std::string text) {
    if (text.size() < LogModel::kTrimThreshold) {
        return text;
    }
    const std::size_t pair = text.find("\r\n\r\n");
    text.erase(0, pair == std::string::npos ? 1 : pair + 2);
    return text;
}

}  // namespace tarnleaf
