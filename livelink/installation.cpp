#include "livelink/installation.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace tal {

namespace {

constexpr std::string_view kBaseKey = "SOFTWARE\\Talvik\\";
constexpr platform::RegistryRoot kRoots[] = {platform::RegistryRoot::user,
                                             platform::RegistryRoot::machine};

std::string versionKeyPath(int version) {
    return std::string(kBaseKey) + "Vantrix " + std::to_string(version);
}

// A port value: a number, or a text holding a decimal number. Anything that is
// not a port number reads as missing, so that a damaged record never turns
// into port 0 or a scan over billions of ports.
std::optional<int> readPort(const platform::RegistryKey& key, std::string_view name) {
    long long port = 0;
    if (const std::optional<std::uint32_t> number = key.readNumber(name)) {
        port = *number;
    } else if (const std::optional<std::string> text = key.readText(name)) {
        bool digits = false;
        port = parseLeadingInt(*text, &digits);
        if (!digits) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return static_cast<int>(port);
}

}  // namespace

int parseLeadingInt(std::string_view text, bool* digits) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        any = true;
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
    }
    if (digits != nullptr) *digits = any;
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int versionFromPath(std::string_view path) {
    const std::size_t letter = path.find_last_of("Vantrix");
    if (letter == std::string_view::npos) return -1;
    std::size_t separator = path.rfind('/');
    if (separator == std::string_view::npos) separator = path.rfind('\\');
    if (separator == std::string_view::npos || separator == letter + 1) return -1;
    const std::size_t end = separator > letter ? separator : path.size();
    return parseLeadingInt(path.substr(letter + 1, end - letter - 1));
}

Installation::Installation(const platform::RegistryStore& store, const platform::FileProbe& files,
                           platform::ProcessLauncher& processes)
    : store_(store), files_(files), processes_(processes) {}

const Installation& Installation::system() {
    static const Installation installation(platform::systemRegistryStore(),
                                           platform::systemFileProbe(),
                                           platform::systemProcessLauncher());
    return installation;
}

namespace {

struct Search {
    const platform::RegistryStore& store;
    const platform::FileProbe& files;
    platform::RegistryRoot root;

    // The key when it opens and its "BinName" names a readable file.
    std::unique_ptr<platform::RegistryKey> validKey(const std::string& path) const {
        std::unique_ptr<platform::RegistryKey> key = store.openKey(root, path);
        if (!key) return nullptr;
        const std::optional<std::string> binName = key->readText("BinName");
        if (!binName || !files.opensForReading(*binName)) return nullptr;
        return key;
    }

    std::optional<std::string> baseText(std::string_view name) const {
        const std::unique_ptr<platform::RegistryKey> base = store.openKey(root, kBaseKey);
        if (!base) return std::nullopt;
        return base->readText(name);
    }

    FoundInstallation activePath() const {
        FoundInstallation found;
        const std::optional<std::string> path = baseText("VantrixActivePath");
        if (!path) return found;
        found.version = versionFromPath(*path);
        found.key = validKey(versionKeyPath(found.version));
        return found;
    }

    FoundInstallation versionValue() const {
        FoundInstallation found;
        const std::optional<std::string> name = baseText("VantrixVersion");
        if (!name) return found;
        const std::size_t blank = name->find(' ');
        found.version =
            parseLeadingInt(blank == std::string::npos ? std::string_view(*name)
                                                       : std::string_view(*name).substr(blank + 1));
        if (found.version <= 0) return found;
        found.key = validKey(std::string(kBaseKey) + *name);
        return found;
    }

    FoundInstallation probe(int min, int max) const {
        FoundInstallation found;
        for (long long v = max; v >= min; --v) {
            found.key = validKey(versionKeyPath(static_cast<int>(v)));
            if (found.key) {
                found.version = static_cast<int>(v);
                return found;
            }
        }
        return found;
    }

    FoundInstallation run(int min, int max) const {
        const auto inRange = [&](const FoundInstallation& f) {
            return f.key && f.version >= min && f.version <= max;
        };
        if (FoundInstallation found = activePath(); inRange(found)) return found;
        if (FoundInstallation found = versionValue(); inRange(found)) return found;
        return probe(min, max);
    }
};

}  // namespace

FoundInstallation Installation::findInstallation(int min, int max) const {
    FoundInstallation best;
    for (const platform::RegistryRoot root : kRoots) {
        FoundInstallation found = Search{store_, files_, root}.run(min, max);
        if (!found.key || found.version <= 0) continue;
        // A later root replaces the kept one only with a strictly higher
        // version: the user's installation wins ties.
        if (!best.key || found.version > best.version) best = std::move(found);
    }
    best.status = best.key ? 0 : kErrorNotFound;
    if (!best.key) best.version = 0;
    return best;
}

std::string Installation::readBinFolder(int min, int max, int& version) const {
    const FoundInstallation found = findInstallation(min, max);
    if (found.status != 0) return {};
    version = found.version;
    return found.key->readText("BinFolder").value_or(std::string());
}

std::string Installation::readBinName(int min, int max) const {
    const FoundInstallation found = findInstallation(min, max);
    if (found.status != 0) return {};
    return found.key->readText("BinName").value_or(std::string());
}

std::string Installation::readResourceFolder(int min, int max) const {
    const FoundInstallation found = findInstallation(min, max);
    if (found.status != 0) return {};
    std::optional<std::string> folder = found.key->readText("ResourceFolder");
    if (!folder) {
        std::fputs("Could not find Vantrix resource folder\n", stdout);
        return {};
    }
    return *folder;
}

int Installation::readLiveLinkPorts(int min, int max, int& first, int& last) const {
    const FoundInstallation found = findInstallation(min, max);
    if (found.status != 0) return kNoInstallation;
    const std::optional<int> port = readPort(*found.key, "LiveLinkPort");
    if (!port) return kPortMissing;
    first = *port;
    const std::optional<int> maxPort = readPort(*found.key, "LiveLinkMaxPort");
    if (!maxPort) return kMaxPortMissing;
    last = *maxPort;
    return kPortsRead;
}

bool Installation::launchRenderer(int min, int max) const {
    const std::string binName = readBinName(min, max);
    if (binName.empty()) return false;
    return processes_.startDetached(binName);
}

}  // namespace tal
