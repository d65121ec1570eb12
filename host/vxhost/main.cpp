// vxhost: the stand-in host program. It loads the plug-in library, and lists
// its commands or runs one of them on a document file, a glTF file (.gltf,
// .glb) or the built-in demo document. Without the plug-in it writes the demo
// document, or any document it can open, as a document file
// (convert-document). Usage errors exit with 2, failures with 1 (session.h);
// every output file appears whole or not at all (platform/atomic_file.h).
// Work that lasts shows a progress bar on stderr when it is a terminal
// (terminal_progress.h).
#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>

#include "host/demo_document.h"
#include "host/document_writer.h"
#include "host/vxhost/document_source.h"
#include "host/vxhost/plugin_library.h"
#include "host/vxhost/session.h"
#include "host/vxhost/terminal_progress.h"
#include "platform/atomic_file.h"
#include "platform/progress_bar.h"

namespace {

// Ends a document written to the standard output: 0, or 1 with a message when
// the stream did not take it all.
int finishStandardOutput() {
    if (std::cout.flush()) return 0;
    std::cerr << "vxhost: cannot write the standard output\n";
    return 1;
}

// The plug-in's command ids, for the short forms.
constexpr const char* kRenderId = "1033591";
constexpr const char* kUpdateId = "1034393";
constexpr const char* kExportId = "1034420";

constexpr const char* kAnimationHelp =
    "import only this animation of a glTF file, by name or index (0 is the first), for files "
    "whose animations are alternatives (walk, run, idle); default: every animation on the one "
    "timeline";

int writeDemo(const std::string& out) {
    const std::string& json = host::DemoDocumentJson();
    if (out == "-") {
        std::cout << json;
        return finishStandardOutput();
    }
    std::string error;
    if (!platform::writeFileAtomically(out, json.data(), json.size(), error)) {
        std::cerr << "vxhost: cannot write " << out << ": " << error << '\n';
        return 1;
    }
    std::cerr << "vxhost: wrote the demo document to " << out << " (" << json.size() << " bytes)\n";
    return 0;
}

// Writes what vxhost makes of `in` as a document file. For a glTF file, the
// document and its embedded images belong to the output's folder.
int convertDocument(const std::string& in, const std::string& out,
                    const vxhost::LoadOptions& load) {
    std::unique_ptr<host::BaseDocument> doc;
    const std::string folder = out == "-" ? std::string() : vxhost::folderOf(out);
    try {
        doc = vxhost::loadDocument(in, folder, folder, load);
    } catch (const std::exception& e) {
        std::cerr << "vxhost: " << in << ": " << e.what() << '\n';
        return 1;
    }
    try {
        struct Writing {
            Writing() { host::BeginProgress("writing the document"); }
            ~Writing() { host::EndProgress(); }
        } writing;
        if (out == "-") {
            std::cout << host::WriteDocumentText(*doc, "");
            return finishStandardOutput();
        }
        host::WriteDocumentFile(*doc, out);
    } catch (const std::exception& e) {
        std::cerr << "vxhost: " << out << ": " << e.what() << '\n';
        return 1;
    }
    std::cerr << "vxhost: wrote the document of " << in << " to " << out << '\n';
    return 0;
}

// The DOCUMENT argument and the --animation option of a subcommand that
// runs a plug-in command on a document; they fill `request`, which must
// outlive the parse.
void addDocumentOptions(CLI::App& command, vxhost::RunRequest& request) {
    command.add_option("DOCUMENT", request.document,
                       "document or glTF file (default: the demo document)");
    command.add_option("--animation", request.animation, kAnimationHelp);
}

CLI::App* addDocumentCommand(CLI::App& app, const char* name, const char* help,
                             vxhost::RunRequest& request) {
    CLI::App* command = app.add_subcommand(name, help);
    addDocumentOptions(*command, request);
    return command;
}

// The subcommands that write document files instead of running the plug-in.
struct DocumentFileCommands {
    std::string demoOut = "-";
    std::string convertIn, convertOut;
    vxhost::LoadOptions convertLoad;
    CLI::App* demo = nullptr;
    CLI::App* convert = nullptr;

