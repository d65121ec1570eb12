// Loading, starting and ending the plug-in library.
#include "host/vxhost/plugin_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace vxhost {

namespace {

constexpr const char* kPluginFile = "vantrix_c4d.so";

std::string executableFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    return std::filesystem::path(std::string(buffer, static_cast<std::size_t>(n)))
        .parent_path()
        .string();
}

}  // namespace

std::string pluginPath(const std::string& option) {
    if (!option.empty()) return option;
    if (const char* env = std::getenv("VXHOST_PLUGIN"); env && *env) return env;
    const std::string folder = executableFolder();
    const std::string beside = folder + "/" + kPluginFile;
    std::error_code ec;
    if (std::filesystem::is_regular_file(beside, ec)) return beside;
    const std::string installed = folder + "/" + VXHOST_INSTALLED_PLUGIN_DIR + "/" + kPluginFile;
    if (std::filesystem::is_regular_file(installed, ec)) return installed;
    return beside;
}

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    // dlopen searches the library path for a bare name; a path never.
    const std::string openName = ec ? path : absolute.string();
    handle_ = ::dlopen(openName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = ::dlerror();
        throw PluginError("cannot load the plug-in " + path + ": " + (why ? why : "unknown error"));
    }
    main_ = reinterpret_cast<host::PluginMain>(::dlsym(handle_, host::kPluginEntryName));
    if (!main_) {
        close();
        throw PluginError("the plug-in " + path + " exports no " + host::kPluginEntryName);
    }
    host::SetPluginPath(
        host::Filename(host::String(absolute.lexically_normal().parent_path().string())));
    std::string failure;
    try {
        started_ = main_(host::C4DPL_START, nullptr, nullptr, nullptr) != 0;
        if (!started_) failure = "the plug-in " + path + " did not start";
    } catch (const std::exception& e) {
        failure = "the plug-in " + path + " failed to start: " + e.what();
    } catch (...) {
        failure = "the plug-in " + path + " failed to start with an unknown exception";
    }
    if (!failure.empty()) {
        // Started or not, it may have registered commands already.
        started_ = true;
        close();
        throw PluginError(failure);
    }
}

PluginLibrary::~PluginLibrary() { close(); }

void PluginLibrary::close() noexcept {
    if (started_) {
        started_ = false;
        try {
            main_(host::C4DPL_END, nullptr, nullptr, nullptr);
        } catch (const std::exception& e) {
            std::cerr << "vxhost: the plug-in failed to end: " << e.what() << '\n';
        } catch (...) {
            std::cerr << "vxhost: the plug-in failed to end with an unknown exception\n";
        }
    }
    // The command objects' code lives in the library: delete them first.
    try {
        host::ClearRegisteredCommands();
    } catch (...) {
        std::cerr << "vxhost: deleting the plug-in's commands failed\n";
    }
    if (handle_) {
#if !defined(__SANITIZE_ADDRESS__)
        ::dlclose(handle_);
#endif
        // Under the address sanitizer the library stays mapped: what the
        // plug-in keeps for the life of the module stays reachable and its
        // frames stay symbolised in reports.
        handle_ = nullptr;
    }
}

}  // namespace vxhost
