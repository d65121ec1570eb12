// ArrayParameters: the one way a producer hands numeric arrays to a scene
// API, whichever back end it is. A writer that takes arrays in pieces
// (ArrayPieceWriter) pulls them from the producer's ArraySource as it writes;
// for any other back end, or when the writer refuses, the source is drained
// into the caller's gather buffer and the whole array goes through
// setParameter. The bytes the back end receives are the same either way.
//
// Contract. `Gather` is a vector of 32-bit words that the caller keeps, so
// that its storage is reused from array to array; after put() it holds the
// last array that had to be gathered. Elements a source does not give are
// zeros, as in pieces. Counts are those of setParameter: at most 2^31 - 1.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "sceneapi/array_pieces.h"
#include "sceneapi/scene_api.h"

namespace tal {

template <class Gather>
class ArrayParameters {
public:
    ArrayParameters(talScene_api& api, Gather& gather)
        : api_(api), pieces_(dynamic_cast<ArrayPieceWriter*>(&api)), gather_(gather) {}

    // Parameter `name`: `count` elements of `type` (kFloat3, kFloat or kInt)
    // from `source`.
    void put(const char* name, int type, std::size_t count, ArraySource& source) {
        if (pieces_ && pieces_->setArrayParameter(name, type, count, source)) return;
        const std::size_t perElement = type == kFloat3 ? 3 : 1;
        gather_.resize(count * perElement);
        std::size_t done = 0;
        while (done < count) {
            const std::size_t n = source.next(
                ArrayRoom(gather_.data() + done * perElement, count - done, perElement));
            if (n == 0) break;
            done += n;
        }
        std::fill(gather_.begin() + static_cast<std::ptrdiff_t>(done * perElement), gather_.end(),
                  0u);
        putWhole(name, type, gather_.data(), count);
    }

    // Parameter `name`: `count` elements of `type` that already lie in
    // memory, starting at `first`.
    void putWhole(const char* name, int type, const void* first, std::size_t count) {
        const ArrayValue value{first, static_cast<std::int32_t>(count)};
        api_.setParameter(name, kArrayBit | type, &value);
    }

private:
    talScene_api& api_;
    ArrayPieceWriter* pieces_;
    Gather& gather_;
};

}  // namespace tal
