// TerminalProgress: the host's status bar (host::ProgressDisplay) as vxhost
// shows it: a progress bar on stderr when stderr is a terminal, nothing at
// all otherwise, so that scripts and pipes see exactly what they always saw.
//
// Contract. One bar serves the whole run: it appears once vxhost has worked
// about a second (platform::progressDelay, from construction), labelled with
// the current piece of work ("loading grid.json", "exporting"); a piece that
// gives no fraction shows its label alone. end() clears the line, so what
// vxhost prints next starts on a clean one; vxhost's console and message
// box clear it too (platform::clearProgressLine). Installed from
// construction to destruction; one at a time. `allowed` false (the output
// goes to the same terminal) draws nothing either.
#pragma once

#include <string>

#include "host/plugin_api.h"
#include "platform/progress_bar.h"

namespace vxhost {

class TerminalProgress : public host::ProgressDisplay {
public:
    explicit TerminalProgress(bool allowed = true);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void begin(const std::string& what) override;
    void update(double fraction) override;
    void end() override;

private:
    platform::ProgressBar bar_;
    bool working_ = false;  // between begin and end
};

}  // namespace vxhost