    void add(CLI::App& app) {
        demo = app.add_subcommand("demo-document", "write the built-in demo document as JSON");
        demo->add_option("-o,--output", demoOut, "file to write (default: standard output)");
        convert = app.add_subcommand(
            "convert-document",
            "write a document (glTF or document file) as a document file, to inspect or edit "
            "what an import made of it");
        convert->add_option("DOCUMENT", convertIn, "glTF file (.gltf, .glb) or document file")
            ->required();
        convert
            ->add_option("-o,--output", convertOut,
                         "document file to write (\"-\": standard output)")
            ->required();
        convert->add_option("--animation", convertLoad.animation, kAnimationHelp);
    }
};

int run(int argc, char** argv) {
    CLI::App app{
        "vxhost: runs the plug-in's commands on a document file (JSON), a glTF file (.gltf, .glb) "
        "or the built-in demo document"};
    app.require_subcommand(1);
    std::string plugin;
    app.add_option(
        "--plugin", plugin,
        "plug-in library (default: $VXHOST_PLUGIN, else vantrix_c4d.so beside vxhost, else in "
        "the installed plug-in folder ../plugins/vantrix)");

    auto* commands =
        app.add_subcommand("commands", "list the registered commands: id, menu name, help, icon");

    vxhost::RunRequest runRequest;
    auto* runCmd = app.add_subcommand("run", "run one command, named by id or menu name");
    runCmd->add_option("COMMAND", runRequest.command, "command id or menu name")->required();
    addDocumentOptions(*runCmd, runRequest);
    runCmd->add_option("--save-path", runRequest.savePath,
                       "answer to the save dialog (\"-\": standard output)");

    vxhost::RunRequest exportRequest{kExportId, {}, {}, {}};
    auto* exportCmd =
        addDocumentCommand(app, "export", "export the document to a scene file", exportRequest);
    exportCmd->add_option("-o,--output", exportRequest.savePath,
                          "scene file to write (\"-\": standard output)");

    vxhost::RunRequest renderRequest{kRenderId, {}, {}, {}};
    auto* renderCmd =
        addDocumentCommand(app, "render", "render the document in the renderer", renderRequest);
    vxhost::RunRequest updateRequest{kUpdateId, {}, {}, {}};
    auto* updateCmd = addDocumentCommand(
        app, "update", "update the renderer's scene of the document", updateRequest);

    DocumentFileCommands files;
    files.add(app);

    for (CLI::App* sub : app.get_subcommands({})) sub->fallthrough();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    // A document or scene written to the terminal's own screen would be torn
    // by the bar (only the parsed subcommand's output is set).
    const vxhost::TerminalProgress progress(
        !platform::isTerminal(stdout) ||
        !(files.convertOut == "-" || runRequest.savePath == "-" || exportRequest.savePath == "-"));
    if (files.demo->parsed()) return writeDemo(files.demoOut);
    if (files.convert->parsed())
        return convertDocument(files.convertIn, files.convertOut, files.convertLoad);

    vxhost::installConsole();
    try {
        vxhost::PluginLibrary library(vxhost::pluginPath(plugin));
        if (commands->parsed()) return vxhost::listCommands(std::cout);
        if (runCmd->parsed()) return vxhost::runCommand(runRequest);
        if (exportCmd->parsed()) return vxhost::runCommand(exportRequest);
        if (renderCmd->parsed()) return vxhost::runCommand(renderRequest);
        if (updateCmd->parsed()) return vxhost::runCommand(updateRequest);
    } catch (const vxhost::PluginError& e) {
        std::cerr << "vxhost: " << e.what() << '\n';
        return 1;
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    platform::installOutputSignalCleanup();
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "vxhost: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "vxhost: unknown failure\n";
    }
    return 1;
}
