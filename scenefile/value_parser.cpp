// Values, arrays and inline shaders of the statement parser.
#include <algorithm>
#include <cstddef>
#include <string>

#include "scenefile/binary_fill.h"
#include "scenefile/limits.h"
#include "scenefile/statement_parser.h"

namespace scenefile::detail {

namespace {

bool isName(const Token& t) { return t.kind == TokenKind::Text || t.kind == TokenKind::HexText; }

}  // namespace

Value StatementParser::parseValue(std::size_t depth) {
    Token t = lex_.next();
    switch (t.kind) {
        case TokenKind::Number: {
            Token after;
            return parseTuple(t, false, after);
        }
        case TokenKind::Word:
            if (t.text == "on" || t.text == "off") return Value{t.text == "on"};
            break;
        case TokenKind::Text:
        case TokenKind::HexText:
            return parseTextOrShader(t, depth);
        case TokenKind::Blob:
            return Value{Blob{decodeHex(t.text)}};
        case TokenKind::LBracket:
            return parseArray(depth);
        case TokenKind::Bang: {
            Token target = lex_.next();
            Value v;
            if (target.kind == TokenKind::Number && target.integral)
                v = Value{ShaderRef{static_cast<std::int64_t>(target.number)}};
            else if (isName(target) && lex_.peek().kind == TokenKind::LBrace)
                v = parseInlineShader(target, depth + 1);
            else
                lex_.expected("a shader id or an inline shader after '!'", target);
            v.linked = true;
            return v;
        }
        default:
            break;
    }
    lex_.expected("a value", t);
}

Value StatementParser::parseTextOrShader(const Token& text, std::size_t depth) {
    if (lex_.peek().kind == TokenKind::LBrace) return parseInlineShader(text, depth + 1);
    return textValue(text);
}

// `"type" { ... }`: an anonymous shader captured by the writer and written
// where it is used. Its closing brace has no line feed of its own.
Value StatementParser::parseInlineShader(const Token& type, std::size_t depth) {
    if (depth > maxDepth_)
        lex_.fail(type.begin, "blocks nested deeper than " + std::to_string(maxDepth_));
    if (inlineDepth_ >= kMaxInlineShaderDepth)
        lex_.fail(type.begin,
                  "inline shaders nested deeper than " + std::to_string(kMaxInlineShaderDepth));
    struct Nested {
        std::size_t& depth;
        explicit Nested(std::size_t& d) : depth(++d) {}
        ~Nested() { --depth; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;
    } nested(inlineDepth_);
    lex_.next();  // '{'
    auto block = std::make_shared<Node>();
    block->kind = NodeKind::Block;
    block->word = "shader";
    block->pos = lex_.position(type.begin);
    block->args.push_back(textValue(type));
    parseBody(*block, depth);
    return Value{InlineShader{std::move(block)}};
}

// The statements of `block` up to its closing brace, nested blocks included.
void StatementParser::parseBody(Node& block, std::size_t depth) {
    for (;;) {
        Head h = parseHead(depth, false);
        switch (h.kind) {
            case HeadKind::Close:
                return;
            case HeadKind::End:
                lex_.fail(lex_.pos(), "end of input inside the " + block.word +
                                          " block that began on line " +
                                          std::to_string(block.pos.line));
            case HeadKind::Open:
                if (depth + 1 > maxDepth_)
                    lex_.fail(lex_.pos(), "blocks nested deeper than " + std::to_string(maxDepth_));
                parseBody(h.node, depth + 1);
                block.children.push_back(std::move(h.node));
                break;
            case HeadKind::Leaf:
            case HeadKind::OpenArray:
                block.children.push_back(std::move(h.node));
                break;
        }
    }
}

// The numbers from `first` up to the first token that is none (`after`, left
// unread), each read once, into tuple_.
void StatementParser::readTuple(const Token& first, bool acrossLines, Token& after) {
    tuple_.clear();
    tuple_.push_back({first.number, first.integral});
    for (;;) {
        Number n;
        if (lex_.nextPlainNumber(acrossLines, n.value, n.integral)) {
            tuple_.push_back(n);
            continue;
        }
        const std::size_t before = lex_.pos();
        after = acrossLines ? lex_.nextSkippingNewlines() : lex_.next();
        if (after.kind != TokenKind::Number) {
            lex_.seek(before);
            break;
        }
        tuple_.push_back({after.number, after.integral});
    }
}

Value StatementParser::parseTuple(const Token& first, bool acrossLines, Token& after) {
    readTuple(first, acrossLines, after);
    return Value{std::vector<Number>(tuple_.begin(), tuple_.end())};
}

void StatementParser::reserveItems(Value& array) const {
    // An estimate from the bytes ahead; room never touched costs no memory,
    // and the bound keeps a run of commas from asking for much more.
    if (auto* flat = std::get_if<NumberArray>(&array.v)) {
        constexpr std::size_t kMaxNumbers = (std::size_t{1} << 30) / sizeof(double);
        const std::size_t wanted =
            std::min(flat->values.size() + lex_.numbersAheadEstimate(), kMaxNumbers);
        if (wanted > flat->values.capacity())
            flat->reserve(std::max(wanted, 2 * flat->values.capacity()));
        return;
    }
    auto* items = &std::get<Array>(array.v).items;
    constexpr std::size_t kMaxItems = (std::size_t{1} << 30) / sizeof(Value);
    const std::size_t wanted = std::min(items->size() + lex_.numberItemsAhead(), kMaxItems);
    if (wanted > items->capacity()) items->reserve(std::max(wanted, 2 * items->capacity()));
}

void StatementParser::reserveArrayItems(Node& parameter) const {
    reserveItems(parameter.args.front());
}

Value StatementParser::parseArray(std::size_t depth) {
    Value array{NumberArray{}};
    reserveItems(array);
    while (parseArrayItem(array, depth)) {
    }
    endArray(array);
    return array;
}

void endArray(Value& array) {
    auto* flat = std::get_if<NumberArray>(&array.v);
    if (!flat) return;
    if (flat->values.empty()) {
        array.v = Array{};
        return;
    }
    // Room left by the doubling is given back when it is a sizeable part. A
    // block mapped on its own keeps it: its untouched pages were never
    // backed, and giving them back would copy every number once more.
    const std::size_t capacity = flat->values.capacity();
    if (capacity * sizeof(double) < kLargePageThreshold &&
        capacity - flat->values.size() > flat->values.size() / 8)
        flat->values.shrink_to_fit();
    flat->integralBits.shrink_to_fit();
    flat->ends.shrink_to_fit();
}

Array& generalArray(Value& array) {
    if (const auto* flat = std::get_if<NumberArray>(&array.v)) array.v = toArray(*flat);
    return std::get<Array>(array.v);
}

bool StatementParser::parseArrayItem(Value& array, std::size_t depth) {
    tuple_.clear();
    bool comma = lex_.plainNumbersAndComma(tuple_);
    Token t;
    if (tuple_.empty()) {
        t = lex_.nextSkippingNewlines();
        if (t.kind == TokenKind::RBracket) return false;
        if (t.kind == TokenKind::End) lex_.expected("']' to close the array", t);
        if (t.kind == TokenKind::Number) {
            tuple_.push_back({t.number, t.integral});
            comma = lex_.plainNumbersAndComma(tuple_);
        }
    }
    if (!tuple_.empty()) {
        // A tuple: the numbers up to the next comma ("%g %g %g", 16 for a
        // matrix), those in other forms than the plain one included.
        while (!comma) {
            const std::size_t before = lex_.pos();
            Token after = lex_.nextSkippingNewlines();
            if (after.kind != TokenKind::Number) {
                lex_.seek(before);
                parseArraySeparator();
                break;
            }
            tuple_.push_back({after.number, after.integral});
            comma = lex_.plainNumbersAndComma(tuple_);
        }
        if (auto* flat = std::get_if<NumberArray>(&array.v))
            flat->append(tuple_.data(), tuple_.size());
        else
            std::get<Array>(array.v).items.emplace_back().v.emplace<std::vector<Number>>(
                tuple_.begin(), tuple_.end());
        return true;
    }
    bool binary = t.kind == TokenKind::Binary;
    Value item = binary ? Value{} : parseElement(t, depth);
    parseArraySeparator();
    if (binary) item = decodeBinary(t);
    const bool general = array.kind() == ValueKind::Array;
    generalArray(array).items.push_back(std::move(item));
    if (!general) reserveItems(array);
    return true;
}

void StatementParser::parseArraySeparator() {
    // Elements are separated by commas; a binary array may also follow a text
    // element directly, and nothing separates it from the closing bracket.
    if (lex_.binaryAhead()) return;
    const std::size_t before = lex_.pos();
    Token sep = lex_.nextSkippingNewlines();
    if (sep.kind == TokenKind::Comma) return;
    if (sep.kind != TokenKind::RBracket) lex_.expected("',' or ']' in the array", sep);
    lex_.seek(before);
}

Value StatementParser::parseElement(const Token& first, std::size_t depth) {
    switch (first.kind) {
        case TokenKind::Word:
            if (first.text == "on" || first.text == "off") return Value{first.text == "on"};
            break;
        case TokenKind::Text:
        case TokenKind::HexText:
            return parseTextOrShader(first, depth);
        default:
            break;
    }
    lex_.expected("an array element", first);
}

Value StatementParser::decodeBinary(const Token& t) const {
    BinaryFill fill(t.binaryKind, t.binaryCount, keepBinaryValues_);
    const std::size_t bytes =
        static_cast<std::size_t>(t.binaryCount) * binaryValueSize(t.binaryKind);
    fill.append(lex_.data().substr(t.end - bytes, bytes));
    return Value{fill.take()};
}

}  // namespace scenefile::detail
