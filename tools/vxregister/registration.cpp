#include "vxregister/registration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "livelink/installation.h"
#include "platform/file_probe.h"
#include "platform/registry_json.h"
#include "platform/registry_store.h"
#include "platform/regular_file.h"

namespace vxregister {

namespace {

constexpr const char* kBaseKey = "SOFTWARE\\Talvik\\";

[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

std::string systemReason() { return std::strerror(errno); }

// The member of `object` whose name matches `name` as the registry compares
// names, created under `name` when there is none.
nlohmann::json& member(nlohmann::json& object, const std::string& name) {
    for (auto& [existing, value] : object.items()) {
        if (platform::sameRegistryName(existing, name)) return value;
    }
    return object[name];
}

void eraseMember(nlohmann::json& object, const std::string& name) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (platform::sameRegistryName(it.key(), name)) {
            object.erase(it);
            return;
        }
    }
}

nlohmann::json readRoot(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec) return nlohmann::json::object();
    std::string text, error;
    if (!platform::readRegularFile(path, text, error))
        fail("cannot read " + path + ": " + error + "; it was left unchanged");
    nlohmann::json root = platform::parseRegistryDocument(text, error);
    if (!error.empty())
        fail(path + " is not a registry file (" + error + "); it was left unchanged");
    return root;
}

void writeAll(int fd, const std::string& text, const std::string& path) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("cannot write " + path + ": " + systemReason());
        done += static_cast<std::size_t>(n);
    }
}

void replaceAtomically(const std::string& path, const std::string& text) {
    const std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), ec);
        if (ec) fail("cannot create " + target.parent_path().string() + ": " + ec.message());
    }
    std::string temporary = path + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) fail("cannot create a temporary file beside " + path + ": " + systemReason());
    temporary = name.data();
    try {
        struct stat existing {};
        const mode_t mode =
            ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : mode_t{0644};
        if (::fchmod(fd, mode) != 0) fail("cannot set the mode of " + temporary);
        writeAll(fd, text, temporary);
        if (::fsync(fd) != 0) fail("cannot write " + temporary + ": " + systemReason());
        if (::close(fd) != 0) {
            ::unlink(temporary.c_str());
            fail("cannot write " + temporary + ": " + systemReason());
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = systemReason();
        ::unlink(temporary.c_str());
        fail("cannot replace " + path + ": " + reason);
    }
}

bool validPort(int port) { return port >= 1 && port <= 65535; }

}  // namespace

void validate(const Registration& r) {
    if (!platform::systemFileProbe().opensForReading(r.binName)) {
        fail("the renderer executable " + r.binName + " cannot be opened for reading");
    }
    if (!validPort(r.port)) fail("--port must be from 1 to 65535");
    if (!validPort(r.maxPort)) fail("--max-port must be from 1 to 65535");
    if (r.maxPort < r.port) fail("--max-port must not be below --port");
    if (r.versionName.empty() || r.versionName.find('\\') != std::string::npos) {
        fail("--version must be a key name without \"\\\", such as \"Vantrix 8\"");
    }
    const std::size_t blank = r.versionName.find(' ');
    const std::string number =
        blank == std::string::npos ? r.versionName : r.versionName.substr(blank + 1);
    if (tal::parseLeadingInt(number) <= 0) {
        fail(
            "--version must carry a major version above 0 after its first blank, such as "
            "\"Vantrix 8\"");
    }
}

void registerInstallation(const Registration& r) {
    validate(r);
    nlohmann::json root = readRoot(r.registryFile);

    nlohmann::json& installation = member(root, kBaseKey + r.versionName);
    if (!installation.is_object()) installation = nlohmann::json::object();
    member(installation, "BinName") = r.binName;
    member(installation, "BinFolder") = r.binFolder;
    member(installation, "ResourceFolder") = r.resourceFolder;
    member(installation, "LiveLinkPort") = r.port;
    member(installation, "LiveLinkMaxPort") = r.maxPort;
    if (r.preview) member(installation, "Preview") = *r.preview ? 1 : 0;

    nlohmann::json& base = member(root, kBaseKey);
    if (!base.is_object()) base = nlohmann::json::object();
    member(base, "VantrixVersion") = r.versionName;
    if (r.activePath.empty()) {
        eraseMember(base, "VantrixActivePath");
    } else {
        member(base, "VantrixActivePath") = r.activePath;
    }

    const std::string error = platform::checkRegistryDocument(root);
    if (!error.empty()) fail("the merged registry would be malformed: " + error);
    replaceAtomically(r.registryFile, root.dump(2) + "\n");
}

}  // namespace vxregister
