// The transport of the live link: TCP on the loopback interface, with a time
// limit on every wait, shared by the live-link library (client) and the
// stand-in renderer (server). The message layout is in
// docs/live-link-protocol.md.
//
// Contract. Sockets are non-blocking; every wait for the peer is a poll()
// bounded by the given milliseconds, so a peer that stalls or vanishes ends
// the operation with false and a reason in `error` ("the renderer sent
// nothing for 5 s"), never a hang. Writes use MSG_NOSIGNAL: a closed peer is
// an error, not a SIGPIPE. Only loopback addresses (127.0.0.0/8) are ever
// connected to or listened on.
#pragma once

#include <cstddef>
#include <string>

namespace vxrenderer {

inline constexpr int kProtocolVersion = 1;
inline constexpr std::size_t kMaxLine = 1024;                      // bytes of a message line
inline constexpr std::size_t kMaxFrame = std::size_t{64} << 20;    // bytes of one data frame
inline constexpr std::size_t kClientFrame = std::size_t{4} << 20;  // what the library sends at most
inline constexpr std::size_t kSocketBuffer = std::size_t{4}
                                             << 20;  // asked for each side's socket buffer

// Time limits in milliseconds: $TALVIK_LIVELINK_TIMEOUT_MS when it holds a
// positive number, else the default given.
int timeoutFromEnvironment(int defaultMs);

// Connects to `host` (a name or dotted address that resolves to a loopback
// address) on `port` within `timeoutMs`. The socket, or -1.
int connectLoopback(const char* host, int port, int timeoutMs, std::string& error);

// Sends every byte; fails when the peer took nothing for `stallMs`.
bool sendAll(int fd, const void* data, std::size_t size, int stallMs, std::string& error);

// Reads one line (without its line feed) of at most kMaxLine bytes that
// must arrive within `timeoutMs`.
bool readLine(int fd, std::string& line, int timeoutMs, std::string& error);

// Listens on 127.0.0.1:`port`; port 0 takes a free port the kernel picks.
// The socket, or -1 (port taken, ...).
int listenLoopback(int port, std::string& error);

// The local port a bound socket listens on; 0 when it cannot be read.
int boundPort(int fd);

void setNonBlocking(int fd);

}  // namespace vxrenderer
