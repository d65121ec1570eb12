// The host's side of the plug-in interface: allocator, icons, registration,
// file dialog, console, message box and status bar. One copy of this state exists per
// process because the library is shared by vxhost and the plug-in.
#include "host/plugin_api.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/regular_file.h"

namespace host {

namespace {

struct HostState {
    Int32 failAllocations = 0;
    Filename pluginPath;
    std::vector<RegisteredCommand> commands;
    FileDialogHandler fileDialog;
    std::optional<std::string> lastFileSelect;
    std::function<void(const std::string&)> console;
    std::function<void(const std::string&, Int32)> messageBox;
    COMMANDSTATUS commandStatus = COMMANDSTATUS::OK;
    ProgressDisplay* progress = nullptr;
};

HostState& state() {
    static HostState s;
    return s;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A path that the save dialog's answer names as it stands: it exists and can
// only be written in place.
bool writtenInPlace(const std::string& path) {
    const std::string kind = platform::nonRegularKind(path);
    return !kind.empty() && kind != "a folder";
}

}  // namespace

void* AllocateMem(std::size_t size) {
    HostState& s = state();
    if (s.failAllocations > 0) {
        --s.failAllocations;
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}

void FreeMem(void* p) { std::free(p); }

void FailNextAllocations(Int32 count) { state().failAllocations = count < 0 ? 0 : count; }

std::unique_ptr<BaseBitmap> BaseBitmap::Load(const Filename& file, Float) {
    // Any readable regular file is an icon; only its name is kept.
    // A FIFO or device is refused without waiting on it.
    std::string error;
    const int fd = platform::openRegularFile(file.GetString().utf8(), error);
    if (fd < 0) return nullptr;
    ::close(fd);
    auto bitmap = std::make_unique<BaseBitmap>();
    bitmap->file_ = file;
    return bitmap;
}

Filename GeGetPluginPath() { return state().pluginPath; }

void SetPluginPath(const Filename& folder) { state().pluginPath = folder; }

bool RegisterCommandPlugin(Int32 id, const String& name, Int32, const BaseBitmap* icon,
                           const String& help, CommandData* dat) {
    if (!dat) return false;
    auto& commands = state().commands;
    for (const RegisteredCommand& c : commands)
        if (c.id == id) return false;
    RegisteredCommand entry;
    entry.id = id;
    entry.name = name;
    entry.help = help;
    if (icon) entry.icon = icon->file();
    entry.command = dat;
    commands.push_back(std::move(entry));
    return true;
}

const std::vector<RegisteredCommand>& RegisteredCommands() { return state().commands; }

void ClearRegisteredCommands() {
    // The plug-in allocated the command objects with the host allocator.
    auto commands = std::move(state().commands);
    state().commands.clear();
    for (RegisteredCommand& c : commands) DeleteObj(c.command);
}

bool FileSelect(Filename& inOut, FILESELECTTYPE, FILESELECT mode, const String& title,
                const String& forceSuffix) {
    HostState& s = state();
    s.lastFileSelect.reset();
    if (!s.fileDialog) return false;
    std::optional<std::string> answer = s.fileDialog(title.utf8(), inOut.GetString().utf8());
    if (!answer) return false;
    std::string path = *answer;
    const std::string suffix = "." + forceSuffix.utf8();
    if (mode == FILESELECT::SAVE && !forceSuffix.IsEmpty() && !path.empty() && path != "-" &&
        !endsWith(path, suffix) && !writtenInPlace(path))
        path += suffix;
    inOut = Filename(String(path));
    s.lastFileSelect = path;
    return true;
}

void SetFileDialogHandler(FileDialogHandler handler) { state().fileDialog = std::move(handler); }

std::optional<std::string> LastFileSelectPath() { return state().lastFileSelect; }

void ResetLastFileSelectPath() { state().lastFileSelect.reset(); }

void SetCommandStatus(COMMANDSTATUS status) { state().commandStatus = status; }

COMMANDSTATUS GetCommandStatus() { return state().commandStatus; }

void GePrint(const String& text) {
    const auto& sink = state().console;
    if (sink)
        sink(text.utf8());
    else
        std::cerr << text.utf8() << '\n';
}

void SetConsoleSink(std::function<void(const std::string&)> sink) {
    state().console = std::move(sink);
}

void GeOutString(const String& text, Int32 flags) {
    const auto& handler = state().messageBox;
    if (handler)
        handler(text.utf8(), flags);
    else
        std::cerr << text.utf8() << '\n';
}

void SetMessageBoxHandler(std::function<void(const std::string&, Int32 flags)> handler) {
    state().messageBox = std::move(handler);
}

// A display that fails (it cannot allocate, its stream broke) costs the
// user the bar, never the work.
void BeginProgress(const char* what) noexcept {
    try {
        if (ProgressDisplay* display = state().progress) display->begin(what ? what : "");
    } catch (...) {
    }
}

void SetProgress(Float fraction) noexcept {
    try {
        if (ProgressDisplay* display = state().progress) display->update(fraction);
    } catch (...) {
    }
}

void EndProgress() noexcept {
    try {
        if (ProgressDisplay* display = state().progress) display->end();
    } catch (...) {
    }
}

void SetProgressDisplay(ProgressDisplay* display) { state().progress = display; }

}  // namespace host
