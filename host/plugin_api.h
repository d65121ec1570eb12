// The host's plug-in interface: the entry point a plug-in exports, command
// plug-ins and their registration, the host allocator, icons, the file
// dialog, the console, the status bar's progress and the outcome a command
// showed.
//
// A plug-in library exports `c4d_main` (PluginMain). The host calls it with
// C4DPL_START once after loading, C4DPL_MESSAGE for messages (p1 carries the
// message id as an integer cast to a pointer), and C4DPL_END before it
// unloads the library. During start the plug-in registers its commands; the
// host then owns the registered command objects. Everything runs on the
// host's main thread. Host-side hooks (allocation failure, dialog answers,
// console output) exist so that vxhost and the tests can play the user.
#pragma once

#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "host/strings.h"
#include "host/types.h"

namespace host {

class BaseDocument;

// c4d_main action codes.
constexpr Int32 C4DPL_START = 1;
constexpr Int32 C4DPL_MESSAGE = 2;
constexpr Int32 C4DPL_END = 3;

using PluginMain = Int32 (*)(Int32 action, void* p1, void* p2, void* p3);
constexpr const char* kPluginEntryName = "c4d_main";

class BaseData {
public:
    virtual ~BaseData() = default;
};

class CommandData : public BaseData {
public:
    // Runs the command on the active document; answers success.
    virtual bool Execute(BaseDocument* doc) = 0;
};

// The host allocator. Answers null when the host cannot allocate (tests can
// make the next allocations fail with FailNextAllocations).
void* AllocateMem(std::size_t size);
void FreeMem(void* p);
void FailNextAllocations(Int32 count);

template <class T, class... Args>
T* NewObjClear(Args&&... args) {
    void* p = AllocateMem(sizeof(T));
    return p ? new (p) T(std::forward<Args>(args)...) : nullptr;
}
template <class T>
void DeleteObj(T*& p) {
    if (p) {
        p->~T();
        FreeMem(p);
        p = nullptr;
    }
}

// An icon bitmap; only the file it came from and its size are kept.
class BaseBitmap {
public:
    static std::unique_ptr<BaseBitmap> Load(const Filename& file,
                                            Float pixelRatio);  // null when unreadable
    const Filename& file() const { return file_; }

private:
    Filename file_;
};

// The plug-in's own folder (where its library lies); "res" is below it.
Filename GeGetPluginPath();
void SetPluginPath(const Filename& folder);  // host side, before C4DPL_START

// Registration. Answers false (and registers nothing) for a null command
// object or an id that is already taken. Takes ownership of `dat` on success.
bool RegisterCommandPlugin(Int32 id, const String& name, Int32 info, const BaseBitmap* icon,
                           const String& help, CommandData* dat);

struct RegisteredCommand {
    Int32 id = 0;
    String name;
    String help;
    std::optional<Filename> icon;  // none when the icon could not be loaded
    CommandData* command = nullptr;
};
// Host side: the registered commands in registration order; clearing deletes
// the command objects.
const std::vector<RegisteredCommand>& RegisteredCommands();
void ClearRegisteredCommands();

// File dialog, as the host offers it. The host side installs a handler that
// answers the chosen path or none (cancelled); without a handler the dialog
// is cancelled.
enum class FILESELECTTYPE { ANYTHING };
enum class FILESELECT { LOAD, SAVE };
bool FileSelect(Filename& inOut, FILESELECTTYPE type, FILESELECT mode, const String& title,
                const String& forceSuffix);
using FileDialogHandler = std::function<std::optional<std::string>(const std::string& title,
                                                                   const std::string& suggested)>;
void SetFileDialogHandler(FileDialogHandler handler);
// Host side: the path the last confirmed FileSelect gave the plug-in (after
// the forced suffix), or none when it was cancelled or not shown since the
// last reset. A save dialog forces the suffix by appending it to a name that
// does not already end in it; "-" (the standard output), an empty answer and
// an existing path that is neither a regular file nor a folder (a device such
// as /dev/null, a FIFO: written in place, under its own name) are passed on
// unchanged.
std::optional<std::string> LastFileSelectPath();
void ResetLastFileSelectPath();

// The outcome a command showed the user, beside the answer it gives the
// host. A command whose answer is fixed (the live-link commands answer
// success even when nothing reached the renderer) marks here that what it
// showed was a failure. The host clears it before each command and reads it
// afterwards: vxhost then ends with exit status 1 instead of "done".
enum class COMMANDSTATUS { OK, FAILED };
void SetCommandStatus(COMMANDSTATUS status);
COMMANDSTATUS GetCommandStatus();  // host side

// The host console. Output goes to the installed sink (vxhost: stderr).
void GePrint(const String& text);
void SetConsoleSink(std::function<void(const std::string&)> sink);

// The host's message box: how a plug-in shows an error to the user. vxhost
// prints it to stderr and ends with exit status 1 after the command.
constexpr Int32 GEMB_OK = 0;
constexpr Int32 GEMB_ICONEXCLAMATION = 0x30;
void GeOutString(const String& text, Int32 flags);
void SetMessageBoxHandler(std::function<void(const std::string&, Int32 flags)> handler);

// The host's status bar: what a long piece of work is doing and how far it
// got. BeginProgress names the work (UTF-8, e.g. "exporting"), SetProgress
// gives the fraction done (0..1, as often as the work likes: the host
// throttles), EndProgress takes the bar away when the work is done or has
// failed. The host's own loads report here too. None of them throws, so a
// plug-in may call them anywhere, destructors included; a host without a
// display (no terminal) ignores them. Nothing of it reaches a scene, a
// document or a live link.
void BeginProgress(const char* what) noexcept;
void SetProgress(Float fraction) noexcept;
void EndProgress() noexcept;

// Host side: where the status bar goes (vxhost: a bar on stderr when it is a
// terminal). Not owned; null removes it. Its calls may throw: the host
// functions above swallow it.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void begin(const std::string& what) = 0;
    virtual void update(double fraction) = 0;
    virtual void end() = 0;
};
void SetProgressDisplay(ProgressDisplay* display);

}  // namespace host
