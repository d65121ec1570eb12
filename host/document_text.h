// Internal to the document loader (not a public header): a document file's
// bytes in memory for the parser's one pass.
//
// Contract. read() takes only a regular file (platform::openRegularFile's
// refusals and reasons) and holds its bytes followed by a NUL. They are read
// straight into fresh pages of their own, asked for as huge pages (the
// system may decline): a big file then costs one copy from the page cache
// and few page faults. A file that grows while it is read is read again the
// general way (platform::readRegularFile).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace host::loader {

class DocumentText {
public:
    DocumentText() = default;
    DocumentText(const DocumentText&) = delete;
    DocumentText& operator=(const DocumentText&) = delete;
    ~DocumentText();

    // False with the reason in `error` (what is wrong, not the path).
    bool read(const std::string& path, std::string& error);

    // The bytes; data()[size()] is NUL.
    const char* data() const { return map_ ? map_ : grown_.c_str(); }
    std::size_t size() const { return map_ ? size_ : grown_.size(); }
    std::string_view view() const { return {data(), size()}; }

private:
    void release();

    char* map_ = nullptr;       // anonymous pages holding the bytes
    std::size_t mapBytes_ = 0;  // their length
    std::size_t size_ = 0;
    std::string grown_;  // the general way's bytes
};

}  // namespace host::loader
