#pragma once

#include <cstdint>
#include <string_view>

namespace tarnleaf {

class Clock {
public:
    virtual ~Clock() = default;
    // The local date and time as the log's "date [" line shows it: the user's short date
    // and long time format where the platform has one, else "yyyy/MM/dd HH:mm:ss". Valid
    // until the next call: a busy log asks for it twice a request, and it changes once a
    // second.
    virtual std::string_view LocalTimestamp() const = 0;
    // A value that changes from call to call, to seed the test message's generator.
    virtual std::uint64_t SeedValue() const = 0;
};

}  // namespace tarnleaf
