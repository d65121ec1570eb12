#include "platform/clock.h"

#include <time.h>

#include <cerrno>

namespace platform {

namespace {

class PosixClock final : public Clock {
public:
    std::optional<TimeOfDay> localTimeOfDay() const override {
        const time_t now = ::time(nullptr);
        struct tm local {};
        if (now == static_cast<time_t>(-1) || ::localtime_r(&now, &local) == nullptr) {
            return std::nullopt;
        }
        return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
    }

    std::uint32_t tickCount() const override {
        struct timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                  static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<std::uint32_t>(milliseconds);  // wraps, as documented
    }

    void sleepMilliseconds(std::uint32_t milliseconds) override {
        struct timespec remaining {};
        remaining.tv_sec = static_cast<time_t>(milliseconds / 1000u);
        remaining.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
        while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

Clock& systemClock() {
    static PosixClock clock;
    return clock;
}

}  // namespace platform
