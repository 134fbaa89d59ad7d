#include "OutputQueue.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace tarnleaf {

std::string DroppedEntriesLine(std::uint64_t count) {
    return "(" + std::to_string(count) + " log entries dropped)\r\n";
}

// Two buffers of fixed capacity: the producer appends to `pending`, the writer swaps it for
// its own empty one and writes outside the lock. Neither grows after the start.
struct OutputQueue::Shared {
    Writer writer;
    std::size_t capacity = 0;

    std::mutex mutex;
    std::condition_variable wake;      // the writer: work, haste or stop
    std::condition_variable progress;  // Flush: the writer finished a round
    std::string pending;
    std::uint64_t droppedSinceWrite = 0;  // not yet reported by a line
    std::uint64_t droppedTotal = 0;
    std::uint64_t posted = 0;   // rounds of text handed over, and
    std::uint64_t written = 0;  // how many of them have been written
    int flushesWaiting = 0;
    bool stopping = false;
    bool gone = false;
    bool writing = false;  // a round is out of the lock

    bool InHaste() const {
        return stopping || flushesWaiting != 0 || droppedSinceWrite != 0 ||
               pending.size() >= capacity / 2;
    }

    void Run() {
        std::string batch;
        batch.reserve(capacity + 64);
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !pending.empty() || droppedSinceWrite; });
            if (pending.empty() && droppedSinceWrite == 0) {
                return;  // stopping, and all written
            }
            wake.wait_for(lock, kGatherTime, [this] { return InHaste(); });
            batch.swap(pending);
            // Drops since the last round happened after everything now in `batch`, which
            // was posted before them: the note follows it.
            const std::uint64_t dropped = droppedSinceWrite;
            droppedSinceWrite = 0;
            const std::uint64_t round = posted;
            writing = true;
            lock.unlock();
            if (dropped != 0) {
                batch += DroppedEntriesLine(dropped);
            }
            const bool ok = writer(batch);
            batch.clear();
            lock.lock();
            writing = false;
            written = round;
            if (!ok) {
                gone = true;
                pending.clear();
                droppedSinceWrite = 0;
                progress.notify_all();
                return;
            }
            progress.notify_all();
        }
    }
};

OutputQueue::OutputQueue(Writer writer, std::size_t capacity)
    : shared_(std::make_shared<Shared>()) {
    shared_->writer = std::move(writer);
    shared_->capacity = capacity;
    shared_->pending.reserve(capacity);
    std::thread([shared = shared_] { shared->Run(); }).detach();
}

OutputQueue::~OutputQueue() { Close(); }

void OutputQueue::Post(std::string_view text) {
    if (!shared_) {
        return;
    }
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    if (s.gone || s.stopping) {
        return;
    }
    // Once one entry is dropped, so is every later one until the writer has taken the
    // queue: the note it adds at the end of that round then stands exactly at the gap.
    if (s.droppedSinceWrite != 0 || s.pending.size() + text.size() > s.capacity) {
        if (s.droppedSinceWrite++ == 0) {
            s.wake.notify_one();
        }
        ++s.droppedTotal;
        return;
    }
    const bool first = s.pending.empty();
    const bool halfFull = s.pending.size() < s.capacity / 2 &&
                          s.pending.size() + text.size() >= s.capacity / 2;
    s.pending.append(text);
    ++s.posted;
    lock.unlock();
    // The writer is woken once per round (it then gathers) and again when it should hurry.
    if (first || halfFull) {
        s.wake.notify_one();
    }
}

bool OutputQueue::Flush(std::chrono::milliseconds timeout) {
    if (!shared_) {
        return true;
    }
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    ++s.flushesWaiting;
    s.wake.notify_one();
    const std::uint64_t target = s.posted;
    const bool done = s.progress.wait_for(lock, timeout, [&s, target] {
        return s.gone || (s.written >= target && s.pending.empty() && !s.writing &&
                          s.droppedSinceWrite == 0);
    });
    --s.flushesWaiting;
    return done;
}

void OutputQueue::Close(std::chrono::milliseconds grace) {
    if (!shared_) {
        return;
    }
    Flush(grace);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->wake.notify_one();
    shared_.reset();
}

std::uint64_t OutputQueue::DroppedTotal() const {
    if (!shared_) {
        return 0;
    }
    std::lock_guard lock(shared_->mutex);
    return shared_->droppedTotal;
}

}  // namespace tarnleaf
