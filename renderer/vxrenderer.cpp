// vxrenderer: the stand-in renderer. Started by the plug-in with no
// arguments (the registry's "BinName"), or by hand. It takes its live-link
// port range from the registry (or --port), listens on 127.0.0.1, publishes
// its instance, and receives scenes until it is ended (SIGINT, SIGTERM,
// SIGHUP) or, with --exit-when-idle, until no client came for that long.
// Port 0 (--port 0, or a registry "LiveLinkPort" of 0) listens on a free port
// the kernel picks; clients find it in the instance record, which always
// carries the port actually bound.
// With --preview, or when its installation's registry key holds a "Preview"
// value other than 0, it draws each received model set as a picture beside
// the saved scene.
// Exit status: 0 after a normal end, 1 when it could not listen, 2 for
// usage errors.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "livelink/installation.h"
#include "renderer/instance_records.h"
#include "renderer/link_socket.h"
#include "renderer/renderer_server.h"

namespace {

std::atomic<bool> g_stop{false};

void requestStop(int) { g_stop = true; }

// SIGINT, SIGTERM and SIGHUP end the serving loop, which removes the
// instance files and drops unfinished scenes on its way out, so the generic
// output cleanup of platform/atomic_file.h is not installed over them. A
// file-size limit shows as a failed save of that one scene (SIGXFSZ
// ignored), not as the end of the renderer.
void installSignals() {
    struct sigaction stop {};
    stop.sa_handler = requestStop;
    sigemptyset(&stop.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &stop, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

int secondsFromEnvironment(const char* name) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::max(0, std::atoi(text)) : 0;
}

// True when the installation's "LiveLinkPort" is the number 0 or the text
// "0": the user asks for a kernel-chosen port. The installation reader counts
// 0 as no port at all, which is right for the plug-in's scan, so it is asked
// here only after that reader found no port.
bool registryAsksForAnyPort() {
    const tal::FoundInstallation found = tal::Installation::system().findInstallation(5, 20);
    if (found.status != 0 || !found.key) return false;
    if (const std::optional<std::uint32_t> number = found.key->readNumber("LiveLinkPort")) {
        return *number == 0;
    }
    const std::optional<std::string> text = found.key->readText("LiveLinkPort");
    bool digits = false;
    return text && tal::parseLeadingInt(*text, &digits) == 0 && digits;
}

// True when the installation's "Preview" value is a number or decimal text
// other than 0: the renderer the plug-in starts, with no arguments, draws
// previews.
bool registryAsksForPreview() {
    const tal::FoundInstallation found = tal::Installation::system().findInstallation(5, 20);
    if (found.status != 0 || !found.key) return false;
    if (const std::optional<std::uint32_t> number = found.key->readNumber("Preview")) {
        return *number != 0;
    }
    const std::optional<std::string> text = found.key->readText("Preview");
    return text && tal::parseLeadingInt(*text) != 0;
}

// The port range from the command line or the registry; false (after a
// message) when there is none. {0, 0} stands for a kernel-chosen port.
bool choosePorts(bool portGiven, int port, int maxPort, vxrenderer::ServerOptions& options) {
    if (portGiven) {
        if (port == 0 && maxPort != 0) {
            std::fprintf(stderr,
                         "vxrenderer: --port 0 takes one port the kernel picks; leave out "
                         "--max-port\n");
            return false;
        }
        options.firstPort = port;
        options.lastPort = maxPort != 0 ? maxPort : port;
    } else {
        int first = -1;
        int last = -1;
        const int status = tal::Installation::system().readLiveLinkPorts(5, 20, first, last);
        if (status == tal::kPortMissing && registryAsksForAnyPort()) {
            first = 0;
            last = 0;
        } else if (status != tal::kPortsRead) {
            std::fprintf(stderr,
                         "vxrenderer: no live-link port range in the registry (%s); pass --port "
                         "or register the renderer with vxregister\n",
                         status == tal::kNoInstallation
                             ? "no installation"
                             : "\"LiveLinkPort\" or \"LiveLinkMaxPort\" missing");
            return false;
        }
        options.firstPort = first;
        options.lastPort = last;
    }
    if (options.firstPort > options.lastPort) {
        std::fprintf(stderr, "vxrenderer: the port range %d to %d is empty\n", options.firstPort,
                     options.lastPort);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"vxrenderer: the stand-in renderer; receives scenes over the live link"};
    vxrenderer::ServerOptions options;
    int port = 0;
    int maxPort = 0;
    double timeoutSeconds = vxrenderer::timeoutFromEnvironment(60000) / 1000.0;
    int idleSeconds = secondsFromEnvironment("VXRENDERER_EXIT_WHEN_IDLE");
    std::int64_t reserveMiB = -1;
    auto* portOption = app.add_option("--port", port,
                                      "first live-link port, 0 for one the kernel picks "
                                      "(default: the registry's)")
                           ->check(CLI::Range(0, 65535));
    app.add_option("--max-port", maxPort, "last live-link port (default: --port)")
        ->check(CLI::Range(1, 65535))
        ->needs(portOption);
    app.add_option("--output", options.outputFolder,
                   "folder for received scenes and vxrenderer.log (default: INSTANCES/scenes)");
    app.add_option("--version-major", options.versionMajor, "major version it reports")
        ->check(CLI::Range(1, 99))
        ->capture_default_str();
    app.add_option(
           "--timeout", timeoutSeconds,
           "seconds a client may stay silent (default: $TALVIK_LIVELINK_TIMEOUT_MS, else 60)")
        ->check(CLI::PositiveNumber);
    app.add_option("--exit-when-idle", idleSeconds,
                   "end after this many seconds without a client (default: "
                   "$VXRENDERER_EXIT_WHEN_IDLE, else never)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--disk-reserve", reserveMiB,
                   "MiB of the output folder's filesystem kept free: scenes that would leave "
                   "less are refused (default: 256, or 1 % of the filesystem when less)")
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{1} << 40));
    app.add_flag("--preview", options.preview.enabled,
                 "draw each received model set as NAME.png beside its saved scene (default: "
                 "the registry's \"Preview\" value, else off)");
    app.add_option("--preview-width", options.preview.width, "preview pixels across")
        ->check(CLI::Range(1, 4096))
        ->capture_default_str();
    app.add_option("--preview-height", options.preview.height, "preview pixels down")
        ->check(CLI::Range(1, 4096))
        ->capture_default_str();
    app.add_option("--preview-samples", options.preview.samples, "preview paths per pixel")
        ->check(CLI::Range(1, 1024))
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    std::string error;
    options.instanceFolder = vxrenderer::instanceFolder(&error);
    if (options.instanceFolder.empty()) {
        std::fprintf(stderr, "vxrenderer: %s\n", error.c_str());
        return 1;
    }
    vxrenderer::removeStaleRecords(options.instanceFolder);
    if (options.outputFolder.empty()) options.outputFolder = options.instanceFolder + "/scenes";
    options.outputFolder =
        std::filesystem::absolute(options.outputFolder).lexically_normal().string();
    options.timeoutMs = static_cast<int>(timeoutSeconds * 1000);
    options.exitWhenIdleMs = idleSeconds * 1000;
    options.diskReserveBytes = reserveMiB < 0 ? -1 : reserveMiB << 20;

    if (!choosePorts(portOption->count() > 0, port, maxPort, options)) return 2;
    if (!options.preview.enabled) options.preview.enabled = registryAsksForPreview();

    installSignals();
    vxrenderer::RendererServer server(options);
    if (!server.start()) return 1;
    return server.run(g_stop);
}
