// LightFileFactory: the factory of the scene file back end (Export).
//
// Contract. The constructor opens the file on an 8-bit UTF-8 path, created or
// emptied, in binary mode; the path "-" writes to the process's standard
// output instead (which is then pointed at the standard error stream, so that
// nothing else the process prints mixes into the scene). A path that cannot
// be opened writes "opening file" and the system's reason to stderr and
// raises std::runtime_error("could not open file: \"<path>\"").
// openApi() answers the file writer (binary arrays on). closeApi() and the
// destructor delete the writer, then close the stream. When the stream did
// not take every byte (a full disk), or the close fails, closeApi() writes
// "closing file" and the reason to stderr, removes the incomplete file and
// raises std::runtime_error("could not close file"). Only a regular file that
// this factory opened, still at its path, is removed: never a device (such as
// /dev/full) and never the standard output. The destructor never raises (it
// still reports and removes): callers that want to hear of a failed close
// call closeApi() first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "sceneapi/light_factory.h"

namespace tal {

class talScene_api_file;

class LightFileFactory : public LightFactory {
public:
    explicit LightFileFactory(const std::string& path);
    ~LightFileFactory() override;
    talScene_api* openApi() override;
    void beginScene(talSceneapi_oo& scene) override;
    void closeApi() override;

private:
    void rememberFileIdentity();
    void removeIncompleteFile() const;

    std::unique_ptr<talScene_api_file> writer_;
    std::FILE* stream_ = nullptr;
    std::string path_;
    bool toStdout_ = false;
    // Identity of the regular file opened at path_, checked before removal.
    bool removable_ = false;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

}  // namespace tal
