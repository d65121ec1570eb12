// vxregister: records a renderer installation in the user's registry root, so
// that the live-link commands find the renderer and its live-link library.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/registry_store.h"
#include "vxregister/registration.h"

namespace {

std::string absolute(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Registers a Vantrix renderer installation in the user registry root "
        "($TALVIK_REGISTRY_USER or ~/.config/talvik/registry.json) and makes it the "
        "active one."};
    vxregister::Registration r;
    std::string bin;
    std::string binFolder;
    std::string resources;
    std::string registry;
    r.versionName = "Vantrix 8";
    app.add_option("--bin", bin, "Renderer executable, started with no arguments")->required();
    app.add_option("--resources", resources,
                   "Resource folder (holds sceneapi.log); created if missing")
        ->required();
    app.add_option("--port", r.port, "First live-link port")->required();
    auto* maxPort =
        app.add_option("--max-port", r.maxPort, "Last live-link port (default: --port)");
    app.add_option("--version", r.versionName, "Installation key name")->capture_default_str();
    app.add_option("--bin-folder", binFolder,
                   "Folder of the live-link library (default: the executable's folder)");
    app.add_option("--active-path", r.activePath,
                   "Active installation path; without it any earlier one is removed");
    app.add_option("--registry", registry, "Registry root file to write (default: the user root)");
    bool preview = false;
    auto* previewFlag = app.add_flag(
        "--preview,!--no-preview", preview,
        "The renderer draws a picture of every scene it receives (\"Preview\" 1), or not; "
        "without either the installation's setting stays");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help answers 0; usage errors answer 2, failures below 1.
        return app.exit(e) == 0 ? 0 : 2;
    }

    try {
        r.binName = absolute(bin);
        r.binFolder =
            absolute(binFolder.empty() ? std::filesystem::path(r.binName).parent_path().string()
                                       : binFolder);
        r.resourceFolder = absolute(resources);
        if (maxPort->count() == 0) r.maxPort = r.port;
        if (previewFlag->count() > 0) r.preview = preview;
        r.registryFile = registry.empty()
                             ? platform::defaultRegistryPath(platform::RegistryRoot::user)
                             : registry;
        vxregister::validate(r);
        std::error_code ec;
        std::filesystem::create_directories(r.resourceFolder, ec);
        if (ec || !std::filesystem::is_directory(r.resourceFolder)) {
            throw std::runtime_error("cannot create the resource folder " + r.resourceFolder +
                                     (ec ? ": " + ec.message() : std::string()));
        }
        vxregister::registerInstallation(r);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vxregister: %s\n", e.what());
        return 1;
    }
    std::printf(
        "registered \"%s\" in %s\n  BinName %s\n  BinFolder %s\n  ResourceFolder %s\n"
        "  live-link ports %d to %d\n",
        r.versionName.c_str(), r.registryFile.c_str(), r.binName.c_str(), r.binFolder.c_str(),
        r.resourceFolder.c_str(), r.port, r.maxPort);
    if (r.preview) std::printf("  previews %s\n", *r.preview ? "on" : "off");
    return 0;
}
