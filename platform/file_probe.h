// FileProbe: whether a file can be opened for reading, the test that tells a
// real installation from a stale registry record.
//
// Contract. True only for something that opens for reading and is not a
// folder (a folder is not an executable, though POSIX lets it open). The file
// is closed again at once; nothing is read.
#pragma once

#include <string>

namespace platform {

class FileProbe {
public:
    virtual ~FileProbe() = default;
    virtual bool opensForReading(const std::string& path) const = 0;
};

const FileProbe& systemFileProbe();

}  // namespace platform
