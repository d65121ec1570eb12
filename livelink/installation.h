// Installation: finds the renderer's installation in the registry store and
// reads what the live link needs from it.
//
// Contract. Every operation takes the accepted major versions `min`..`max`
// (inclusive) and walks the store afresh; nothing is cached. Under
// "SOFTWARE\Talvik\" each installed major version N has a key "Vantrix N"
// with "BinName" (the renderer executable), "BinFolder" (the live-link
// library's folder), "ResourceFolder" (where the log goes), "LiveLinkPort" and
// "LiveLinkMaxPort" (number or decimal text). A key is an installation only
// when "BinName" names a file that opens for reading.
//
// Choice: per root, the first that qualifies of (1) the key named by the
// version in "VantrixActivePath"'s folder name, if in range, (2) the key named
// by "VantrixVersion", if its version is in range, (3) the highest valid
// "Vantrix N" for N from max down to min. Over the roots, the highest version
// above 0 wins and the user root wins ties. Keys are closed on every path.
//
// Failures are status codes and empty texts, never exceptions from the store.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_probe.h"
#include "platform/process.h"
#include "platform/registry_store.h"

namespace tal {

// Status of findInstallation when nothing qualifies (the registry's code).
inline constexpr int kErrorNotFound = 1168;

// Results of readLiveLinkPorts.
inline constexpr int kPortsRead = 0;
inline constexpr int kMaxPortMissing = -1;
inline constexpr int kPortMissing = -2;
inline constexpr int kNoInstallation = -3;

struct FoundInstallation {
    int status = kErrorNotFound;                 // 0 when found
    std::unique_ptr<platform::RegistryKey> key;  // the open installation key
    int version = 0;                             // its major version
};

class Installation {
public:
    Installation(const platform::RegistryStore& store, const platform::FileProbe& files,
                 platform::ProcessLauncher& processes);

    // The installation of the environment's registry store and the system.
    static const Installation& system();

    FoundInstallation findInstallation(int min, int max) const;

    // "BinFolder", empty when not found; `version` becomes the installation's
    // major version when one is found and is left unchanged otherwise.
    std::string readBinFolder(int min, int max, int& version) const;
    std::string readBinName(int min, int max) const;
    // Empty when not found; prints "Could not find Vantrix resource folder"
    // on the standard output when an installation lacks the value.
    std::string readResourceFolder(int min, int max) const;

    // One of the codes above. The caller presets `first` and `last` (to -1);
    // `first` is set once "LiveLinkPort" is read, `last` once
    // "LiveLinkMaxPort" is. A value that does not hold a port number (1 to
    // 65535) counts as missing.
    int readLiveLinkPorts(int min, int max, int& first, int& last) const;

    // Starts the renderer ("BinName", no arguments) without waiting for it.
    // False when there is no installation or the program cannot be started.
    bool launchRenderer(int min, int max) const;

private:
    const platform::RegistryStore& store_;
    const platform::FileProbe& files_;
    platform::ProcessLauncher& processes_;
};

// The major version carried by an installation folder's name: the decimal
// text after the path's last letter of "Vantrix", up to the last "/" (else
// "\") when that lies after it ("/opt/Vantrix 8/" and "C:\Vantrix8" give 8).
// -1 when the path has no such letter or separator, or the separator follows
// the letter at once.
int versionFromPath(std::string_view path);

// Decimal conversion as the registry's readers do it: leading blanks skipped,
// an optional sign, digits up to the first non-digit; 0 without digits;
// clamped to the 32-bit range. `digits` (optional) tells whether any were read.
int parseLeadingInt(std::string_view text, bool* digits = nullptr);

}  // namespace tal
