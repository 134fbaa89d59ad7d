#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "Clock.h"

namespace tarnleaf::testing {

// A fixed timestamp, counted reads, and a seed that advances by one per call (so every test
// message draws a new id, reproducibly).
class FakeClock : public Clock {
public:
    explicit FakeClock(std::string timestamp = "2026/12/06 21:00:00", std::uint64_t seed = 1)
        : timestamp_(std::move(timestamp)), nextSeed_(seed) {}

    std::string_view LocalTimestamp() const override {
        ++timestampReads_;
        return timestamp_;
    }
    std::uint64_t SeedValue() const override { return nextSeed_++; }
    int TimestampReads() const { return timestampReads_; }

private:
    std::string timestamp_;
    mutable std::uint64_t nextSeed_;
    mutable int timestampReads_ = 0;
};

}  // namespace tarnleaf::testing
