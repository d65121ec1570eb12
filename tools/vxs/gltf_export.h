// glTF 2.0 output of a read scene (`vxs convert`).
//
// What is written: the placed group and object blocks as nodes, in file
// order, with their names and transforms (the scene's 16 values are a
// row-vector matrix, which is glTF's column-major column-vector matrix as it
// stands; several transform statements compose, the later one applied
// first; "set transform" replaces); each "triangles" geometry of an object as
// a primitive with positions, normals and uvs (TEXCOORD_0, as written: v is
// not flipped), re-indexed so that corners with the same vertex, normal and
// uv share one glTF vertex; each distinct material once, with its surface's
// "diffuse" colour as base colour, its linked texture shader's file as base
// colour texture (wrap on: repeat, off: clamp), and a light shader's colour
// as emission. Definitions (#define), cameras, hair curves and animations are
// not written. Texture files are referenced by their path (backslashes made
// slashes), not embedded.
//
// A scene without placed groups or objects gives an asset without scenes
// (glTF has no empty scene object). Names and texture paths that are not
// UTF-8 have their invalid bytes replaced with U+FFFD, with one warning for
// the whole file.
//
// Files. Everything is serialised in memory first, then each file is written
// through platform::AtomicFile: it replaces the earlier file only when
// complete. For a .gltf both files are written in full before either is put
// in place, then the .bin, then the .gltf, so a reader never meets a .gltf
// naming a missing buffer; a .bin that is new is removed again should the
// .gltf's rename fail.
//
// Failures. A primitive that cannot be written (an index outside its arrays,
// arrays of the wrong shape) is left out and named in the summary's
// warnings; normals that are zero or not finite are left out likewise.
// writeGltf throws std::runtime_error ("cannot write "PATH": reason") when a
// file cannot be written; the earlier files then stay as they were and no
// new or partial file is left.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scenefile/tree.h"

namespace vxs {

struct GltfSummary {
    std::size_t nodes = 0, meshes = 0, primitives = 0, materials = 0, textures = 0;
    std::size_t vertices = 0, triangles = 0;  // glTF vertices after re-indexing
    std::vector<std::string> warnings;
};

// Writes .glb (binary, one file) when `path` ends in ".glb", else .gltf
// (JSON) with its buffer beside it in a ".bin" file of the same stem.
GltfSummary writeGltf(const scenefile::Document& doc, const std::string& path);

}  // namespace vxs
