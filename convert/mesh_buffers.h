// MeshBuffers: the scratch arrays of the mesh export, kept by the context
// so their storage is reused from part to part, from object to object and
// from export to export. Only their contents are discarded between parts;
// the per-object lookups keep the state stated beside them between objects.
//
// The arrays grow without zero-filling (resize leaves new floats and ints
// uninitialised): the mesh export writes every element it keeps. A part's
// arrays are produced a piece at a time where the scene writer takes them
// so; only for other writers is each gathered whole, one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "host/math.h"

namespace convert {

// std::allocator whose value-less construct default-initialises.
template <class T>
struct NoFillAllocator : std::allocator<T> {
    NoFillAllocator() noexcept = default;
    template <class U>
    NoFillAllocator(const NoFillAllocator<U>&) noexcept {}  // NOLINT: as std::allocator
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

template <class T>
using ScratchArray = std::vector<T, NoFillAllocator<T>>;

struct MeshBuffers {
    // A part's array gathered whole, for a scene writer that does not take
    // arrays in pieces: 32-bit floats or ints.
    ScratchArray<std::uint32_t> whole;
    // Per object: the host's phong normals, four per polygon.
    std::vector<host::Vector32> phong;

    // Per object: point index to vertex index within the current part, -1
    // for a point the part has not used (every entry is -1 between objects),
    // and the points the part used, in first-use order.
    ScratchArray<std::int32_t> vertexOfPoint;
    ScratchArray<std::int32_t> usedPoints;
    // Per object: 1 for a polygon an earlier part took or that refers to
    // points outside the object, else 0.
    ScratchArray<std::uint8_t> claimed;

    // Empties the part arrays; the per-object lookups are left as they are.
    void clear() { whole.clear(); }
};

}  // namespace convert
