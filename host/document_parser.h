// Internal to the document loader (not a public header): the one pass over a
// document file's text.
//
// Contract. parseDocumentText reads plain, valid JSON (RFC 8259, an optional
// UTF-8 byte order mark, no duplicate key in any object) into the same tree
// as nlohmann's parser would build, except for the big numeric arrays: an
// object's "points" ([[x, y, z], ...]), "polygons" ([[a, b, c(, d)], ...]
// with plain non-negative 32-bit indices) and "uvw" ([[[u, v, w] * 3 or 4],
// ...]) go straight into the host's own vectors in `bulk`, and the tree holds
// an empty array in their place (the key of `bulk`). An array of such a key
// that has any other shape stays in the tree. The text is never copied, and
// the tree of a mesh-heavy file stays small.
//
// Anything else (a syntax error, a duplicate key, a number out of range, an
// escape or a non-ASCII byte the fast path leaves to nlohmann and nlohmann
// refuses) answers false and leaves `out` unspecified: the caller then lets
// nlohmann's parser name the problem, so that messages stay those of the
// library.
#pragma once

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/object.h"
#include "host/tag.h"

namespace host::loader {

using Json = nlohmann::json;

// The arrays parsed straight into host vectors, by their placeholder in the
// tree.
struct BulkArrays {
    struct Uvw {
        std::vector<UVWStruct> entries;          // a three-corner entry has d = c
        std::vector<std::size_t> threeCornered;  // indices of the three-corner entries, ascending
    };
    std::unordered_map<const Json*, std::vector<Vector>> points;
    std::unordered_map<const Json*, std::vector<CPolygon>> polygons;  // a triangle has d = c
    std::unordered_map<const Json*, Uvw> uvw;
};

struct ParsedDocument {
    Json root;
    BulkArrays bulk;
};

// How far the parse got: `reached` is called with the offset of the byte
// the parse has come to, each time it has moved about kParseProgressStep
// bytes on, so that a load can show its progress. It may throw; the parse
// then ends with that exception.
using ParseProgress = std::function<void(std::size_t reached)>;
constexpr std::size_t kParseProgressStep = std::size_t{1} << 18;

// `text[size]` must be readable and NUL: the parser relies on it. Without
// `bulkArrays` every array stays in the tree (the general path alone, for
// tests that compare both).
bool parseDocumentText(const char* text, std::size_t size, ParsedDocument& out,
                       bool bulkArrays = true, const ParseProgress& progress = {});

}  // namespace host::loader
