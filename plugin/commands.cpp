#include "plugin/commands.h"

#include <exception>

#include "plugin/export_controller.h"

namespace plugin {

namespace {

using Operation = bool (ExportController::*)(host::BaseDocument*);

// Shows the error and marks the command's outcome as a failure; the answer
// to the host stays success.
void showError(const char* message) noexcept {
    host::SetCommandStatus(host::COMMANDSTATUS::FAILED);
    try {
        host::GeOutString(host::String(message), host::GEMB_ICONEXCLAMATION);
    } catch (...) {  // nothing is left to tell the user with
    }
}

// The command's edge: whatever goes wrong below is shown, never thrown into
// the host.
bool runCommand(ExportController* controller, Operation operation, host::BaseDocument* doc) {
    if (!controller) return true;
    try {
        (controller->*operation)(doc);
    } catch (const std::exception& e) {
        showError(e.what());
    } catch (...) {
        showError("The command failed for an unknown reason.");
    }
    return true;
}

}  // namespace

bool VantrixCinema4DRender::Execute(host::BaseDocument* doc) {
    return runCommand(controller_, &ExportController::runRender, doc);
}

bool VantrixCinema4DUpdate::Execute(host::BaseDocument* doc) {
    return runCommand(controller_, &ExportController::runUpdate, doc);
}

bool VantrixCinema4DExport::Execute(host::BaseDocument* doc) {
    return runCommand(controller_, &ExportController::runExport, doc);
}

}  // namespace plugin
