#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace tarnleaf {

// The console's output, handed over to a writer thread so that the request cycle never
// waits for the reader of standard output (a pager not scrolled, a stuck pipe). Text is
// queued whole or not at all: when it does not fit the bounded queue it is dropped and
// counted, and the writer writes "(N log entries dropped)" where the gap is, as soon as it
// gets going again. The writer gathers for a few milliseconds before it writes, so that a
// busy server's entries go out in a few large writes rather than one each.
class OutputQueue {
public:
    // Writes all of `text`, waiting as long as it takes; false once the output is gone for
    // good (nothing more is written then, and nothing is counted as dropped).
    using Writer = std::function<bool(std::string_view text)>;

    // About 20 ms of a busy server's dumps (20,000 requests a second, both dumps logged).
    static constexpr std::size_t kDefaultCapacity = 1024 * 1024;
    static constexpr std::chrono::milliseconds kGatherTime{5};

    explicit OutputQueue(Writer writer, std::size_t capacity = kDefaultCapacity);
    // Close() with a short grace.
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    // Queues `text`, or drops and counts it when the queue has no room for it. Waits at most
    // for the writer to swap buffers, never for a write.
    void Post(std::string_view text);

    // Waits until everything posted so far has been written (or the output is gone); false
    // when that did not happen within `timeout`.
    bool Flush(std::chrono::milliseconds timeout);

    // Writes what is queued within `grace`, then stops the writer. A writer stuck in a write
    // is left behind (it owns what it uses) so that the program can still end.
    void Close(std::chrono::milliseconds grace = std::chrono::milliseconds(500));

    std::uint64_t DroppedTotal() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

// The line that stands in for dropped entries, with its line end.
std::string DroppedEntriesLine(std::uint64_t count);

}  // namespace tarnleaf
