// Values, arrays and inline shaders of the statement parser.
#include <bit>
#include <compare>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string>

#include "scenefile/statement_parser.h"

namespace scenefile::detail {

namespace {

bool isName(const Token& t) { return t.kind == TokenKind::Text || t.kind == TokenKind::HexText; }

// Values read from unaligned bytes, for filling a vector in one pass (a
// vector of the size first would write every value twice).
template <typename T>
class UnalignedValues {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = T;

    explicit UnalignedValues(const char* p) : p_(p) {}
    T operator*() const {
        T value;
        std::memcpy(&value, p_, sizeof value);
        return value;
    }
    T operator[](difference_type i) const { return *(*this + i); }
    UnalignedValues& operator++() { p_ += sizeof(T); return *this; }
    UnalignedValues operator++(int) { UnalignedValues old = *this; ++*this; return old; }
    UnalignedValues& operator--() { p_ -= sizeof(T); return *this; }
    UnalignedValues operator--(int) { UnalignedValues old = *this; --*this; return old; }
    UnalignedValues& operator+=(difference_type n) { p_ += n * static_cast<difference_type>(sizeof(T)); return *this; }
    UnalignedValues& operator-=(difference_type n) { return *this += -n; }
    friend UnalignedValues operator+(UnalignedValues a, difference_type n) { return a += n; }
    friend UnalignedValues operator+(difference_type n, UnalignedValues a) { return a += n; }
    friend UnalignedValues operator-(UnalignedValues a, difference_type n) { return a -= n; }
    friend difference_type operator-(const UnalignedValues& a, const UnalignedValues& b) {
        return (a.p_ - b.p_) / static_cast<difference_type>(sizeof(T));
    }
    friend bool operator==(const UnalignedValues& a, const UnalignedValues& b) { return a.p_ == b.p_; }
    friend auto operator<=>(const UnalignedValues& a, const UnalignedValues& b) { return a.p_ <=> b.p_; }

private:
    const char* p_;
};

template <typename T>
std::vector<T> decodeLittleEndian(const char* bytes, std::size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        UnalignedValues<T> first(bytes);
        return std::vector<T>(first, first + static_cast<std::ptrdiff_t>(count));
    } else {
        std::vector<T> out(count);
        for (std::size_t i = 0; i < count; ++i) {
            unsigned char b[sizeof(T)];
            for (std::size_t k = 0; k < sizeof(T); ++k) b[k] = static_cast<unsigned char>(bytes[i * sizeof(T) + sizeof(T) - 1 - k]);
            std::memcpy(&out[i], b, sizeof(T));
        }
        return out;
    }
}

}  // namespace

Value StatementParser::parseValue(std::size_t depth) {
    Token t = lex_.next();
    switch (t.kind) {
    case TokenKind::Number: {
        std::vector<Number> nums{{t.number, t.integral}};
        while (lex_.peek().kind == TokenKind::Number) {
            Token n = lex_.next();
            nums.push_back({n.number, n.integral});
        }
        return Value{std::move(nums)};
    }
    case TokenKind::Word:
        if (t.text == "on" || t.text == "off") return Value{t.text == "on"};
        break;
    case TokenKind::Text:
    case TokenKind::HexText: return parseTextOrShader(t, depth);
    case TokenKind::Blob: return Value{Blob{decodeHex(t.text)}};
    case TokenKind::LBracket: return Value{parseArray(depth)};
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
    default: break;
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
    if (depth > maxDepth_) lex_.fail(type.begin, "blocks nested deeper than " + std::to_string(maxDepth_));
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
        case HeadKind::Close: return;
        case HeadKind::End:
            lex_.fail(lex_.pos(), "end of input inside the " + block.word + " block that began on line " +
                                      std::to_string(block.pos.line));
        case HeadKind::Open:
            if (depth + 1 > maxDepth_)
                lex_.fail(lex_.pos(), "blocks nested deeper than " + std::to_string(maxDepth_));
            parseBody(h.node, depth + 1);
            block.children.push_back(std::move(h.node));
            break;
        case HeadKind::Leaf:
        case HeadKind::OpenArray: block.children.push_back(std::move(h.node)); break;
        }
    }
}

Array StatementParser::parseArray(std::size_t depth) {
    Array arr;
    while (auto item = parseArrayItem(depth)) arr.items.push_back(std::move(*item));
    return arr;
}

std::optional<Value> StatementParser::parseArrayItem(std::size_t depth) {
    Token t = lex_.nextSkippingNewlines();
    if (t.kind == TokenKind::RBracket) return std::nullopt;
    if (t.kind == TokenKind::End) lex_.expected("']' to close the array", t);
    bool binary = t.kind == TokenKind::Binary;
    Value item = binary ? Value{} : parseElement(t, depth);
    // Elements are separated by commas; a binary array may also follow a text
    // element directly, and nothing separates it from the closing bracket.
    Token sep = lex_.peekSkippingNewlines();
    if (sep.kind == TokenKind::Comma)
        lex_.nextSkippingNewlines();
    else if (sep.kind != TokenKind::RBracket && sep.kind != TokenKind::Binary)
        lex_.expected("',' or ']' in the array", sep);
    if (binary) item = decodeBinary(t);
    return item;
}

Value StatementParser::parseElement(const Token& first, std::size_t depth) {
    switch (first.kind) {
    case TokenKind::Number: {
        // A tuple: the numbers up to the next comma ("%g %g %g", 16 for a matrix).
        std::vector<Number> nums{{first.number, first.integral}};
        while (lex_.peekSkippingNewlines().kind == TokenKind::Number) {
            Token n = lex_.nextSkippingNewlines();
            nums.push_back({n.number, n.integral});
        }
        return Value{std::move(nums)};
    }
    case TokenKind::Word:
        if (first.text == "on" || first.text == "off") return Value{first.text == "on"};
        break;
    case TokenKind::Text:
    case TokenKind::HexText: return parseTextOrShader(first, depth);
    default: break;
    }
    lex_.expected("an array element", first);
}

Value StatementParser::decodeBinary(const Token& t) const {
    BinaryArray b;
    b.kind = t.binaryKind;
    std::size_t size = binaryValueSize(t.binaryKind);
    const char* values = lex_.data().data() + t.end - static_cast<std::size_t>(t.binaryCount) * size;
    switch (t.binaryKind) {
    case 'i': b.values = decodeLittleEndian<std::int32_t>(values, t.binaryCount); break;
    case 'r': b.values = decodeLittleEndian<double>(values, t.binaryCount); break;
    default: b.values = decodeLittleEndian<float>(values, t.binaryCount); break;
    }
    return Value{std::move(b)};
}

}  // namespace scenefile::detail
