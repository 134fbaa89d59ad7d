#pragma once

#include <cstdint>
#include <string>

namespace tarnleaf {

class Clock {
public:
    virtual ~Clock() = default;
    // The local date and time as the log's "date [" line shows it: the user's short date
    // and long time format where the platform has one, else "yyyy/MM/dd HH:mm:ss".
    virtual std::string LocalTimestamp() const = 0;
    // A value that changes from call to call, to seed the test message's generator.
    virtual std::uint64_t SeedValue() const = 0;
};

}  // namespace tarnleaf
