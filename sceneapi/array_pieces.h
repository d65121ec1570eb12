// Numeric array parameters written a piece at a time.
//
// A producer that computes an array's values (a mesh's triangle indices, its
// texture coordinates) need not hold the whole array: a scene writer that
// offers ArrayPieceWriter asks an ArraySource for the values in pieces and
// writes exactly the bytes that setParameter would write for the whole array
// of the same type and count, so a piece can go out while it is still in the
// processor's cache. The capability is optional; producers do not ask for it
// themselves but hand their sources to ArrayParameters (array_parameters.h),
// which passes whole arrays through setParameter where it is absent or
// refused.
//
// A source deals in values only: the writer lends it an ArrayRoom, and the
// room's cursors store each value by copy wherever the writer placed the room
// (inside its output block, at any byte offset).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tal {

namespace detail {
// Stores through types aligned to one byte compile to unaligned stores,
// vectorised as aligned ones would be, and no misaligned access.
typedef float UnalignedFloat __attribute__((aligned(1)));
typedef std::int32_t UnalignedInt __attribute__((aligned(1)));
template <class T>
struct Unaligned;
template <>
struct Unaligned<float> {
    using type = UnalignedFloat;
};
template <>
struct Unaligned<std::int32_t> {
    using type = UnalignedInt;
};
}  // namespace detail

// The next free values of a room, 32-bit floats or ints, written in order.
// Putting more than room() values is the caller's error.
template <class T>
class ValueCursor {
    using Slot = typename detail::Unaligned<T>::type;
    static_assert(alignof(Slot) == 1);

public:
    ValueCursor(void* at, std::size_t values) : at_(static_cast<Slot*>(at)), end_(at_ + values) {}
    std::size_t room() const { return static_cast<std::size_t>(end_ - at_); }
    void put(T value) { *at_++ = value; }
    void put3(T a, T b, T c) {
        at_[0] = a;
        at_[1] = b;
        at_[2] = c;
        at_ += 3;
    }
    void copy(const T* values, std::size_t count) {
        std::memcpy(static_cast<void*>(at_), values, count * sizeof(T));
        at_ += count;
    }
    void zeros(std::size_t count) {
        std::memset(static_cast<void*>(at_), 0, count * sizeof(T));
        at_ += count;
    }

private:
    Slot* at_;
    Slot* end_;
};

// Room for at most elements() elements of one array (kFloat3: three floats
// each; kFloat: one float; kInt: one int), lent by a writer to a source.
class ArrayRoom {
public:
    ArrayRoom(void* at, std::size_t elements, std::size_t perElement)
        : at_(at), elements_(elements), perElement_(perElement) {}
    std::size_t elements() const { return elements_; }
    ValueCursor<float> floats() const { return {at_, elements_ * perElement_}; }
    ValueCursor<std::int32_t> ints() const { return {at_, elements_ * perElement_}; }

private:
    void* at_;
    std::size_t elements_;
    std::size_t perElement_;
};

class ArraySource {
public:
    virtual ~ArraySource() = default;
    // Puts the next elements into `room`, from its start, and answers how
    // many. A source answers 0 only when it has nothing more to give; it may
    // give fewer than room.elements() (whole polygons, say) as long as the
    // room holds at least its largest indivisible group of elements (six).
    virtual std::size_t next(const ArrayRoom& room) = 0;
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
