// ProgressBar: a one-line progress bar for a terminal, redrawn in place.
//
// Contract. Draws only when enabled (the caller decides, normally when the
// stream is a terminal: isTerminal), so that pipes and logs never receive a
// byte of it. Nothing is drawn before the work has run `delay` (counted from
// construction), so a quick command prints nothing even on a terminal. A
// draw starts with "\r" and overwrites the previous one: the label and a bar
// with the percentage (update), or the label and a number when the total is
// unknown (count), or the label alone (show). Draws come at most every
// `interval`; a finished one (1.0) and the first after a new label or a
// clear() come as soon as the delay allows. clear() blanks the line and
// leaves the cursor at its start; it is safe to call more than once and
// before any draw, and the next update draws again. The destructor clears.
// Fractions outside 0..1 are clamped, NaN is 0. A line never exceeds the
// terminal's width (the label is cut), so that "\r" always returns to its
// start.
//
// Cost. An update reads the clock only when the fraction moved by 1/1024
// since the last reading or every 256th call, so a loop may report every
// item it does.
//
// Other output. Whatever else writes to the bar's stream while a bar is
// drawn calls clearProgressLine() first: the message then starts on a clean
// line, and the bar comes back at its next update. Bars nest (the newest is
// the one cleared) and belong to one thread, or to callers that lock around
// every use.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace platform {

// How long work runs before a bar appears: one second, unless the
// environment variable VX_PROGRESS_DELAY_MS gives milliseconds. That
// variable exists for the tests, which cannot wait on a slow machine's
// speed; users have no reason to set it.
std::chrono::milliseconds progressDelay();

// Whether `stream` is a terminal (a bar may be drawn on it).
bool isTerminal(std::FILE* stream);

// When a bar may draw; `now` is injectable for tests.
struct ProgressTiming {
    using Clock = std::chrono::steady_clock;
    Clock::duration delay = progressDelay();
    Clock::duration interval = std::chrono::milliseconds(100);
    std::function<Clock::time_point()> now = &Clock::now;
};

class ProgressBar {
public:
    using Clock = ProgressTiming::Clock;
    using Timing = ProgressTiming;

    ProgressBar(std::FILE* out, bool enabled, std::string label, Timing timing = {});
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // A new piece of work: shown from the next update on, without waiting
    // for the interval. The delay still counts from construction.
    void setLabel(std::string label);
    void update(double fraction);
    void count(std::uint64_t done);
    // The label alone, for work that says nothing of how far it got.
    void show();
    // What the last call showed, drawn again now if the delay has passed:
    // for a caller that wakes when the delay ends during a long step.
    void redraw();
    void clear();
    bool enabled() const { return enabled_; }
    // When the delay ends: no draw comes before.
    Clock::time_point visibleFrom() const { return start_ + timing_.delay; }

private:
    enum class Kind { Fraction, Count, Label };
    void poll(bool finished);
    void draw(Clock::time_point now);

    std::FILE* out_;
    bool enabled_;
    std::string label_;
    Timing timing_;
    Clock::time_point start_{};
    Clock::time_point lastDraw_{};
    Kind kind_ = Kind::Label;
    double fraction_ = 0.0;
    std::uint64_t count_ = 0;
    double readFraction_ = -1.0;  // the fraction at the last clock reading
    unsigned unread_ = 0;         // updates since the last clock reading
    bool drawn_ = false;          // the line holds a draw
    bool fresh_ = true;           // nothing drawn since the label or the last clear
    std::size_t width_ = 0;       // characters of the last draw
    std::size_t columns_ = 80;    // the terminal's width
    ProgressBar* outer_ = nullptr;
};

// Blanks the newest live bar's line, if it is drawn; call before writing
// anything else to its stream.
void clearProgressLine();

}  // namespace platform
