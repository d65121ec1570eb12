// MaterialRecord: one material assignment, carried by value from the
// geometry exporters (meshes, hair) to the material export.
//
// Contract. A plain record, copied freely. Colours are on the host's 0..1
// scale in doubles; they reach the scene as 32-bit floats. `texturePath` is
// UTF-8, empty for an untextured material. The placement fields only matter
// when there is a texture. `name` is the host material's name in UTF-8,
// kept whole, however long; empty means "no host material".
//
// Order. MaterialRecordLess is the order under which the name table tells
// materials apart: name (bytes, unsigned), diffuse r, g, b, texturePath
// (bytes; a proper prefix first), shiftU, shiftV, scaleU, scaleV, wrap
// (false first). Specular, the texture matrix and the projection take no
// part, so records that differ only there share one name. Numbers are
// compared in a total order in which every NaN is equal to every other NaN
// and above every number, so that a NaN from the host cannot break the map.
#pragma once

#include <cstdint>
#include <string>

#include "host/math.h"

namespace convert {

struct MaterialRecord {
    std::string name;                        // host material name, UTF-8
    host::Vector diffuse{0.65, 0.65, 0.65};  // r, g, b
    host::Vector specular{0, 0, 0};
    std::string texturePath;        // resolved texture file, UTF-8; empty: none
    host::Matrix textureMatrix;     // texture projection placement; identity
    double shiftU = 0, shiftV = 0;  // texture offset
    double scaleU = 1, scaleV = 1;  // texture length
    bool wrap = true;               // tiling
    std::int32_t projection = 0;    // the texture tag's mode; 2 is flat
};

struct MaterialRecordLess {
    bool operator()(const MaterialRecord& a, const MaterialRecord& b) const;
};

}  // namespace convert
