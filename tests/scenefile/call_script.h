// CallScript: random, well-formed call sequences on the scene interface, and
// the canonical lines (canonical.h) a reader must give back for them.
//
// The script makes every kind of call the file writer turns into a
// statement: all blocks (top-level ones only where the writer admits them),
// named, numbered and captured shaders (used through role words, links and
// shader-text values), parameters of every value type code including arrays
// and array statements, transforms, attributes, ids, messages and header
// lines; texts include the ones the writer must put in hex form. Parameter
// names come from a pool of bare-safe names (no keyword, no "on"/"off"), as
// names in statement style are written bare. Deterministic for a seed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sceneapi/scene_api.h"

namespace vxtest {

class CallScript {
public:
    explicit CallScript(std::uint32_t seed) : rng_(seed) {}

    // Makes about `statements` calls on `api`; answers the expected lines.
    std::vector<std::string> run(tal::talScene_api& api, int statements);

private:
    struct Shader {
        const tal::ShaderText* text;
        std::string canonical;
    };

    void body(int depth, int& budget);
    void block(int depth, int& budget);
    void leaf();
    void parameter(const std::string& name);
    void arrayParameter(const std::string& name, int code);
    void arrayStatement(const std::string& name);
    void anonymousShader(int depth, int& budget);
    void useShaderText();
    void emit(std::string line) { targets_.back().lines->push_back(std::move(line)); }
    bool capturing() const;

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool chance(int percent) { return pick(100) < percent; }
    std::string text();
    std::string word();
    std::string paramName();
    float floatValue();
    double doubleValue();
    std::int32_t intValue();

    std::mt19937 rng_;
    tal::talScene_api* api_ = nullptr;
    // Where statements go: the file (at some block) or an open capture. Named
    // and numbered shaders always go to the file, even inside a capture.
    struct Target {
        std::vector<std::string>* lines;
        bool capture;
    };
    std::vector<Target> targets_;
    std::vector<Shader> shaders_;  // closed captured shaders
};

}  // namespace vxtest
