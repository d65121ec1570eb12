// ArrayStatement: the state of one open array statement of the scene file
// (beginArray, addArrayElement..., endArray).
//
// Text form: elements are written as they come, six values per line (two
// float triples per line). Binary form (the writer's binaryArrays on): float
// triples, floats and integers are collected and written at end() as one
// binary array block; other codes are still written as text at once. The
// collected values live in one list reused by every statement, so a
// statement allocates only while that list grows past its largest size yet.
#pragma once

#include <cstdint>
#include <vector>

namespace tal {

class OutputPaths;

class ArrayStatement {
public:
    // q(name), " [\n", depth + 1 and an indentation-only write.
    void begin(OutputPaths& out, const char* name);
    void add(OutputPaths& out, int code, const void* value, bool binaryArrays);
    // The collected block, if any; then " ],\n" and depth - 1.
    void end(OutputPaths& out, bool binaryArrays);

private:
    void collect(char kind, const void* values, std::size_t count);

    std::int32_t elementCount_ = 0;  // elements written as text so far
    char pendingKind_ = '-';         // 'c', 'f' or 'i' once values are collected
    std::vector<std::uint32_t> pending_;
};

}  // namespace tal
