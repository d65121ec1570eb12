#include "renderer/link_token.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace vxrenderer {

std::string newToken(std::string& error) {
    unsigned char bytes[kTokenLength / 2];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::string("no random bytes: ") + std::strerror(errno);
            return {};
        }
        filled += static_cast<std::size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    token.reserve(kTokenLength);
    for (const unsigned char b : bytes) {
        token.push_back(kHex[b >> 4]);
        token.push_back(kHex[b & 15]);
    }
    return token;
}

bool wellFormedToken(std::string_view text) {
    if (text.size() != kTokenLength) return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

bool tokensMatch(std::string_view presented, std::string_view expected) {
    if (!wellFormedToken(presented) || !wellFormedToken(expected)) return false;
    // Every byte is looked at whatever differs, so the answer's timing says
    // nothing about how much of a guess was right.
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < kTokenLength; ++i) {
        difference |= static_cast<std::uint8_t>(presented[i] ^ expected[i]);
    }
    return difference == 0;
}

}  // namespace vxrenderer
