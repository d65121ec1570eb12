#include "host/vxhost/terminal_progress.h"

#include <cstdio>

namespace vxhost {

TerminalProgress::TerminalProgress(bool allowed)
    : bar_(stderr, allowed && platform::isTerminal(stderr), "") {
    host::SetProgressDisplay(this);
}

TerminalProgress::~TerminalProgress() { host::SetProgressDisplay(nullptr); }

void TerminalProgress::begin(const std::string& what) {
    working_ = true;
    bar_.setLabel(what);
    bar_.show();  // the label alone until a fraction comes
}

void TerminalProgress::update(double fraction) {
    if (working_) bar_.update(fraction);
}

void TerminalProgress::end() {
    working_ = false;
    bar_.clear();
}

}  // namespace vxhost
