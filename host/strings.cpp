// Host strings and file names. Paths use "/" between components; a file name
// keeps what it was given (absolute, relative or empty).
#include "host/strings.h"

#include <cstdlib>
#include <cstring>

namespace host {

char* String::GetCStringCopy() const {
    if (text_.empty()) return nullptr;
    // Plain malloc, not the host allocator: the allocation-failure hook is
    // meant for plug-in objects, and string copies must not consume it.
    char* copy = static_cast<char*>(std::malloc(text_.size() + 1));
    if (copy) std::memcpy(copy, text_.c_str(), text_.size() + 1);
    return copy;
}

void DeleteMem(char*& p) {
    std::free(p);
    p = nullptr;
}

Filename::Filename(const String& path) {
    const std::string& text = path.utf8();
    const std::size_t slash = text.rfind('/');
    if (slash == std::string::npos) {
        file_ = text;
    } else if (slash + 1 == text.size()) {
        directory_ = text;  // "a/b/": a folder, kept as written
    } else {
        directory_ = slash == 0 ? std::string("/") : text.substr(0, slash);
        file_ = text.substr(slash + 1);
    }
}

void Filename::SetDirectory(const String& directory) { directory_ = directory.utf8(); }

void Filename::SetFile(const String& file) { file_ = file.utf8(); }

void Filename::SetSuffix(const String& suffix) {
    // A leading dot (".profile") starts a name, not a suffix.
    const std::size_t dot = file_.rfind('.');
    if (dot != std::string::npos && dot > 0) file_.erase(dot);
    if (!suffix.IsEmpty()) file_ += "." + suffix.utf8();
}

String Filename::GetString() const {
    if (directory_.empty()) return String(file_);
    if (file_.empty()) return String(directory_);
    const bool separated = directory_.back() == '/';
    return String(directory_ + (separated ? "" : "/") + file_);
}

String Filename::GetFileString() const {
    if (!file_.empty()) return String(file_);
    // A folder path: its last component.
    std::string dir = directory_;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const std::size_t slash = dir.rfind('/');
    return String(slash == std::string::npos || dir.size() == 1 ? dir : dir.substr(slash + 1));
}

Filename Filename::GetDirectory() const {
    if (!file_.empty()) return Filename(String(directory_));
    // A folder path: the folder above it.
    std::string dir = directory_;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const std::size_t slash = dir.rfind('/');
    if (slash == std::string::npos) return Filename();
    return Filename(String(slash == 0 ? std::string("/") : dir.substr(0, slash)));
}

}  // namespace host
