#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

namespace tarnleaf {

// How a server that waits in its receive takes its requests.
//
// While requests come apart, each is waited for and taken alone, as a bare loop would: a
// look for more would only find an empty queue. Under sustained load (kQuickTakesToGather
// requests in a row, each within half a window of the last) every wake-up costs as much as
// the request it brings, so the server gathers instead: it sleeps out the rest of kWindow
// since its last take, then takes all that came meanwhile, and one wake-up and one send
// call serve them all. A take that fills every slot offered is followed at once by another,
// so a queue longer than a batch is never left to wait a window. A window that brings one
// request or none ends the gathering.
//
// A reply under load leaves at most kWindow later than it would; clients wait seconds for
// one, and a burst of requests then costs a fraction of the processor.
class ReceivePacer {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::microseconds kWindow{1000};
    static constexpr int kQuickTakesToGather = 4;

    // Empty: wait for one request. Else sleep until then (a time already past: not at all)
    // and take all that are waiting, without waiting for more.
    std::optional<Clock::time_point> GatherAfter() const;

    // The take just planned ended at `now` with `count` requests; `filled` when they filled
    // every slot it offered. A wait that ended without a request counts too.
    void Took(Clock::time_point now, std::size_t count, bool filled);

private:
    bool gathering_ = false;
    bool takeAgain_ = false;  // the last gathered take was full: the queue may hold more
    int quickInRow_ = 0;
    Clock::time_point lastTake_{};
};

}  // namespace tarnleaf
