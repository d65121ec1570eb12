// Registration of a renderer installation in a registry root file, as the
// renderer's installer records one in the registry.
//
// Contract. register merges one installation key "SOFTWARE\Talvik\<version>"
// (BinName, BinFolder, ResourceFolder, LiveLinkPort, LiveLinkMaxPort) into the
// root file and makes it the active installation: "VantrixVersion" becomes the
// version name and "VantrixActivePath" is set to `activePath`, or removed when
// that is empty (a stale active path would otherwise outrank the new record).
// "Preview" (1 or 0) is written only when the registration says whether the
// renderer draws previews; otherwise an earlier value stays. Other keys and
// values are kept; names match without regard to case. The
// file is replaced atomically (a temporary file in the same folder, synced,
// then renamed), so a reader never sees half a file. A malformed existing file
// is left alone and reported. Failures are thrown as std::runtime_error with
// a sentence for the user.
#pragma once

#include <optional>
#include <string>

namespace vxregister {

struct Registration {
    std::string registryFile;    // the root file to write
    std::string versionName;     // "Vantrix 8"
    std::string binName;         // absolute path of the renderer executable
    std::string binFolder;       // absolute folder of the live-link library
    std::string resourceFolder;  // absolute resource folder
    std::string activePath;      // may be empty
    int port = 0;
    int maxPort = 0;
    std::optional<bool> preview;  // unset: leave the installation's value as it is
};

// Checks the values (executable readable, ports 1..65535 and ordered, a version
// name whose number after the first blank is above 0, no "\" in it).
void validate(const Registration& registration);

void registerInstallation(const Registration& registration);

}  // namespace vxregister
