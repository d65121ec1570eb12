// TerminalProgress: the host's status bar (host::ProgressDisplay) as vxhost
// shows it: a progress bar on stderr when stderr is a terminal, nothing at
// all otherwise, so that scripts and pipes see exactly what they always saw.
//
// Contract. One bar serves the whole run: it appears once vxhost has worked
// about a second (platform::progressDelay, from construction), labelled with
// the current piece of work ("loading grid.json", "exporting"); a piece that
// gives no fraction (an import) shows its label alone. A piece still running
// when the second ends is drawn then, even if it reports nothing more (one
// large mesh, an importer without a hook): a helper thread waits for that
// moment. end() clears the line, so what vxhost prints next starts on a
// clean one; whatever prints while a piece runs (the plug-in's console)
// calls clearLine() first. Installed from construction to destruction; one
// at a time. `allowed` false (the output goes to the same terminal) draws
// nothing either.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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

    // Blanks the installed bar's line, if any, before other output.
    static void clearLine();

private:
    void startWaiter();
    void stopWaiter();

    std::mutex mutex_;  // the bar is shared with the waiter
    std::condition_variable changed_;
    platform::ProgressBar bar_;
    bool working_ = false;  // between begin and end
    unsigned piece_ = 0;    // counts begin and end calls
    std::thread waiter_;
};

}  // namespace vxhost
