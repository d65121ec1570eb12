// The plug-in's face towards the host: the exported entry `c4d_main` and the
// registration of the three commands.
//
// Contract. At start the plug-in creates the one export controller (never
// destroyed; it lives until the module is unloaded) and registers "Render in
// Vantrix", "Update Vantrix scene" and "Export to .vxs". A command that
// cannot be allocated or registered is missing from the host's menus; the
// others are registered all the same and start still reports success. No
// exception leaves c4d_main.
#pragma once

#include "host/types.h"

namespace plugin {

class ExportController;

// Creates the controller (once) and registers the three commands.
void registerCommands();

// The controller the registered commands share; null before the first start.
ExportController* exportController();

}  // namespace plugin

extern "C" __attribute__((visibility("default"))) host::Int32 c4d_main(host::Int32 action, void* p1,
                                                                       void* p2, void* p3);
