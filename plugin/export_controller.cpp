#include "plugin/export_controller.h"

#include "convert/host_text.h"
#include "convert/traversal.h"
#include "host/document.h"
#include "host/plugin_api.h"
#include "livelink/repeat_link_factory.h"
#include "sceneapi/default_rt_module.h"
#include "sceneapi/light_file_factory.h"

namespace plugin {

namespace {

// Renderer major versions the live link accepts.
constexpr int kMinRendererVersion = 7;
constexpr int kMaxRendererVersion = 8;
constexpr int kUpVectorY = 1;
constexpr float kMeterScale = 100.0f;

// The object layer of one command: opened on the factory, deleted (and the
// context's pointer cleared) when the scope ends, before the factory goes.
class SceneScope {
public:
    SceneScope(convert::ExportContext& context, tal::LightFactory& factory) : context_(context) {
        context_.scene = std::make_unique<tal::talSceneapi_oo>(&factory);
    }
    ~SceneScope() { context_.scene.reset(); }
    SceneScope(const SceneScope&) = delete;
    SceneScope& operator=(const SceneScope&) = delete;

private:
    convert::ExportContext& context_;
};

// The host's status bar for the conversion of one command, taken away
// however the conversion ends and before anything else is printed.
class ProgressScope {
public:
    explicit ProgressScope(const char* what) noexcept { host::BeginProgress(what); }
    ~ProgressScope() { host::EndProgress(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
};

// The document's name up to its last '.', "untitled" when it has none.
std::string updateSceneName(const host::BaseDocument* doc) {
    std::string name = "untitled";
    if (doc) {
        std::string documentName = convert::toUtf8(doc->GetName());
        if (!documentName.empty()) name = std::move(documentName);
    }
    return convert::cutAtLastDot(name);
}

}  // namespace

bool ExportController::runRender(host::BaseDocument* doc) {
    context.updateOnly = false;
    runLiveLink(doc, std::string(), false);
    return true;
}

bool ExportController::runUpdate(host::BaseDocument* doc) {
    context.updateOnly = true;
    runLiveLink(doc, updateSceneName(doc), true);
    return true;
}

bool ExportController::runExport(host::BaseDocument* doc) {
    host::Filename file;
    file.SetDirectory("%USERDATA%");
    file.SetFile("untitled");
    file.SetSuffix("vxs");
    if (!host::FileSelect(file, host::FILESELECTTYPE::ANYTHING, host::FILESELECT::SAVE,
                          "Export to .vxs", "vxs")) {
        return false;
    }
    context.updateOnly = false;
    const std::string path = convert::toUtf8(file.GetString());
    if (path.empty()) return false;

    const std::unique_ptr<tal::LightFactory> factory =
        fileFactoryMaker ? fileFactoryMaker(path) : std::make_unique<tal::LightFileFactory>(path);
    if (!factory) return true;
    {
        const SceneScope sceneScope(context, *factory);
        const ProgressScope progress("exporting");
        if (context.scene->api()) sendScene(doc, true);
    }
    // Closed here rather than by the destructor, so that a failed close (a
    // full disk) reaches the command's edge instead of being swallowed.
    factory->closeApi();
    return true;
}

void ExportController::runLiveLink(host::BaseDocument* doc, const std::string& sceneName,
                                   bool preferRunning) {
    const std::unique_ptr<tal::LinkFactory> factory =
        linkFactoryMaker ? linkFactoryMaker() : std::make_unique<tal::RepeatLinkFactory>();
    if (!factory) return;
    factory->setSceneName(sceneName);
    factory->setPreferRunning(preferRunning);
    factory->setVersionRange(kMinRendererVersion, kMaxRendererVersion);
    {
        const SceneScope sceneScope(context, *factory);
        const ProgressScope progress("sending to Vantrix");
        // The factory knows whether the renderer already shows this scene
        // only once the layer has opened the link.
        if (context.scene->api()) sendScene(doc, !factory->sceneMatched());
    }
    // Closed here rather than by the destructor, so that a link that broke
    // while the scene went out is known before the command ends.
    factory->closeApi();
    // The command still succeeds; the user learns why nothing (or not all of
    // the scene) reached the renderer, and the host that it was a failure.
    std::string failure = factory->errorText();
    while (!failure.empty() && failure.back() == '\n') failure.pop_back();
    if (failure.empty()) return;
    host::GePrint(host::String(std::move(failure)));
    host::SetCommandStatus(host::COMMANDSTATUS::FAILED);
}

void ExportController::sendScene(host::BaseDocument* doc, bool adjustView) {
    tal::DefaultRTModule options;
    options.setImportMode(true);
    options.setMergeGroups(false);
    options.setMergeObjects(false);
    options.setAdjustEnvironment(adjustView);
    options.setAdjustCamera(adjustView);
    options.setKeepOriginal(true);
    options.setUpVector(kUpVectorY);
    options.setMeterScale(kMeterScale);
    options.setSnapToGround(false);
    options.setCenterGeometry(false);
    options.setExt(false);
    context.scene->add(options);
    convert::exportDocument(context, doc);
}

}  // namespace plugin
