// Running one registered command on a document, as the host would.
#include "host/vxhost/session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>

#include "host/demo_document.h"
#include "host/plugin_api.h"
#include "host/vxhost/document_source.h"
#include "host/vxhost/terminal_progress.h"

namespace vxhost {

namespace {

const host::RegisteredCommand* findCommand(const std::string& key) {
    const auto& commands = host::RegisteredCommands();
    for (const auto& c : commands)
        if (std::to_string(c.id) == key || c.name.utf8() == key) return &c;
    return nullptr;
}

// Set whenever the plug-in shows a message; a command that showed one ends
// vxhost with status 1.
bool gMessageShown = false;

// Installs vxhost's answer to the save dialog for one command and removes it
// again, so that the handler never outlives what it refers to.
class DialogHandler {
public:
    DialogHandler(const RunRequest& request, bool& dialogShown) {
        const std::optional<std::string> savePath = request.savePath;
        host::SetFileDialogHandler(
            [savePath, &dialogShown](const std::string& title,
                                     const std::string& suggested) -> std::optional<std::string> {
                dialogShown = true;
                if (savePath) return savePath;
                if (!::isatty(STDIN_FILENO)) return std::nullopt;  // nobody to ask: cancelled
                std::cerr << title << " - save as (suggested " << suggested
                          << ", empty cancels): " << std::flush;
                std::string answer;
                if (!std::getline(std::cin, answer) || answer.empty()) return std::nullopt;
                return answer;
            });
        host::ResetLastFileSelectPath();
    }
    ~DialogHandler() { host::SetFileDialogHandler(nullptr); }
    DialogHandler(const DialogHandler&) = delete;
    DialogHandler& operator=(const DialogHandler&) = delete;
};

std::string outcome(bool dialogShown) {
    const std::optional<std::string> path = host::LastFileSelectPath();
    if (!path) return dialogShown ? "save dialog cancelled, nothing written" : "done";
    if (*path == "-") return "wrote the scene to the standard output";
    struct stat info {};
    if (path->empty() || ::stat(path->c_str(), &info) != 0)
        return "nothing written to \"" + *path + "\"";
    // A device or a FIFO took the bytes in place; its size says nothing.
    if (!S_ISREG(info.st_mode)) return "wrote the scene to " + *path;
    return "wrote " + *path + " (" + std::to_string(info.st_size) + " bytes)";
}

}  // namespace

void installConsole() {
    host::SetConsoleSink([](const std::string& text) {
        TerminalProgress::clearLine();
        std::cerr << text << '\n';
    });
    host::SetMessageBoxHandler([](const std::string& text, host::Int32) {
        gMessageShown = true;
        TerminalProgress::clearLine();
        std::cerr << "vxhost: " << text << '\n';
    });
}

int listCommands(std::ostream& out) {
    for (const auto& c : host::RegisteredCommands())
        out << c.id << '\t' << c.name.utf8() << '\t' << c.help.utf8() << '\t'
            << (c.icon ? c.icon->GetString().utf8() : std::string("(no icon)")) << '\n';
    return 0;
}

int runCommand(const RunRequest& request) {
    const host::RegisteredCommand* command = findCommand(request.command);
    if (!command) {
        std::cerr << "vxhost: no command \"" << request.command
                  << "\" (vxhost commands lists them)\n";
        return 1;
    }
    const std::string label =
        request.document ? *request.document : std::string("the demo document");
    std::unique_ptr<host::BaseDocument> doc;
    try {
        // A glTF file's embedded images go beside the scene file when there
        // is one, else into vxhost's image cache.
        const bool toFile =
            request.savePath && *request.savePath != "-" && !request.savePath->empty();
        if (!request.document && request.animation)
            throw std::runtime_error("--animation picks an animation of a glTF file");
        doc = request.document
                  ? loadDocument(*request.document, toFile ? folderOf(*request.savePath) : "", {},
                                 LoadOptions{request.animation})
                  : host::LoadDemoDocument();
    } catch (const std::exception& e) {
        std::cerr << "vxhost: " << label << ": " << e.what() << '\n';
        return 1;
    }

    bool dialogShown = false, ok = false;
    std::string failure;
    gMessageShown = false;
    host::SetCommandStatus(host::COMMANDSTATUS::OK);
    {
        DialogHandler dialog(request, dialogShown);
        try {
            ok = command->command->Execute(doc.get());
        } catch (const std::exception& e) {
            failure = e.what();
        } catch (...) {
            failure = "the command failed with an unknown exception";
        }
        host::EndProgress();  // a plug-in that left its bar up loses it here
    }
    std::fflush(stdout);
    std::cout.flush();
    const std::string name = command->name.utf8() + " (" + std::to_string(command->id) + ")";
    if (!failure.empty()) {
        std::cerr << "vxhost: " << failure << '\n';
        return 1;
    }
    if (gMessageShown) return 1;
    if (host::GetCommandStatus() == host::COMMANDSTATUS::FAILED) {
        // The command answered success as it must; what it showed was a failure.
        std::cerr << "vxhost: " << name << " on " << label << ": failed\n";
        return 1;
    }
    if (!ok) {
        std::cerr << "vxhost: " << name << " on " << label << " answered failure\n";
        return 1;
    }
    std::cerr << "vxhost: " << name << " on " << label << ": " << outcome(dialogShown) << '\n';
    return 0;
}

}  // namespace vxhost
