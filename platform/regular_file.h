// Reading files whose paths come from outside: a document, an asset, a
// registry, a command line.
//
// Contract. Only a regular file (or a link to one) is opened. A FIFO, a
// device, a socket or a folder is refused at once with a reason that says
// what it is, without ever waiting on it: the open does not block, and the
// descriptor is made blocking again only once it is known to be a file.
// Reasons name what is wrong, not the path; callers add the path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// The descriptor (O_RDONLY | O_CLOEXEC), or -1 with the reason in `error`.
int openRegularFile(const std::string& path, std::string& error);

// A stdio stream ("rb") on such a file, or null with the reason.
std::FILE* openRegularStream(const std::string& path, std::string& error);

// Reads the whole file into `bytes`; refuses one larger than `maxBytes`.
bool readRegularFile(const std::string& path, std::string& bytes, std::string& error,
                     std::uint64_t maxBytes = UINT64_MAX);

// A stdio stream ("a") for appending to a log at `path`, created if missing
// (mode 0666 less the umask, or 0600 when `ownerOnly`; an owner-only log of
// this user that an earlier program left more open is made 0600). An existing
// file of at least `replaceAtBytes` is emptied first, so that a log never grows
// past about that size. Something that is not a regular file is refused at
// once, as for reading.
std::FILE* openRegularLog(const std::string& path, std::uint64_t replaceAtBytes, std::string& error,
                          bool ownerOnly = false);

// What `path` is when it is not a regular file ("a folder", "a FIFO", "a
// device", "a socket"), else empty. Missing paths answer empty too.
std::string nonRegularKind(const std::string& path);

}  // namespace platform
