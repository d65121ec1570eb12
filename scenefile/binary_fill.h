// BinaryFill: one binary array's values, decoded as its bytes arrive.
//
// Contract. Made from an array's header (its kind and count of scalar
// values), it takes the value bytes in pieces of any size; a value may be
// split between pieces. Each byte is decoded (little endian) straight into
// the array's final vector, once; no piece is kept. append() takes at most
// the bytes still missing and answers how many it took; take() hands over
// the array once none is missing. Room for up to 1 GiB of values is taken at
// once, so a large array is not moved as it grows; a larger announced count
// grows the vector as the bytes really arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scenefile/tree.h"

namespace scenefile::detail {

class BinaryFill {
public:
    // Without `keepValues` the bytes are taken and counted but not decoded:
    // the array handed over holds no values, only their count (`dropped`).
    BinaryFill(char kind, std::uint32_t count, bool keepValues = true);

    std::size_t append(std::string_view bytes);
    std::uint64_t missing() const { return missing_; }
    std::uint64_t received() const { return total_ - missing_; }
    std::uint64_t bytes() const { return total_; }
    std::uint32_t count() const { return count_; }
    BinaryArray take() { return std::move(array_); }

private:
    BinaryArray array_;
    std::uint32_t count_;
    std::size_t valueSize_;
    std::uint64_t total_;            // bytes of all values
    std::uint64_t missing_;          // bytes not yet received
    unsigned char partial_[8] = {};  // the first bytes of a value split between pieces
    std::size_t partialSize_ = 0;
    bool keepValues_;
};

}  // namespace scenefile::detail
