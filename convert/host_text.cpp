#include "convert/host_text.h"

#include <memory>

#include "host/strings.h"

namespace convert {

namespace {

struct HostMemDeleter {
    void operator()(char* p) const { host::DeleteMem(p); }
};

}  // namespace

std::string toUtf8(const host::String& text) {
    const std::unique_ptr<char, HostMemDeleter> copy(text.GetCStringCopy());
    return copy ? std::string(copy.get()) : std::string();
}

std::string cutAtLastDot(const std::string& name) {
    const std::string::size_type dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace convert
