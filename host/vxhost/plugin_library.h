// The plug-in library as vxhost holds it: loaded with dlopen, started through
// its exported c4d_main (C4DPL_START, after the plug-in path is set to the
// library's folder), and, when the object goes, ended (C4DPL_END), its
// registered commands deleted and the library closed. Every call into the
// plug-in is guarded: an exception from it becomes PluginError (start) or a
// line on stderr (end), never a crash of vxhost.
#pragma once

#include <stdexcept>
#include <string>

#include "host/plugin_api.h"

namespace vxhost {

class PluginError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The plug-in to load: `option` when given, else $VXHOST_PLUGIN, else
// vantrix_c4d.so beside the vxhost executable (the build tree), else the one
// in the installed plug-in folder relative to it (bin/../plugins/vantrix),
// when that is a regular file; failing both, the path beside vxhost, so that
// the error names where it was looked for first.
std::string pluginPath(const std::string& option);

class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& path);  // throws PluginError
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

private:
    void close() noexcept;

    std::string path_;
    void* handle_ = nullptr;
    host::PluginMain main_ = nullptr;
    bool started_ = false;
};

}  // namespace vxhost
