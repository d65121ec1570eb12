// LightFileFactory: the factory of the scene file back end (Export).
//
// Contract. The constructor opens the output for an 8-bit UTF-8 path, in
// binary mode; the path "-" writes to the process's standard output instead
// (which is then pointed at the standard error stream, so that nothing else
// the process prints mixes into the scene). A file path is written through
// platform::AtomicFile: the scene goes to a file beside the target that has
// no name (or a hidden one) until closeApi() has seen every byte taken, and
// only then replaces the target. Until that moment an earlier file at the
// path is untouched, and an export that fails or is interrupted leaves it as
// it was and nothing new. A path that names a device or a FIFO is written in
// place; a symbolic link is followed; a dangling link and a folder are
// refused. A path that cannot be opened writes "opening file" and the reason
// to stderr and raises std::runtime_error("could not open file: \"<path>\"").
// openApi() answers the file writer (binary arrays on). closeApi() deletes
// the writer, then completes the output. When the output did not take every
// byte (a full disk, a file-size limit), or the close or the rename fails,
// closeApi() writes "closing file" and the reason to stderr, drops the new
// file and raises std::runtime_error("could not close file"). A second
// closeApi() does nothing. The destructor completes the output as closeApi()
// does but never raises (it still reports); while an exception unwinds
// through it, it drops the new file instead, because the scene is partial.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/atomic_file.h"
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
    int finishWriter();
    int closeStandardOutput(int reason);
    bool completeFile(int reason, std::string& error);

    std::unique_ptr<talScene_api_file> writer_;
    platform::AtomicFile file_;    // the output for a path
    std::FILE* stream_ = nullptr;  // what the writer writes to (owned by file_ for a path)
    bool toStdout_ = false;
    int unwinding_ = 0;  // exceptions in flight when the factory was made
};

}  // namespace tal
