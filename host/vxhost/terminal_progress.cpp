#include "host/vxhost/terminal_progress.h"

#include <cstdio>
#include <system_error>

namespace vxhost {

namespace {

TerminalProgress* gInstalled = nullptr;

}  // namespace

TerminalProgress::TerminalProgress(bool allowed)
    : bar_(stderr, allowed && platform::isTerminal(stderr), "") {
    host::SetProgressDisplay(this);
    gInstalled = this;
}

TerminalProgress::~TerminalProgress() {
    host::SetProgressDisplay(nullptr);
    gInstalled = nullptr;
    end();
}

void TerminalProgress::begin(const std::string& what) {
    stopWaiter();
    std::lock_guard<std::mutex> lock(mutex_);
    working_ = true;
    ++piece_;
    bar_.setLabel(what);
    bar_.show();  // the label alone until a fraction comes
    startWaiter();
}

void TerminalProgress::update(double fraction) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (working_) bar_.update(fraction);
}

void TerminalProgress::end() {
    stopWaiter();
    std::lock_guard<std::mutex> lock(mutex_);
    working_ = false;
    bar_.clear();
}

void TerminalProgress::clearLine() {
    if (!gInstalled) return;
    std::lock_guard<std::mutex> lock(gInstalled->mutex_);
    gInstalled->bar_.clear();
}

// Called with mutex_ held. Only a piece that begins before the bar may
// appear needs the waiter; one that cannot be started costs the early draw.
void TerminalProgress::startWaiter() {
    if (!bar_.enabled()) return;
    const auto when = bar_.visibleFrom();
    if (platform::ProgressBar::Clock::now() >= when) return;
    const unsigned piece = piece_;
    try {
        waiter_ = std::thread([this, when, piece] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!changed_.wait_until(lock, when, [&] { return piece_ != piece; })) bar_.redraw();
        });
    } catch (const std::system_error&) {
    }
}

void TerminalProgress::stopWaiter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++piece_;
    }
    changed_.notify_all();
    if (waiter_.joinable()) waiter_.join();
}

}  // namespace vxhost
