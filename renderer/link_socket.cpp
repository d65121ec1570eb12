#include "renderer/link_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace vxrenderer {

namespace {

using Clock = std::chrono::steady_clock;

std::string seconds(int milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", milliseconds / 1000.0);
    return text;
}

// Waits for `events` until `deadline`; false on time-out or failure.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left.count()));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return false;
    }
}

// The IPv4 loopback address `host` resolves to.
bool resolveLoopback(const char* host, in_addr& address, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host != nullptr ? host : "", nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        error = std::string("cannot resolve ") + (host ? host : "") + ": " + ::gai_strerror(rc);
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    if ((ntohl(address.s_addr) >> 24) != 127) {
        error =
            std::string(host) + " is not a loopback address; the live link stays on this machine";
        return false;
    }
    return true;
}

}  // namespace

int timeoutFromEnvironment(int defaultMs) {
    const char* text = std::getenv("TALVIK_LIVELINK_TIMEOUT_MS");
    if (text == nullptr) return defaultMs;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && value > 0 && value < 3600000 ? static_cast<int>(value) : defaultMs;
}

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

int connectLoopback(const char* host, int port, int timeoutMs, std::string& error) {
    if (port < 1 || port > 65535) {
        error = "no such port " + std::to_string(port);
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (!resolveLoopback(host, address.sin_addr, error)) return -1;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // Room for a few frames in flight, so the writer goes on while the renderer reads.
    const int sendBuffer = static_cast<int>(kSocketBuffer);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            error = std::string("connect: ") + std::strerror(errno);
            ::close(fd);
            return -1;
        }
        if (!waitFor(fd, POLLOUT, Clock::now() + std::chrono::milliseconds(timeoutMs))) {
            error = "no connection within " + seconds(timeoutMs);
            ::close(fd);
            return -1;
        }
        int status = 0;
        socklen_t length = sizeof status;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &status, &length);
        if (status != 0) {
            error = std::string("connect: ") + std::strerror(status);
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

bool sendAll(int fd, const void* data, std::size_t size, int stallMs, std::string& error) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, Clock::now() + std::chrono::milliseconds(stallMs))) {
                error = "the peer took nothing for " + seconds(stallMs);
                return false;
            }
            continue;
        }
        error = n < 0 ? std::string("send: ") + std::strerror(errno) : "send: nothing sent";
        return false;
    }
    return true;
}

bool readLine(int fd, std::string& line, int timeoutMs, std::string& error) {
    line.clear();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, 0);
        if (n == 1) {
            if (c == '\n') return true;
            if (line.size() >= kMaxLine) {
                error = "a message line longer than " + std::to_string(kMaxLine) + " bytes";
                return false;
            }
            line.push_back(c);
            continue;
        }
        if (n == 0) {
            error = "the peer closed the connection";
            return false;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            error = std::string("recv: ") + std::strerror(errno);
            return false;
        }
        if (!waitFor(fd, POLLIN, deadline)) {
            error = "the peer sent nothing for " + seconds(timeoutMs);
            return false;
        }
    }
}

int listenLoopback(int port, std::string& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // Inherited by the accepted sockets; set before listen() for the window to use it.
    const int receiveBuffer = static_cast<int>(kSocketBuffer);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0) {
        error = "port " + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

int boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

}  // namespace vxrenderer
