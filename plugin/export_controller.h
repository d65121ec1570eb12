// ExportController: the one object behind the three commands. For each
// command it makes the scene back end (the live link for Render and Update,
// the scene file for Export), opens the scene object layer on it, sends the
// import options, hands the document to the traversal and tears everything
// down again: options module, then object layer (the context's `scene` is
// none again), then the factory, which alone owns the scene API and its file or
// link.
//
// Contract. The controller lives as long as the plug-in module; between
// commands it keeps only the conversion's context, which it hands to the
// traversal in convert/ while a command runs. A live link that gives
// no scene API, or breaks while the scene goes out, ends the command with
// the factory's failure text on the host's console (GePrint) and the host's
// command status set to FAILED; the command still reports success. A scene
// file that cannot be opened or closed raises std::runtime_error out of
// runExport; the command's edge shows it. Everything runs on the host's main
// thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "convert/export_context.h"
#include "livelink/link_factory.h"

namespace host {
class BaseDocument;
}

namespace plugin {

// Makers of the back-end factories, for tests. An empty maker means the
// built-in one (RepeatLinkFactory, LightFileFactory).
using LinkFactoryMaker = std::function<std::unique_ptr<tal::LinkFactory>()>;
using FileFactoryMaker = std::function<std::unique_ptr<tal::LightFactory>(const std::string& path)>;

class ExportController {
public:
    ExportController() = default;
    ExportController(const ExportController&) = delete;
    ExportController& operator=(const ExportController&) = delete;

    // Stream the document to a renderer as a new scene. Always true.
    bool runRender(host::BaseDocument* doc);
    // Stream the document to the renderer that holds its scene, meshes of
    // the selection only. Always true.
    bool runUpdate(host::BaseDocument* doc);
    // Ask for a path and write the scene file there ("-": standard output).
    // False when the dialog was cancelled or gave no path.
    bool runExport(host::BaseDocument* doc);

    // The conversion's state; it lives as long as the controller, so buffers
    // and the material names are reused and progress keeps counting.
    convert::ExportContext context;

    LinkFactoryMaker linkFactoryMaker;
    FileFactoryMaker fileFactoryMaker;

private:
    void runLiveLink(host::BaseDocument* doc, const std::string& sceneName, bool preferRunning);
    void sendScene(host::BaseDocument* doc, bool adjustView);
};

}  // namespace plugin
