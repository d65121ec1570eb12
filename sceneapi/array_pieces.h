// Numeric array parameters written a piece at a time.
//
// A producer that computes an array's values (a mesh's triangle indices, its
// texture coordinates) need not hold the whole array: a scene writer that
// offers ArrayPieceWriter asks an ArraySource for the values in pieces and
// writes exactly the bytes that setParameter would write for the whole array
// of the same type and count, so a piece can go out while it is still in the
// processor's cache. The capability is optional: callers find it with
// dynamic_cast on the scene API and pass whole arrays through setParameter
// where it is absent or refused.
#pragma once

#include <cstddef>

namespace tal {

class ArraySource {
public:
    virtual ~ArraySource() = default;
    // Writes the next elements (12 bytes each for kFloat3, 4 for kFloat and
    // kInt), at most `room` of them, at `out`, and answers how many. A source
    // answers 0 only when it has nothing more to give; it may give fewer than
    // `room` (whole polygons, say) as long as `room` is at least its largest
    // indivisible group of elements (six).
    // `out` may lie at any byte offset (inside a writer's output block):
    // store values by copy or through types aligned to one byte.
    virtual std::size_t next(void* out, std::size_t room) = 0;
};

class ArrayPieceWriter {
public:
    // The parameter `name` whose value is an array of `count` elements of
    // `type` (kFloat3, kFloat or kInt, without kArrayBit), taken from
    // `source`. Answers false, having written nothing, when this writer
    // cannot take the array in pieces (numeric arrays in text form, an
    // unknown type, a count beyond 32 bits); the caller then uses
    // setParameter. A source that runs dry early has its missing elements
    // written as zeros, so the statement always holds the announced count.
    virtual bool setArrayParameter(const char* name, int type, std::size_t count,
                                   ArraySource& source) = 0;

protected:
    ~ArrayPieceWriter() = default;
};

}  // namespace tal
