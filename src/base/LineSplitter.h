#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tarnleaf {

// Splits a stream of input bytes into command lines: LF or CRLF ends a line, an overlong
// line is dropped whole. Shared by the console loops of every platform.
class LineSplitter {
public:
    explicit LineSplitter(std::size_t maxLength) : maxLength_(maxLength) {}

    // Feeds bytes; `emit` is called per complete line, and a false from it stops the feed
    // (the rest of the bytes is dropped). Returns false in that case.
    bool Feed(std::string_view bytes, const std::function<bool(std::string_view)>& emit);

private:
    std::size_t maxLength_;
    std::string pending_;
    bool discarding_ = false;
};

}  // namespace tarnleaf
