#include "platform/registry_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <variant>
#include <vector>

#include "platform/registry_json.h"
#include "platform/regular_file.h"

namespace platform {

namespace {

// A root file larger than this is not a registration record; it is refused
// rather than read into memory.
constexpr off_t kMaxRootFileBytes = 16 * 1024 * 1024;

using Value = std::variant<std::uint32_t, std::string>;
using Values = std::vector<std::pair<std::string, Value>>;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trimTrailingSeparators(std::string_view path) {
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return path;
}

// Whether `path` names `parent` or a key below it.
bool isBelow(std::string_view path, std::string_view parent) {
    if (parent.empty()) return true;
    return path.size() > parent.size() && path[parent.size()] == '\\' &&
           sameRegistryName(path.substr(0, parent.size()), parent);
}

class SnapshotKey final : public RegistryKey {
public:
    explicit SnapshotKey(Values values) : values_(std::move(values)) {}

    std::optional<std::uint32_t> readNumber(std::string_view name) const override {
        const Value* value = find(name);
        if (value == nullptr || !std::holds_alternative<std::uint32_t>(*value)) return std::nullopt;
        return std::get<std::uint32_t>(*value);
    }

    std::optional<std::string> readText(std::string_view name) const override {
        const Value* value = find(name);
        if (value == nullptr || !std::holds_alternative<std::string>(*value)) return std::nullopt;
        const std::string& text = std::get<std::string>(*value);
        return text.substr(0, text.find('\0'));
    }

private:
    const Value* find(std::string_view name) const {
        for (const auto& [valueName, value] : values_) {
            if (sameRegistryName(valueName, name)) return &value;
        }
        return nullptr;
    }

    Values values_;
};

// Reads a root file. Answers false with an empty `error` when the file is
// missing, unreadable or no regular file (an empty root, silently); a FIFO
// or a device is never waited on.
bool readRootFile(const std::string& path, std::string& text, std::string& error) {
    error.clear();
    std::string reason;
    const int fd = openRegularFile(path, reason);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok && info.st_size > kMaxRootFileBytes) {
        error = "larger than 16 MiB";
        ok = false;
    }
    if (ok) {
        text.clear();
        char buffer[8192];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
            if (text.size() > static_cast<std::size_t>(kMaxRootFileBytes)) {
                error = "larger than 16 MiB";
                ok = false;
                break;
            }
        }
    }
    ::close(fd);
    return ok;
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

}  // namespace

bool sameRegistryName(std::string_view a, std::string_view b) {
    a = trimTrailingSeparators(a);
    b = trimTrailingSeparators(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::string defaultRegistryPath(RegistryRoot root) {
    const char* variable =
        root == RegistryRoot::user ? "TALVIK_REGISTRY_USER" : "TALVIK_REGISTRY_MACHINE";
    if (const char* path = std::getenv(variable); path != nullptr && *path != '\0') return path;
    if (root == RegistryRoot::machine) return "/etc/talvik/registry.json";
    return homeDirectory() + "/.config/talvik/registry.json";
}

struct JsonRegistryStore::State {
    std::mutex mutex;
    std::string lastWarning[2];  // per root: the last malformed content reported
};

JsonRegistryStore::JsonRegistryStore() : state_(std::make_unique<State>()) {}

JsonRegistryStore::JsonRegistryStore(std::string userPath, std::string machinePath)
    : userPath_(std::move(userPath)),
      machinePath_(std::move(machinePath)),
      state_(std::make_unique<State>()) {}

JsonRegistryStore::~JsonRegistryStore() = default;

std::string JsonRegistryStore::rootPath(RegistryRoot root) const {
    const std::optional<std::string>& fixed = root == RegistryRoot::user ? userPath_ : machinePath_;
    return fixed ? *fixed : defaultRegistryPath(root);
}

std::unique_ptr<RegistryKey> JsonRegistryStore::openKey(RegistryRoot root,
                                                        std::string_view path) const {
    const std::string file = rootPath(root);
    std::string text;
    std::string error;
    nlohmann::json document;
    if (readRootFile(file, text, error)) document = parseRegistryDocument(text, error);
    if (!error.empty()) {
        // Report each distinct malformed content once, however often it is read.
        std::lock_guard<std::mutex> lock(state_->mutex);
        std::string& last = state_->lastWarning[root == RegistryRoot::user ? 0 : 1];
        const std::string signature = file + '\n' + text;
        if (last != signature) {
            last = signature;
            std::fprintf(stderr, "talvik registry: %s is read as empty: %s\n", file.c_str(),
                         error.c_str());
        }
        return nullptr;
    }
    if (!document.is_object()) return nullptr;

    const std::string_view wanted = trimTrailingSeparators(path);
    bool isParent = false;
    for (const auto& [keyPath, values] : document.items()) {
        if (sameRegistryName(keyPath, wanted)) {
            Values snapshot;
            for (const auto& [name, value] : values.items()) {
                if (value.is_string()) {
                    snapshot.emplace_back(name, value.get<std::string>());
                } else {
                    snapshot.emplace_back(name, value.get<std::uint32_t>());
                }
            }
            return std::make_unique<SnapshotKey>(std::move(snapshot));
        }
        isParent = isParent || isBelow(trimTrailingSeparators(keyPath), wanted);
    }
    return isParent ? std::make_unique<SnapshotKey>(Values{}) : nullptr;
}

const RegistryStore& systemRegistryStore() {
    static const JsonRegistryStore store;
    return store;
}

}  // namespace platform
