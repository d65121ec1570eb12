// How deep a scene file may nest, the one place the reader takes its limits
// from.
#pragma once

#include <cstddef>

namespace scenefile {

// Deepest nesting of blocks (inline shaders included) a scene may have. It
// must take what the export of the deepest document writes: the document
// loader and the glTF importer accept host::kMaxObjectDepth (1000) object
// levels, each a group; the document's own group adds one, and under the
// deepest group its content adds at most four (object, material, shader, an
// inline texture shader): 1005. The rest is headroom for content that grows.
constexpr std::size_t kMaxBlockDepth = 1024;

// Deepest nesting of inline shaders inside one statement. They are the only
// blocks read by recursion, so this bounds the reader's stack; the writer
// nests one inside another at most once.
constexpr std::size_t kMaxInlineShaderDepth = 64;

}  // namespace scenefile
