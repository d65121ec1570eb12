// The three menu commands. Each hands the host's active document to the
// shared export controller (not owned; it outlives the commands).
//
// Contract. Execute always answers true to the host, whatever the controller
// answered: a cancelled dialog or a missing renderer is not a host error. No
// exception leaves Execute: one raised below (a scene file that cannot be
// opened or closed) is shown to the user with the host's message box.
#pragma once

#include "host/plugin_api.h"

namespace plugin {

class ExportController;

class VantrixCinema4DRender : public host::CommandData {
public:
    explicit VantrixCinema4DRender(ExportController* controller) : controller_(controller) {}
    bool Execute(host::BaseDocument* doc) override;

private:
    ExportController* controller_;
};

class VantrixCinema4DUpdate : public host::CommandData {
public:
    explicit VantrixCinema4DUpdate(ExportController* controller) : controller_(controller) {}
    bool Execute(host::BaseDocument* doc) override;

private:
    ExportController* controller_;
};

class VantrixCinema4DExport : public host::CommandData {
public:
    explicit VantrixCinema4DExport(ExportController* controller) : controller_(controller) {}
    bool Execute(host::BaseDocument* doc) override;

private:
    ExportController* controller_;
};

}  // namespace plugin
