#include "renderer/instance_records.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "renderer/link_token.h"

namespace vxrenderer {

namespace {

constexpr const char* kPrefix = "vxrenderer-";
constexpr const char* kRecordSuffix = ".instance";
constexpr const char* kSceneSuffix = ".scene.xml";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The folder exists (created if need be), is a real folder, is ours and is
// open to nobody else.
bool ownFolder(const std::string& path, std::string* error) {
    const std::filesystem::path folder(path);
    std::error_code ec;
    if (folder.has_parent_path()) std::filesystem::create_directories(folder.parent_path(), ec);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = "cannot create the instance folder " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (error) *error = "cannot use the instance folder " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        if (error) *error = "the instance folder " + path + " is not a folder of this user";
        return false;
    }
    // Only the user may plant or read instance records: they hold the tokens.
    if ((info.st_mode & 0077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        if (error)
            *error =
                "cannot make the instance folder " + path + " owner-only: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool readNumber(std::istringstream& line, long long& value) {
    return static_cast<bool>(line >> value);
}

}  // namespace

std::string instanceFolder(std::string* error) {
    std::string folder = environment("TALVIK_RUNTIME_DIR");
    if (folder.empty()) {
        const std::string runtime = environment("XDG_RUNTIME_DIR");
        folder =
            runtime.empty() ? "/tmp/talvik-" + std::to_string(::getuid()) : runtime + "/talvik";
    }
    return ownFolder(folder, error) ? folder : std::string();
}

std::string recordPath(const std::string& folder, std::int64_t processId) {
    return folder + "/" + kPrefix + std::to_string(processId) + kRecordSuffix;
}

std::string sceneDescriptionPath(const std::string& folder, std::int64_t processId) {
    return folder + "/" + kPrefix + std::to_string(processId) + kSceneSuffix;
}

bool replaceFile(const std::string& path, const std::string& text) {
    std::string error;
    return platform::writeFileAtomically(path, text.data(), text.size(), error,
                                         platform::AtomicFileOptions{0600, true});
}

bool writeRecord(const std::string& folder, const InstanceRecord& record) {
    std::ostringstream text;
    text << "version_major " << record.versionMajor << "\nprocess_id " << record.processId
         << "\nlivelink_port " << record.liveLinkPort << "\n";
    if (!record.token.empty()) text << "token " << record.token << "\n";
    return replaceFile(recordPath(folder, record.processId), text.str());
}

std::optional<InstanceRecord> parseRecord(const std::string& text) {
    InstanceRecord record;
    bool version = false, process = false, port = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key;
        long long value = 0;
        if (!(fields >> key)) continue;
        if (key == "token") {
            std::string token;
            if (fields >> token && wellFormedToken(token)) record.token = token;
            continue;
        }
        if (!readNumber(fields, value)) continue;
        if (key == "version_major" && value > 0 && value < 1000) {
            record.versionMajor = static_cast<int>(value);
            version = true;
        } else if (key == "process_id" && value > 0 && value <= 0x7fffffff) {
            record.processId = value;
            process = true;
        } else if (key == "livelink_port" && value >= 0 && value <= 65535) {
            record.liveLinkPort = static_cast<int>(value);
            port = true;
        }
    }
    if (!version || !process || !port) return std::nullopt;
    return record;
}

bool processRunning(std::int64_t processId) {
    if (processId <= 0 || processId > 0x7fffffff) return false;
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

namespace {

// Every record file in the folder with the process id its name carries.
std::vector<std::pair<std::int64_t, std::string>> recordFiles(const std::string& folder) {
    std::vector<std::pair<std::int64_t, std::string>> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string prefix = kPrefix;
        const std::string suffix = kRecordSuffix;
        if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        const std::string digits =
            name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 10) {
            continue;
        }
        files.emplace_back(std::stoll(digits), it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

namespace {

std::optional<InstanceRecord> readRecord(const std::string& path, std::int64_t processId) {
    std::string text;
    std::string error;
    // The folder is the user's own; a record that is not a plain small file
    // was not written by a renderer.
    if (!platform::readRegularFile(path, text, error, 4096)) return std::nullopt;
    const std::optional<InstanceRecord> record = parseRecord(text);
    // The file's name and its content must agree on the process.
    if (!record || record->processId != processId || !processRunning(processId)) {
        return std::nullopt;
    }
    return record;
}

}  // namespace

std::vector<InstanceRecord> liveRecords(const std::string& folder) {
    std::vector<InstanceRecord> records;
    for (const auto& [processId, path] : recordFiles(folder)) {
        if (auto record = readRecord(path, processId)) records.push_back(std::move(*record));
    }
    return records;
}

std::optional<InstanceRecord> liveRecord(const std::string& folder, std::int64_t processId) {
    if (processId <= 0) return std::nullopt;
    return readRecord(recordPath(folder, processId), processId);
}

void removeStaleRecords(const std::string& folder) {
    for (const auto& [processId, path] : recordFiles(folder)) {
        if (processRunning(processId)) continue;
        ::unlink(path.c_str());
        ::unlink(sceneDescriptionPath(folder, processId).c_str());
    }
}

}  // namespace vxrenderer
