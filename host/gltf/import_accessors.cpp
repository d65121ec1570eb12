// Reading accessors: every range is checked against its buffer view and
// buffer before a byte is read, in 64-bit arithmetic so that no sum wraps.
//
// | componentType | read as                 | normalised to        |
// |---------------|-------------------------|----------------------|
// | 5120 byte     | signed 8-bit            | max(c / 127, -1)     |
// | 5121 ubyte    | unsigned 8-bit          | c / 255              |
// | 5122 short    | signed 16-bit           | max(c / 32767, -1)   |
// | 5123 ushort   | unsigned 16-bit         | c / 65535            |
// | 5125 uint     | unsigned 32-bit         | (indices only)       |
// | 5126 float    | 32-bit float            |                      |
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/gltf/import_context.h"

namespace host::gltf::detail {

namespace {

// An accessor without a buffer view reads zeros; more elements than this
// would only be a way to exhaust memory.
constexpr std::uint64_t kMaxZeroElements = std::uint64_t{1} << 26;

int componentSize(int type) {
    switch (type) {
        case TINYGLTF_COMPONENT_TYPE_BYTE:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return 1;
        case TINYGLTF_COMPONENT_TYPE_SHORT:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return 2;
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        case TINYGLTF_COMPONENT_TYPE_FLOAT:
            return 4;
        default:
            return 0;
    }
}

int typeComponents(int type) {
    switch (type) {
        case TINYGLTF_TYPE_SCALAR:
            return 1;
        case TINYGLTF_TYPE_VEC2:
            return 2;
        case TINYGLTF_TYPE_VEC3:
            return 3;
        case TINYGLTF_TYPE_VEC4:
            return 4;
        default:
            return 0;
    }
}

const char* typeName(int components) {
    switch (components) {
        case 1:
            return "SCALAR";
        case 2:
            return "VEC2";
        case 3:
            return "VEC3";
        default:
            return "VEC4";
    }
}

template <typename T>
T load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

float component(const unsigned char* p, int type, bool normalized) {
    switch (type) {
        case TINYGLTF_COMPONENT_TYPE_BYTE: {
            const auto c = static_cast<float>(load<std::int8_t>(p));
            return normalized ? std::max(c / 127.0f, -1.0f) : c;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: {
            const auto c = static_cast<float>(load<std::uint8_t>(p));
            return normalized ? c / 255.0f : c;
        }
        case TINYGLTF_COMPONENT_TYPE_SHORT: {
            const auto c = static_cast<float>(load<std::int16_t>(p));
            return normalized ? std::max(c / 32767.0f, -1.0f) : c;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
            const auto c = static_cast<float>(load<std::uint16_t>(p));
            return normalized ? c / 65535.0f : c;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
            return static_cast<float>(load<std::uint32_t>(p));
        default:
            return load<float>(p);
    }
}

std::uint32_t unsignedComponent(const unsigned char* p, int type) {
    switch (type) {
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return load<std::uint8_t>(p);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return load<std::uint16_t>(p);
        default:
            return load<std::uint32_t>(p);
    }
}

// A checked window of `count` elements of `elementSize` bytes, `stride`
// apart, starting `offset` bytes into buffer view `viewIndex`.
struct Window {
    const unsigned char* first = nullptr;
    std::uint64_t stride = 0;
};

Window window(const Context& ctx, int viewIndex, std::uint64_t offset, std::uint64_t count,
              std::uint64_t elementSize, bool strided, const std::string& path) {
    const auto& views = ctx.model.bufferViews;
    if (viewIndex < 0 || static_cast<std::size_t>(viewIndex) >= views.size())
        ctx.fail(path, "no buffer view " + std::to_string(viewIndex));
    const tinygltf::BufferView& view = views[static_cast<std::size_t>(viewIndex)];
    const std::string viewPath = indexPath("bufferViews", static_cast<std::size_t>(viewIndex));
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= ctx.model.buffers.size())
        ctx.fail(viewPath, "no buffer " + std::to_string(view.buffer));
    const std::vector<unsigned char>& data =
        ctx.model.buffers[static_cast<std::size_t>(view.buffer)].data;
    const std::uint64_t viewOffset = view.byteOffset, viewLength = view.byteLength;
    if (viewOffset > data.size() || viewLength > data.size() - viewOffset)
        ctx.fail(viewPath, "bytes " + std::to_string(viewOffset) + " to " +
                               std::to_string(viewOffset + viewLength) +
                               " lie beyond the buffer's " + std::to_string(data.size()) +
                               " bytes");
    const std::uint64_t stride = strided && view.byteStride != 0 ? view.byteStride : elementSize;
    if (stride < elementSize)
        ctx.fail(viewPath, "byte stride " + std::to_string(stride) +
                               " is shorter than an element (" + std::to_string(elementSize) +
                               " bytes)");
    if (count > 0) {
        // The last element ends at offset + stride * (count - 1) + elementSize.
        const bool fits = offset <= viewLength && elementSize <= viewLength - offset &&
                          (count - 1) <= (viewLength - offset - elementSize) / stride;
        if (!fits)
            ctx.fail(path, std::to_string(count) + " elements of " + std::to_string(elementSize) +
                               " bytes from byte " + std::to_string(offset) + " do not fit in " +
                               viewPath + " (" + std::to_string(viewLength) + " bytes)");
    }
    return {data.data() + viewOffset + offset, stride};
}

const tinygltf::Accessor& accessor(const Context& ctx, int index, const std::string& path) {
    if (index < 0 || static_cast<std::size_t>(index) >= ctx.model.accessors.size())
        ctx.fail(path, "no accessor " + std::to_string(index));
    return ctx.model.accessors[static_cast<std::size_t>(index)];
}

}  // namespace

std::size_t accessorCount(const Context& ctx, int index, const std::string& path) {
    return accessor(ctx, index, path).count;
}

std::vector<float> readFloats(const Context& ctx, int index, int components,
                              const std::string& path) {
    const tinygltf::Accessor& a = accessor(ctx, index, path);
    const std::string at =
        path + " (" + indexPath("accessors", static_cast<std::size_t>(index)) + ")";
    const int size = componentSize(a.componentType);
    if (size == 0 || a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
        ctx.fail(at,
                 "component type " + std::to_string(a.componentType) + " cannot hold these values");
    if (typeComponents(a.type) != components)
        ctx.fail(at, std::string("expected ") + typeName(components) + " elements");
    const auto n = static_cast<std::size_t>(components);
    const std::uint64_t elementSize = static_cast<std::uint64_t>(size) * n;
    if (a.bufferView < 0 && a.count > kMaxZeroElements)
        ctx.fail(at, std::to_string(a.count) + " elements without a buffer view");
    // The range is checked before anything of the accessor's size is made.
    Window w;
    if (a.bufferView >= 0)
        w = window(ctx, a.bufferView, a.byteOffset, a.count, elementSize, true, at);
    std::vector<float> out(a.count * n, 0.0f);
    if (a.bufferView >= 0) {
        for (std::size_t i = 0; i < a.count; ++i)
            for (std::size_t c = 0; c < n; ++c)
                out[i * n + c] =
                    component(w.first + i * w.stride + c * static_cast<std::size_t>(size),
                              a.componentType, a.normalized);
    }
    if (a.sparse.isSparse) {
        const std::string sp = at + ".sparse";
        if (a.sparse.count < 0 || static_cast<std::size_t>(a.sparse.count) > a.count)
            ctx.fail(sp, "sparse count " + std::to_string(a.sparse.count) + " exceeds the " +
                             std::to_string(a.count) + " elements");
        const auto count = static_cast<std::uint64_t>(a.sparse.count);
        const int indexType = a.sparse.indices.componentType;
        const int indexSize = componentSize(indexType);
        if (indexSize == 0 || indexType == TINYGLTF_COMPONENT_TYPE_BYTE ||
            indexType == TINYGLTF_COMPONENT_TYPE_SHORT ||
            indexType == TINYGLTF_COMPONENT_TYPE_FLOAT)
            ctx.fail(sp + ".indices",
                     "component type " + std::to_string(indexType) + " is not an index type");
        if (a.sparse.indices.byteOffset < 0 || a.sparse.values.byteOffset < 0)
            ctx.fail(sp, "negative byte offset");
        const Window idx = window(ctx, a.sparse.indices.bufferView,
                                  static_cast<std::uint64_t>(a.sparse.indices.byteOffset), count,
                                  static_cast<std::uint64_t>(indexSize), false, sp + ".indices");
        const Window val = window(ctx, a.sparse.values.bufferView,
                                  static_cast<std::uint64_t>(a.sparse.values.byteOffset), count,
                                  elementSize, false, sp + ".values");
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint32_t i = unsignedComponent(idx.first + k * idx.stride, indexType);
            if (i >= a.count)
                ctx.fail(sp + ".indices", "index " + std::to_string(i) + " outside the " +
                                              std::to_string(a.count) + " elements");
            for (std::size_t c = 0; c < n; ++c)
                out[i * n + c] =
                    component(val.first + k * val.stride + c * static_cast<std::size_t>(size),
                              a.componentType, a.normalized);
        }
    }
    for (const float v : out)
        if (!std::isfinite(v)) ctx.fail(at, "holds a value that is not a finite number");
    return out;
}

std::vector<std::uint32_t> readIndices(const Context& ctx, int index, const std::string& path) {
    const tinygltf::Accessor& a = accessor(ctx, index, path);
    const std::string at =
        path + " (" + indexPath("accessors", static_cast<std::size_t>(index)) + ")";
    const int type = a.componentType;
    if (type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
        type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
        type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
        ctx.fail(at, "indices must be unsigned bytes, shorts or ints (component type " +
                         std::to_string(type) + ")");
    if (a.type != TINYGLTF_TYPE_SCALAR) ctx.fail(at, "indices must be SCALAR elements");
    if (a.sparse.isSparse) ctx.fail(at, "sparse indices are not supported");
    if (a.bufferView < 0) {
        if (a.count > kMaxZeroElements)
            ctx.fail(at, std::to_string(a.count) + " elements without a buffer view");
        return std::vector<std::uint32_t>(a.count, 0);
    }
    const auto size = static_cast<std::uint64_t>(componentSize(type));
    const Window w = window(ctx, a.bufferView, a.byteOffset, a.count, size, true, at);
    std::vector<std::uint32_t> out(a.count);
    for (std::size_t i = 0; i < a.count; ++i)
        out[i] = unsignedComponent(w.first + i * w.stride, type);
    return out;
}

}  // namespace host::gltf::detail
