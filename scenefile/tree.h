// The tree a scene file reads into: statements (nodes) in file order, blocks
// holding their content, and the typed values the statements carry.
//
// Contract. A value is what the text says, not what the writer was asked:
// "%g" floats, "%d" integers and "%16.16f" doubles all read as numbers (a
// number records whether it was written as an integer, so ids and counts stay
// exact); "on"/"off" read as bools; quoted and hex texts read as texts (bytes,
// UTF-8 as written); binary arrays read as typed vectors decoded from little
// endian; a text array whose elements are all numbers reads as one flat
// NumberArray. A node owns everything below it; values are copyable (an inline
// shader block is shared, immutable once read). Positions are the byte offset
// (from 0) and line (from 1, counting every line feed byte, also those inside
// binary data) of the first byte of a statement.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "scenefile/large_pages.h"

namespace scenefile {

struct Node;

struct SourcePos {
    std::uint64_t offset = 0;
    std::uint64_t line = 1;
};

struct Number {
    double value = 0;
    bool integral = false;  // written with digits and a sign only
};

struct Text {
    std::string bytes;
    bool hexForm = false;  // written as xX and hex digits
};

struct Blob {
    std::string bytes;  // written as bX and hex digits
};

// A binary array: marker 01 02 03 and the kind letter, a 32-bit little-endian
// count of scalar values, the values. 'c' (float triples) and 'f' hold floats,
// 'i' 32-bit integers, 'r' doubles.
struct BinaryArray {
    char kind = 'f';
    std::variant<std::vector<float>, std::vector<std::int32_t>, std::vector<double>> values;
    std::size_t dropped = 0;    // values a reader told to count only did not keep
    std::size_t count() const;  // scalar values, as the file's count
};

// "! 5": a link to the numbered shader 5.
struct ShaderRef {
    std::int64_t id = 0;
};

// An anonymous shader standing inline: a Block node whose word is "shader"
// and whose one argument is the shader type.
struct InlineShader {
    std::shared_ptr<const Node> block;
};

struct Value;

// "[ ... ]": text elements (each a Value: numbers, text, bool, inline shader)
// and binary arrays (each one item), in file order. An array whose elements
// are all numbers is a NumberArray instead; an empty one is an Array.
struct Array {
    std::vector<Value> items;
};

// "[ 1 2 3, 4 5 6 ]": an array whose elements are all tuples of numbers (the
// numbers up to each comma), kept flat. Tuple i holds values[begin(i)] up to
// values[end(i)]; all tuples have `arity` numbers, or, when they differ
// (arity 0), tuple i ends at ends[i]. Holds at least one tuple once read.
struct NumberArray {
    std::vector<double, LargePageAllocator<double>> values;
    std::vector<std::uint64_t> integralBits;  // bit i % 64 of word i / 64: values[i] is integral
    std::size_t arity = 0;
    std::vector<std::size_t> ends;

    std::size_t tuples() const { return arity ? values.size() / arity : ends.size(); }
    std::size_t begin(std::size_t tuple) const;
    std::size_t end(std::size_t tuple) const;
    bool integral(std::size_t i) const { return integralBits[i / 64] >> (i % 64) & 1; }
    Number number(std::size_t i) const { return {values[i], integral(i)}; }
    std::vector<Number> tuple(std::size_t tuple) const;

    void append(const Number* numbers, std::size_t count);  // one tuple, count >= 1
    void reserve(std::size_t numbers);
};

// The same elements as an Array of number tuples.
Array toArray(const NumberArray& numbers);

enum class ValueKind {
    None,
    Numbers,
    Bool,
    Text,
    Blob,
    Array,
    Binary,
    ShaderRef,
    Shader,
    NumberArray
};

struct Value {
    using Variant = std::variant<std::monostate, std::vector<Number>, bool, Text, Blob, Array,
                                 BinaryArray, ShaderRef, InlineShader, NumberArray>;
    Variant v;
    bool linked = false;  // written after "!" (a shader link)

    ValueKind kind() const { return static_cast<ValueKind>(v.index()); }
    const std::vector<Number>* numbers() const { return std::get_if<std::vector<Number>>(&v); }
    const Text* text() const { return std::get_if<Text>(&v); }
    const Array* array() const { return std::get_if<Array>(&v); }
    const NumberArray* numberArray() const { return std::get_if<NumberArray>(&v); }
    const BinaryArray* binary() const { return std::get_if<BinaryArray>(&v); }
    const Node* shader() const;  // the inline shader block, or null
};

enum class NodeKind : std::uint8_t {
    Header,        // "//---talvik:dal:7---": word = the text between the dashes
    Comment,       // "// ...": word = the text after "//"
    Print,         // #print "...": word = the text as written (not unquoted)
    Error,         // #error "..."
    Version,       // version N
    Block,         // keyword [names] { ... }
    Parameter,     // name value, or "name" value,
    Transform,     // transform and 16 numbers
    SetTransform,  // set transform and 16 numbers
    Scale,         // scale x y z
    Rotate,
    Translate,
    Attribute,    // attribute "name" "value"
    Progress,     // progress "text" fraction
    Icon,         // icon bX...
    Id,           // id N
    Flags,        // flags N
    Render,       // render
    UseMaterial,  // material "name" (no block)
    UseShader,    // surface|shadow|volume|reflection map, then an id or an inline shader
};

enum class ParamStyle : std::uint8_t {
    Statement,  // name value, ending at the line feed
    Comma,      // "name" value, ending at the comma
};

struct Node {
    NodeKind kind = NodeKind::Block;
    // Block: its keyword ("group", "object", "geometry", "animation", "load",
    // "options", "camera", "image", "output", "light", "accel", "matrix",
    // "material", "shader"). Parameter: its name. UseShader: the role word.
    // Header, Comment, Print, Error: the text.
    std::string word;
    // Block: the operands of its header (names as texts; a numbered shader:
    // its id as numbers, then its type as text). Parameter: exactly one value.
    // Other statements: their operands (a Transform: one value of 16 numbers).
    std::vector<Value> args;
    std::vector<Node> children;  // Block content, in file order
    bool define = false;         // "#define" block (not placed)
    bool modify = false;         // "#modify camera"
    ParamStyle style = ParamStyle::Statement;
    SourcePos pos;

    // The first Parameter child named `name`, or null.
    const Node* parameter(std::string_view name) const;
    // The block's first operand as text ("" when it has none or it is not a text).
    std::string_view name() const;
    const Value* value() const { return args.empty() ? nullptr : &args.front(); }
};

// A whole scene: the statements outside any block, in file order.
struct Document {
    std::vector<Node> statements;
};

const char* nodeKindName(NodeKind kind);

// The scalar numbers of a value, flattened in file order: a binary array's
// values, an array's element numbers (a NumberArray's too), or the numbers
// themselves. Answers false (leaving `out` empty) for texts, bools, shaders
// and mixed content.
bool flattenNumbers(const Value& value, std::vector<double>& out);
bool flattenFloats(const Value& value, std::vector<float>& out);
bool flattenInts(const Value& value, std::vector<std::int64_t>& out);

}  // namespace scenefile
