// StateStack: the save/restore stacks of the scene file writer (block depth
// outside captured shaders, capture flags, parameter styles, shader texts).
//
// Callers keep begins and ends balanced. An unbalanced pop (from an empty
// stack) answers the bottom entry, i.e. the value last stored at the bottom
// (T{} if nothing ever was), and the stack stays empty: the writer then
// restores its outermost saved state instead of failing. The room grows to
// twice the room plus 32 entries, so pushes rarely allocate.
#pragma once

#include <cstddef>
#include <vector>

namespace tal {

template <class T>
class StateStack {
public:
    explicit StateStack(std::size_t room = 32) { slots_.reserve(room); }

    void push(T value) {
        if (top_ < slots_.size()) {
            slots_[top_] = value;
        } else {
            if (slots_.size() == slots_.capacity()) slots_.reserve(2 * slots_.capacity() + 32);
            slots_.push_back(value);
        }
        ++top_;
    }

    T pop() {
        if (top_ > 0) --top_;
        return slots_.empty() ? T{} : slots_[top_];
    }

    bool empty() const { return top_ == 0; }
    std::size_t size() const { return top_; }

private:
    std::vector<T> slots_;
    std::size_t top_ = 0;
};

}  // namespace tal
