// ParseError: bad scene file input, located.
//
// what() reads "line L, byte B: <problem>", where B counts from 0 from the
// start of the input (of the whole stream when it arrives in chunks) and L
// from 1. The problem says what was expected and what was found, e.g.
// "expected '{' after the group name, found end of line".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "scenefile/tree.h"

namespace scenefile {

class ParseError : public std::runtime_error {
public:
    ParseError(SourcePos at, const std::string& problem)
        : std::runtime_error("line " + std::to_string(at.line) + ", byte " +
                             std::to_string(at.offset) + ": " + problem),
          pos_(at),
          problem_(problem) {}

    SourcePos pos() const { return pos_; }
    const std::string& problem() const { return problem_; }

private:
    SourcePos pos_;
    std::string problem_;
};

}  // namespace scenefile
