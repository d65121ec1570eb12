#include "livelink/vantrixlive_loader.h"

#include "livelink/live_services.h"
#include "livelink/log.h"

namespace tal {

namespace {

// The log names the loader's statements by a fixed tag and fixed statement
// numbers, so that log readers and tools can rely on them whatever the layout
// of this file.
constexpr const char* kLogTag = "vantrixlive_loader";
constexpr int kLogBinFolder = 153;
constexpr int kLogHandle = 218;
constexpr int kLogNoHandle = 234;
constexpr int kLogLive = 245;
constexpr int kLogQueryLoader = 282;

#define LOADER_LOG(level, statement) TAL_FILE_LOG_AT(level, kLogTag, statement)

const void* asPointer(const void* pointer) { return pointer; }

struct vantrix_live_loader {
    talLive_api* live = nullptr;
    platform::LibraryHandle handle = nullptr;
    // The loader that opened `handle`, which must also close it.
    platform::SharedLibraries* libraries = nullptr;

    bool initialize(int min, int max);
};

vantrix_live_loader* g_loader = nullptr;

bool vantrix_live_loader::initialize(int min, int max) {
    if (live != nullptr) return false;
    const LiveServices& services = liveServices();
    int version = -1;
    const std::string folder = services.installation->readBinFolder(min, max, version);
    if (folder.empty()) return false;

    LOADER_LOG(logDEBUG4, kLogBinFolder) << folder;
    if (handle == nullptr) {
        libraries = services.libraries;
        for (const std::string& candidate : liveLibraryCandidates(folder, version)) {
            handle = libraries->open(candidate);
            if (handle != nullptr) break;
        }
    }
    LOADER_LOG(logDEBUG4, kLogHandle) << "initialize shared handle: " << asPointer(handle);
    if (handle == nullptr) {
        LOADER_LOG(logWARNING, kLogNoHandle) << "NO shared handle";
        return false;
    }
    if (void* entry = libraries->symbol(handle, kLiveInitializeSymbol); entry != nullptr) {
        live = reinterpret_cast<LiveInitializeFn>(entry)();
    }
    LOADER_LOG(logDEBUG4, kLogLive) << "Vantrix live: " << asPointer(live);
    return live != nullptr;
}

// The loader, created and initialised on first use; null when that failed.
vantrix_live_loader* loader(int min, int max) {
    if (g_loader != nullptr) return g_loader;
    g_loader = new vantrix_live_loader();
    if (!g_loader->initialize(min, max)) {
        tal_free_live_loader();
        return nullptr;
    }
    return g_loader;
}

}  // namespace

std::vector<std::string> liveLibraryCandidates(const std::string& binFolder, int version) {
    const std::string base = version >= 6 ? "talvantrixlive6_" : "talvantrixlive";
    std::vector<std::string> candidates;
    for (const std::string& stem : {binFolder + "/" + base, "./" + base}) {
        candidates.push_back(stem + "32.so");
        candidates.push_back(stem + "64.so");
    }
    return candidates;
}

talScene_api* tal_get_scene_api(int min, int max) noexcept {
    try {
        vantrix_live_loader* current = loader(min, max);
        return current != nullptr && current->live != nullptr ? current->live->sceneApi() : nullptr;
    } catch (...) {
        tal_free_live_loader();
        return nullptr;
    }
}

talQuery_api* tal_get_query_api(int min, int max) noexcept {
    try {
        LOADER_LOG(logDEBUG4, kLogQueryLoader)
            << "tal_get_query_api -> vantrix_live_loader: " << asPointer(g_loader);
        vantrix_live_loader* current = loader(min, max);
        return current != nullptr && current->live != nullptr ? current->live->queryApi() : nullptr;
    } catch (...) {
        tal_free_live_loader();
        return nullptr;
    }
}

std::string tal_live_refusal() noexcept {
    try {
        const vantrix_live_loader* current = g_loader;
        if (current == nullptr || current->live == nullptr || current->handle == nullptr) return {};
        void* entry = current->libraries->symbol(current->handle, kLiveRefusalSymbol);
        if (entry == nullptr) return {};
        const char* reason = reinterpret_cast<LiveRefusalFn>(entry)(current->live);
        return reason != nullptr ? std::string(reason) : std::string();
    } catch (...) {
        return {};
    }
}

void tal_free_live_loader() noexcept {
    vantrix_live_loader* current = g_loader;
    g_loader = nullptr;
    if (current == nullptr) return;
    delete current->live;  // before the library that holds its code is unloaded
    if (current->handle != nullptr) current->libraries->close(current->handle);
    delete current;
}

}  // namespace tal
