#include "platform/shared_library.h"

#include <dlfcn.h>

namespace platform {

namespace {

class PosixSharedLibraries final : public SharedLibraries {
public:
    LibraryHandle open(const std::string& path) override {
        if (path.empty()) return nullptr;
        // Symbols stay local, so two libraries of the same interface (or
        // one loaded under two names) never resolve into each other.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        remember();
        return handle;
    }

    void* symbol(LibraryHandle handle, const char* name) override {
        if (handle == nullptr || name == nullptr) return nullptr;
        void* address = ::dlsym(handle, name);
        remember();
        return address;
    }

    void close(LibraryHandle handle) override {
        if (handle != nullptr) ::dlclose(handle);
        remember();
    }

    std::string lastError() const override { return lastError_; }

private:
    void remember() {
        const char* error = ::dlerror();
        lastError_ = error != nullptr ? error : "";
    }

    std::string lastError_;
};

}  // namespace

SharedLibraries& systemSharedLibraries() {
    static PosixSharedLibraries libraries;
    return libraries;
}

}  // namespace platform
