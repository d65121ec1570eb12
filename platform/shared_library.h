// SharedLibraries: loads a shared library by path and finds its exported
// symbols.
//
// Contract. open answers an opaque handle, or null when the file does not
// load (missing, not a library, unresolved dependencies); lastError() then
// holds the system's reason. A path with a "/" is used as it is: "./x.so" is
// relative to the current folder, no search path is consulted. symbol answers
// null for a name the library does not export. close unloads a handle from
// open; every handle is closed exactly once by whoever opened it.
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

class SharedLibraries {
public:
    virtual ~SharedLibraries() = default;
    virtual LibraryHandle open(const std::string& path) = 0;
    virtual void* symbol(LibraryHandle handle, const char* name) = 0;
    virtual void close(LibraryHandle handle) = 0;
    virtual std::string lastError() const = 0;
};

SharedLibraries& systemSharedLibraries();

}  // namespace platform
