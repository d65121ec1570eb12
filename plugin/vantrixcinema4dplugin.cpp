#include "plugin/vantrixcinema4dplugin.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "host/plugin_api.h"
#include "plugin/commands.h"
#include "plugin/export_controller.h"

namespace plugin {

namespace {

// Created at start and never destroyed: its state (the material names, the
// last command's selection) lasts for as long as the host runs.
ExportController* g_controller = nullptr;

struct CommandEntry {
    host::Int32 id;
    const char* name;
    const char* help;
    const char* iconFile;
    host::CommandData* command;
};

std::unique_ptr<host::BaseBitmap> loadIcon(const char* file) {
    host::Filename icon;
    icon.SetDirectory(host::String(host::GeGetPluginPath().GetString().utf8() + "/res"));
    icon.SetFile(file);
    return host::BaseBitmap::Load(icon, 1.0);
}

// A command that fails to register is missing from the menus; it does not
// keep the others from registering.
void registerCommand(const CommandEntry& entry) noexcept {
    host::CommandData* command = entry.command;
    if (!command) return;  // its allocation failed: nothing to register
    try {
        const host::String name(entry.name);
        const host::String help(entry.help);
        const std::unique_ptr<host::BaseBitmap> icon = loadIcon(entry.iconFile);
        if (host::RegisterCommandPlugin(entry.id, name, 0, icon.get(), help, command)) return;
    } catch (const std::exception& e) {
        try {
            host::GePrint(host::String(std::string(entry.name) + ": " + e.what()));
        } catch (...) {
        }
    }
    host::DeleteObj(command);  // the host takes a command only when it registered it
}

void showError(const char* message) noexcept {
    try {
        host::GeOutString(host::String(message), host::GEMB_ICONEXCLAMATION);
    } catch (...) {
    }
}

bool pluginStart() {
    try {
        registerCommands();
    } catch (const std::exception& e) {
        showError(e.what());
    } catch (...) {
        showError("The plug-in could not register its commands.");
    }
    return true;
}

bool pluginMessage(host::Int32 id, void* /*data*/) { return id == 0 || id == 1; }

void pluginEnd() {}

}  // namespace

ExportController* exportController() { return g_controller; }

void registerCommands() {
    if (!g_controller) g_controller = new ExportController();
    ExportController* controller = g_controller;

    const CommandEntry entries[] = {
        {1033591, "Render in Vantrix", "Render", "render.png",
         host::NewObjClear<VantrixCinema4DRender>(controller)},
        {1034393, "Update Vantrix scene", "Update", "update.png",
         host::NewObjClear<VantrixCinema4DUpdate>(controller)},
        {1034420, "Export to .vxs", "Export", "export.png",
         host::NewObjClear<VantrixCinema4DExport>(controller)},
    };
    for (const CommandEntry& entry : entries) registerCommand(entry);
}

}  // namespace plugin

extern "C" host::Int32 c4d_main(host::Int32 action, void* p1, void* p2, void* /*p3*/) {
    switch (action) {
        case host::C4DPL_START:
            return plugin::pluginStart() ? 1 : 0;
        case host::C4DPL_MESSAGE:
            return plugin::pluginMessage(
                       static_cast<host::Int32>(reinterpret_cast<std::intptr_t>(p1)), p2)
                       ? 1
                       : 0;
        case host::C4DPL_END:
            plugin::pluginEnd();
            return 1;
        default:
            return 0;
    }
}
