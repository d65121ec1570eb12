#include "sceneapi/array_statement.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "sceneapi/output_paths.h"
#include "sceneapi/scene_api.h"
#include "sceneapi/value_format.h"

namespace tal {

namespace {
constexpr std::size_t kPendingGrowth = 65536;  // values added to twice the room
}

void ArrayStatement::begin(OutputPaths& out, const char* name) {
    elementCount_ = 0;
    out.quoted(name);
    out.plain(" [\n");
    ++out.depth;
    out.indentOnly();
    pending_.clear();
}

void ArrayStatement::collect(char kind, const void* values, std::size_t count) {
    if (pending_.size() + count > pending_.capacity()) {
        pending_.reserve(
            std::max(2 * pending_.capacity() + kPendingGrowth, pending_.size() + count));
    }
    const auto* bytes = static_cast<const unsigned char*>(values);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, bytes + i * sizeof bits, sizeof bits);
        pending_.push_back(bits);
    }
    pendingKind_ = kind;
}

void ArrayStatement::add(OutputPaths& out, int code, const void* value, bool binaryArrays) {
    if (binaryArrays && (code == kFloat3 || code == kFloat || code == kInt)) {
        if (value == nullptr) return;
        if (code == kFloat3) collect('c', value, 3);
        if (code == kFloat) collect('f', value, 1);
        if (code == kInt) collect('i', value, 1);
        return;
    }
    if (elementCount_ > 0) {
        const bool lineBreak = code == kFloat3 ? elementCount_ % 2 == 0 : elementCount_ % 6 == 0;
        if (lineBreak) {
            out.plain(",\n");
            out.indentOnly();
        } else {
            out.plain(", ");
        }
    }
    writeValue(out, code, value, binaryArrays);
    if (elementCount_ < std::numeric_limits<std::int32_t>::max()) ++elementCount_;
}

void ArrayStatement::end(OutputPaths& out, bool binaryArrays) {
    if (binaryArrays) {
        const bool known = pendingKind_ == 'c' || pendingKind_ == 'f' || pendingKind_ == 'i';
        if (!pending_.empty() && known) {
            const std::size_t count =
                std::min<std::size_t>(pending_.size(), std::numeric_limits<std::uint32_t>::max());
            writeBinaryArray(out, pendingKind_, pending_.data(), static_cast<std::uint32_t>(count),
                             sizeof(std::uint32_t));
        }
        pending_.clear();
    }
    out.plain(" ],\n");
    --out.depth;
}

}  // namespace tal
