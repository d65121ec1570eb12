// Instance records: how running renderers make themselves known to the
// live-link library on the same machine, through files in one folder.
//
// Contract. The instance folder is $TALVIK_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/talvik, else /tmp/talvik-<uid>. It is created with mode
// 0700 when missing and made 0700 when it is more open; a folder that is not
// the user's own (a symlink, or owned by someone else) is refused, so nobody
// else can plant or read instances. Each renderer keeps two owner-only
// (0600) files there, each replaced atomically, and removes both when it
// ends:
//   vxrenderer-<pid>.instance   "version_major N\nprocess_id P\nlivelink_port Q\ntoken T\n"
//   vxrenderer-<pid>.scene.xml  its scene description (see docs/live-link-protocol.md)
// The token is the renderer's secret (link_token.h): whoever can read the
// record may use that renderer, and only its user can.
// Records of processes that no longer exist are ignored by readers and
// removed by the next renderer that starts. Nothing here throws: failures
// are empty answers and false.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vxrenderer {

struct InstanceRecord {
    int versionMajor = 0;
    std::int64_t processId = 0;
    int liveLinkPort = 0;
    std::string token;  // empty in a record that carries none
};

// The instance folder, created if missing; empty when it cannot be made or
// is not safe to use (`error` then says why).
std::string instanceFolder(std::string* error = nullptr);

std::string recordPath(const std::string& folder, std::int64_t processId);
std::string sceneDescriptionPath(const std::string& folder, std::int64_t processId);

// Writes `text` to `path` atomically. False when it could not.
bool replaceFile(const std::string& path, const std::string& text);
bool writeRecord(const std::string& folder, const InstanceRecord& record);

// The records of running processes, by ascending process id.
std::vector<InstanceRecord> liveRecords(const std::string& folder);
// The record of the running process `processId`, if there is one.
std::optional<InstanceRecord> liveRecord(const std::string& folder, std::int64_t processId);
std::optional<InstanceRecord> parseRecord(const std::string& text);
bool processRunning(std::int64_t processId);
// Removes the files of processes that no longer run.
void removeStaleRecords(const std::string& folder);

}  // namespace vxrenderer
