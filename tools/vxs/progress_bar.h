// ProgressBar: a one-line progress bar for a terminal, redrawn in place.
//
// Contract. Draws only when enabled (the caller decides, normally when the
// stream is a terminal), so that pipes and logs never receive carriage
// returns. A draw starts with "\r" and overwrites the previous one; draws
// come at most every `interval` (the first and a finished one always), so a
// fast stream of updates costs nothing on the terminal. clear() blanks the
// line and leaves the cursor at its start; it is safe to call more than once
// and before any draw. Fractions outside 0..1 are clamped.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace vxs {

class ProgressBar {
public:
    using Clock = std::chrono::steady_clock;

    ProgressBar(std::FILE* out, bool enabled, std::string label,
                Clock::duration interval = std::chrono::milliseconds(100),
                std::function<Clock::time_point()> now = &Clock::now);
    ~ProgressBar() { clear(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(double fraction);
    void clear();

private:
    std::FILE* out_;
    bool enabled_;
    std::string label_;
    Clock::duration interval_;
    std::function<Clock::time_point()> now_;
    Clock::time_point lastDraw_{};
    bool drawn_ = false;
    std::size_t width_ = 0;  // characters of the last draw
};

}  // namespace vxs
