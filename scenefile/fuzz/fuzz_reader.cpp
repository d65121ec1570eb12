// libFuzzer target of the scene file reader.
//
// Every input is read twice: whole, and as a stream in chunks whose sizes
// come from the input's first byte. Beyond finding crashes and over-reads
// (under the address and undefined-behaviour sanitizers), it checks that the
// two readings agree: the same tree (compared through the dump) or the same
// error. A disagreement aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "scenefile/dump.h"
#include "scenefile/reader.h"

namespace {

// The dump of the tree, or "error: " and the error.
std::string readWhole(std::string_view bytes) {
    try {
        return scenefile::dumpDocument(scenefile::readScene(bytes));
    } catch (const scenefile::ParseError& e) {
        return std::string("error: ") + e.what();
    }
}

std::string readChunked(std::string_view bytes, std::size_t chunk) {
    scenefile::TreeBuilder tree;
    scenefile::StreamReader reader(tree);
    try {
        for (std::size_t at = 0; at < bytes.size(); at += chunk)
            reader.feed(bytes.substr(at, chunk));
        reader.finish();
    } catch (const scenefile::ParseError& e) {
        return std::string("error: ") + e.what();
    }
    return scenefile::dumpDocument(tree.take());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string whole = readWhole(bytes);
    std::size_t chunk = size ? 1 + data[0] % 61 : 1;
    std::string chunked = readChunked(bytes, chunk);
    if (whole != chunked) {
        std::fprintf(stderr,
                     "whole and chunked (%zu) readings differ:\n--- whole\n%s\n--- chunked\n%s\n",
                     chunk, whole.c_str(), chunked.c_str());
        std::abort();
    }
    return 0;
}
