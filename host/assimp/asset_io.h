// Internal to the asset importer: the file system assimp sees.
//
// Contract. assimp opens the asset and the files it names (an OBJ's MTL,
// external references) through FencedIO only. A name is taken relative to
// the asset's folder; it is opened only when it lies inside that folder once
// symbolic links are followed and is a regular file (a FIFO or device is
// refused without waiting on it). The file is read whole into memory, so
// assimp never holds a descriptor. Every file asked for and not given is
// kept with its reason, for the import to report.
#pragma once

#include <assimp/IOSystem.hpp>
#include <string>
#include <utility>
#include <vector>

namespace host::assimp::detail {

class FencedIO : public Assimp::IOSystem {
public:
    explicit FencedIO(std::string folder) : folder_(std::move(folder)) {}

    bool Exists(const char* file) const override;
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* file, const char* mode) override;
    void Close(Assimp::IOStream* stream) override;

    // Files assimp asked for that are missing or refused: (file, reason),
    // each file once, in the order asked.
    const std::vector<std::pair<std::string, std::string>>& refused() const { return refused_; }

private:
    // The absolute file `name` names inside the folder, or "" with a reason.
    std::string resolve(const std::string& name, std::string& reason) const;

    void refuse(const std::string& file, const std::string& reason) const;

    std::string folder_;
    mutable std::vector<std::pair<std::string, std::string>> refused_;
};

// The absolute file `name` (relative to `folder`, or absolute) names inside
// `folder`, or "" with the reason; the file need not exist.
std::string fileInFolder(const std::string& folder, const std::string& name, std::string& reason);

}  // namespace host::assimp::detail
