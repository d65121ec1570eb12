// Clock: the time services of the live link, injectable so that tests can
// drive time.
//
// Contract. localTimeOfDay is the wall-clock time in the local time zone
// (null when it cannot be determined). tickCount is a monotonic millisecond
// count since an arbitrary start, 32 bits wide: it wraps after about 49.7
// days, so callers compare ticks by unsigned subtraction. sleepMilliseconds
// blocks the calling thread for at least that long.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

struct TimeOfDay {
    int hour;    // 0..23
    int minute;  // 0..59
    int second;  // 0..60 (leap second)
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::optional<TimeOfDay> localTimeOfDay() const = 0;
    virtual std::uint32_t tickCount() const = 0;
    virtual void sleepMilliseconds(std::uint32_t milliseconds) = 0;
};

Clock& systemClock();

}  // namespace platform
