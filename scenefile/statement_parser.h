// StatementParser: reads one statement at a time from a Lexer.
//
// Contract. The parser does not know in which block it stands or in which
// parameter style the writer was: a parameter is read as a bare name (words up
// to the value, ending at the line feed) or as a quoted name (ending at the
// comma), whichever the text has, and every statement is accepted in every
// block. Keywords win over bare parameter names ("id 5" is an id statement);
// a keyword whose statement does not fit ("scale 2") is read as a parameter.
// A statement is parsed whole or not at all: NeedMore or ParseError may leave
// the lexer anywhere, and the caller retries from where the statement began.
// Blocks are reported as heads (open / close) so that a stream of any size
// is read with an explicit stack; only inline shaders, which stand inside a
// value, are read recursively, at most `maxDepth` deep in all and at most
// kMaxInlineShaderDepth inside one another.
#pragma once

#include <cstddef>
#include <optional>

#include "scenefile/lexer.h"
#include "scenefile/tree.h"

namespace scenefile::detail {

enum class HeadKind {
    End,        // final end of input
    Leaf,       // a complete statement
    Open,       // a block's header: `node` without children
    Close,      // "}"
    OpenArray,  // a parameter whose value is an array: `node` holds an empty NumberArray
};

struct Head {
    HeadKind kind = HeadKind::End;
    Node node;
};

class StatementParser {
public:
    StatementParser(Lexer& lex, std::size_t maxDepth, bool keepBinaryValues = true)
        : lex_(lex), maxDepth_(maxDepth), keepBinaryValues_(keepBinaryValues) {}

    // The next statement; `depth` is the number of open blocks. With
    // `arraysByItem`, a parameter's array is not read here: the head is
    // OpenArray and the caller reads the items with parseArrayStep.
    Head parseHead(std::size_t depth, bool arraysByItem);

    // Items of the array that OpenArray began, one and more up to the next
    // binary array (left for the caller to decode): answers true with them
    // appended, or false when the closing bracket and the parameter's end
    // were read (the parameter is then complete). `committed` is moved past
    // each item appended, as it is appended.
    bool parseArrayStep(Node& parameter, std::size_t depth, std::size_t& committed);

    // Room in the array that OpenArray began for the number items the
    // window holds from here on (a large text array then grows without
    // moving its items each time it doubles).
    void reserveArrayItems(Node& parameter) const;

    // What follows an array item: a comma (read), or the closing bracket or
    // the next binary array (left for the next step). Nothing separates a
    // binary array from what follows it; only its first byte is looked at,
    // so an item never waits for the whole of the next array.
    void parseArraySeparator();

private:
    // statement_parser.cpp: statements.
    std::optional<Head> parseKeyword(const Token& word, std::size_t start, std::size_t depth);
    Head parseDefineHeader(std::size_t start);
    Head parseModifyHeader(std::size_t start);
    Head parseMaterial(SourcePos pos);
    std::optional<Head> parseSimpleStatement(const std::string& w, SourcePos pos);
    std::optional<Head> parseShaderUse(const std::string& w, SourcePos pos, std::size_t depth);
    Head leafStatement(NodeKind kind, std::vector<Value> args, const char* after, SourcePos pos);
    Head parseBlockHeader(const std::string& keyword, std::size_t start, bool define, bool modify);
    Head parseParameter(const Token& first, std::size_t start, std::size_t depth,
                        bool arraysByItem);
    Value parseNumbers(std::size_t count, const char* after);
    Value parseName(const char* what);
    Value parseInteger(const char* after);
    void expectLineEnd(const char* after);
    void parseTerminator(Node& parameter);

    // value_parser.cpp: values, arrays and inline shaders.
    Value parseValue(std::size_t depth);
    Value parseTextOrShader(const Token& text, std::size_t depth);
    Value parseInlineShader(const Token& type, std::size_t depth);
    Value parseArray(std::size_t depth);
    // One array item appended to `array` (a NumberArray until an item of
    // another kind makes it an Array), or the closing bracket read (false).
    // Nothing is appended until the item's separator was seen.
    bool parseArrayItem(Value& array, std::size_t depth);
    Value parseElement(const Token& first, std::size_t depth);  // other than numbers
    void readTuple(const Token& first, bool acrossLines, Token& after);
    Value parseTuple(const Token& first, bool acrossLines, Token& after);
    void reserveItems(Value& array) const;
    Value decodeBinary(const Token& binary) const;
    void parseBody(Node& block, std::size_t depth);

    Lexer& lex_;
    std::size_t maxDepth_;
    bool keepBinaryValues_;
    std::size_t inlineDepth_ = 0;  // inline shaders being read, one inside another
    std::vector<Number> tuple_;    // the numbers of the tuple being read
};

Value textValue(const Token& token);

// An array value read to its closing bracket: one without elements is an empty Array.
void endArray(Value& array);
// The array value as an Array, a NumberArray converted in place.
Array& generalArray(Value& array);

}  // namespace scenefile::detail
