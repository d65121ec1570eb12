// The renderer's output folder: where received scenes and vxrenderer.log go.
//
// Contract. The folder is created owner-only (0700) when missing; an
// existing one is used as it is (the user chose it). The log is a regular
// file, created 0600 and made 0600 when it is the user's and more open; a
// FIFO, a device or a folder in its place is refused at once, never waited
// on. Free space is what an unprivileged writer may still use (statvfs's
// f_bavail); the reserve kept free is the smaller of 256 MiB and 1 % of the
// filesystem unless the renderer was given one. Nothing here throws.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vxrenderer {

inline constexpr std::uint64_t kMaxDiskReserve = std::uint64_t{256} << 20;

bool prepareOutputFolder(const std::string& folder, std::string& error);

// The log opened for appending, or null with the reason.
std::FILE* openLog(const std::string& path, std::string& error);

// Removes the partial scenes that renderers which no longer run left in
// `folder` when they were killed while receiving: regular files of this
// user named `.incoming-PID-...` (earlier renderers) or `.incoming-...` /
// `.scene-...` temporaries ending in `.part-PID-XXXXXX`, where PID is not a
// running process. Answers how many it removed.
int removeStaleIncoming(const std::string& folder);

struct DiskSpace {
    std::uint64_t available = 0;  // bytes
    std::uint64_t total = 0;      // bytes
};

// False with the reason when the filesystem cannot be asked.
bool diskSpace(const std::string& folder, DiskSpace& space, std::string& error);

// `configured` when not negative, else the default rule above.
std::uint64_t diskReserve(std::int64_t configured, const DiskSpace& space);

}  // namespace vxrenderer
