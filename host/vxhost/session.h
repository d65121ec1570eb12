// What vxhost does once the plug-in is loaded: list the registered commands,
// or run one command on a document and report what it did.
//
// Output: the command list goes to stdout. Everything else goes to stderr, so
// that a scene written to "-" (stdout) is never mixed with it: the one
// summary line, the plug-in's console output (GePrint), its messages as
// "vxhost: <message>", and load errors as "vxhost: <file>: <message>".
// Exit status: 0 when the command ran and showed no message; 1 when the
// command is unknown, the document cannot be loaded, the command raised an
// exception, showed a message, marked its outcome FAILED (the live-link
// commands when nothing or not all of the scene reached a renderer: then
// "<command> on <document>: failed" ends the output instead of "done") or
// answered failure.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace vxhost {

struct RunRequest {
    std::string command;                   // id or menu name
    std::optional<std::string> document;   // none: the demo document; .gltf/.glb are imported
    std::optional<std::string> savePath;   // the save dialog's answer
    std::optional<std::string> animation;  // a glTF file's one animation; none: all
};

// Sends the plug-in's console output and messages to stderr for the whole
// run (plug-in start included); call before the plug-in is loaded.
void installConsole();

int listCommands(std::ostream& out);
int runCommand(const RunRequest& request);

}  // namespace vxhost
