// Host strings and file names.
//
// String holds UTF-8 text. GetCStringCopy gives a newly allocated 8-bit UTF-8
// copy that the caller releases with DeleteMem; an empty string gives null,
// as the host does. Filename is a path made of directory, file and suffix;
// GetString is the full path ("/" between components on POSIX).
#pragma once

#include <string>

#include "host/types.h"

namespace host {

class String {
public:
    String() = default;
    String(const char* utf8) : text_(utf8 ? utf8 : "") {}  // NOLINT: as the host's own String
    String(std::string utf8) : text_(std::move(utf8)) {}   // NOLINT
    const std::string& utf8() const { return text_; }
    bool IsEmpty() const { return text_.empty(); }
    // Newly allocated zero-terminated copy, or null for the empty string.
    char* GetCStringCopy() const;
    friend bool operator==(const String&, const String&) = default;

private:
    std::string text_;
};

// Releases memory the host allocated for the caller (GetCStringCopy).
void DeleteMem(char*& p);

class Filename {
public:
    Filename() = default;
    explicit Filename(const String& path);
    void SetDirectory(const String& directory);
    void SetFile(const String& file);
    void SetSuffix(const String& suffix);  // replaces the file's suffix
    String GetString() const;              // full path
    String GetFileString() const;          // last component
    Filename GetDirectory() const;
    bool IsPopulated() const { return !GetString().IsEmpty(); }
    friend bool operator==(const Filename&, const Filename&) = default;

private:
    std::string directory_;
    std::string file_;
};

}  // namespace host
