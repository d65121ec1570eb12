// ShaderText: the captured scene text of one anonymous shader.
//
// The file back end fills it while it captures (beginShader with no name up
// to the matching endShader) and owns it until the back end is destroyed;
// callers only hand the pointer on (currentShaderText -> linkShaderText /
// useShaderText). `rawBytes` is set as soon as bytes were appended by length
// (hex forms, binary arrays): such a text is copied out by its length,
// otherwise as a zero-terminated string, i.e. up to its first NUL.
#pragma once

#include <string>

namespace tal {

struct ShaderText {
    std::string bytes;
    bool rawBytes = false;
};

}  // namespace tal
