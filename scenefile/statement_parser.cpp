#include "scenefile/statement_parser.h"

#include <string>

namespace scenefile::detail {

namespace {

bool isName(const Token& t) { return t.kind == TokenKind::Text || t.kind == TokenKind::HexText; }

// Bare names begin with a letter, '_', '#' or a UTF-8 byte.
bool startsName(std::string_view w) {
    auto c = static_cast<unsigned char>(w.front());
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}

bool isBoolWord(const Token& t) {
    return t.kind == TokenKind::Word && (t.text == "on" || t.text == "off");
}

bool endsValue(TokenKind k) {
    return k == TokenKind::Newline || k == TokenKind::Comma || k == TokenKind::End ||
           k == TokenKind::RBrace;
}

Node makeNode(NodeKind kind, std::string word, SourcePos pos) {
    Node n;
    n.kind = kind;
    n.word = std::move(word);
    n.pos = pos;
    return n;
}

Head leaf(Node node) { return Head{HeadKind::Leaf, std::move(node)}; }

// Keywords that begin blocks: their statements are never read as parameters.
bool isBlockKeyword(std::string_view w) {
    return w == "group" || w == "object" || w == "geometry" || w == "animation" || w == "load" ||
           w == "options" || w == "camera" || w == "image" || w == "output" || w == "light" ||
           w == "accel" || w == "#define" || w == "#modify";
}

}  // namespace

Value textValue(const Token& t) {
    Text text;
    text.hexForm = t.kind == TokenKind::HexText;
    text.bytes = text.hexForm ? decodeHex(t.text) : std::string(t.text);
    return Value{std::move(text)};
}

Head StatementParser::parseHead(std::size_t depth, bool arraysByItem) {
    lex_.skipBlankLines();
    std::size_t start = lex_.pos();
    Token t = lex_.next();
    SourcePos pos = lex_.position(start);
    switch (t.kind) {
        case TokenKind::End:
            return Head{HeadKind::End, {}};
        case TokenKind::RBrace:
            return Head{HeadKind::Close, makeNode(NodeKind::Block, "}", pos)};
        case TokenKind::Comment: {
            std::string_view s = t.text;
            bool header =
                s.size() >= 6 && s.substr(0, 3) == "---" && s.substr(s.size() - 3) == "---";
            return leaf(
                header ? makeNode(NodeKind::Header, std::string(s.substr(3, s.size() - 6)), pos)
                       : makeNode(NodeKind::Comment, std::string(s), pos));
        }
        case TokenKind::Print:
        case TokenKind::Error: {
            Node n = makeNode(t.kind == TokenKind::Print ? NodeKind::Print : NodeKind::Error,
                              std::string(t.text), pos);
            expectLineEnd(t.kind == TokenKind::Print ? "the #print text" : "the #error text");
            return leaf(std::move(n));
        }
        case TokenKind::Text:
        case TokenKind::HexText:
            return parseParameter(t, start, depth, arraysByItem);
        case TokenKind::Word: {
            if (!startsName(t.text)) lex_.expected("a statement", t);
            if (isBlockKeyword(t.text)) return *parseKeyword(t, start, depth);
            try {
                if (auto head = parseKeyword(t, start, depth)) return std::move(*head);
            } catch (const ParseError& keywordError) {
                // "scale 2" is a statement-style parameter named scale, not a scale statement.
                lex_.seek(t.end);
                try {
                    return parseParameter(t, start, depth, arraysByItem);
                } catch (const ParseError&) {
                    throw keywordError;
                }
            }
            lex_.seek(t.end);
            return parseParameter(t, start, depth, arraysByItem);
        }
        default:
            lex_.expected("a statement", t);
    }
}

// Answers nullopt when `word` is no keyword.
std::optional<Head> StatementParser::parseKeyword(const Token& word, std::size_t start,
                                                  std::size_t depth) {
    const std::string w(word.text);
    if (w == "group" || w == "object" || w == "geometry" || w == "load" || w == "light" ||
        w == "accel" || w == "options" || w == "image" || w == "animation" || w == "output" ||
        w == "camera")
        return parseBlockHeader(w, start, false, false);
    if (w == "#define") return parseDefineHeader(start);
    if (w == "#modify") return parseModifyHeader(start);
    const SourcePos pos = lex_.position(start);
    if (w == "material") return parseMaterial(pos);
    if (auto head = parseSimpleStatement(w, pos)) return head;
    return parseShaderUse(w, pos, depth);
}

// A statement of one line: its arguments read, then the line's end.
Head StatementParser::leafStatement(NodeKind kind, std::vector<Value> args, const char* after,
                                    SourcePos pos) {
    expectLineEnd(after);
    Node n = makeNode(kind, "", pos);
    n.args = std::move(args);
    return Head{HeadKind::Leaf, std::move(n)};
}

// "#define group|object|matrix|material|shader ... {"
Head StatementParser::parseDefineHeader(std::size_t start) {
    Token what = lex_.next();
    if (what.kind != TokenKind::Word ||
        !(what.text == "group" || what.text == "object" || what.text == "matrix" ||
          what.text == "material" || what.text == "shader"))
        lex_.expected("group, object, matrix, material or shader after #define", what);
    return parseBlockHeader(std::string(what.text), start, true, false);
}

// "#modify camera ... {"
Head StatementParser::parseModifyHeader(std::size_t start) {
    Token what = lex_.nextSkippingNewlines();  // the writer puts a line feed before "camera"
    if (what.kind != TokenKind::Word || what.text != "camera")
        lex_.expected("camera after #modify", what);
    return parseBlockHeader("camera", start, false, true);
}

// "material NAME {" opens a material block; "material NAME" uses one.
Head StatementParser::parseMaterial(SourcePos pos) {
    Value name = parseName("a quoted material name");
    if (lex_.peek().kind == TokenKind::LBrace) {
        lex_.next();
        Node n = makeNode(NodeKind::Block, "material", pos);
        n.args.push_back(std::move(name));
        return Head{HeadKind::Open, std::move(n)};
    }
    return leafStatement(NodeKind::UseMaterial, {std::move(name)}, "the material name", pos);
}

// The one-line statements with fixed arguments; nullopt when `w` is none of
// them ("set" not followed by "transform" included).
std::optional<Head> StatementParser::parseSimpleStatement(const std::string& w, SourcePos pos) {
    if (w == "version")
        return leafStatement(NodeKind::Version, {parseInteger("version")}, "the version", pos);
    if (w == "id") return leafStatement(NodeKind::Id, {parseInteger("id")}, "the id", pos);
    if (w == "flags")
        return leafStatement(NodeKind::Flags, {parseInteger("flags")}, "the flags", pos);
    if (w == "transform")
        return leafStatement(NodeKind::Transform, {parseNumbers(16, "transform")}, "the matrix",
                             pos);
    if (w == "set") {
        Token t = lex_.next();
        if (t.kind != TokenKind::Word || t.text != "transform") return std::nullopt;
        return leafStatement(NodeKind::SetTransform, {parseNumbers(16, "set transform")},
                             "the matrix", pos);
    }
    if (w == "scale")
        return leafStatement(NodeKind::Scale, {parseNumbers(3, "scale")}, "the scale", pos);
    if (w == "rotate")
        return leafStatement(NodeKind::Rotate, {parseNumbers(3, "rotate")}, "the rotation", pos);
    if (w == "translate")
        return leafStatement(NodeKind::Translate, {parseNumbers(3, "translate")}, "the translation",
                             pos);
    if (w == "attribute") {
        Value name = parseName("a quoted attribute name");
        Value value = parseName("a quoted attribute value");
        return leafStatement(NodeKind::Attribute, {std::move(name), std::move(value)},
                             "the attribute", pos);
    }
    if (w == "progress") {
        Value text = parseName("a quoted progress text");
        Value fraction = parseNumbers(1, "the progress text");
        return leafStatement(NodeKind::Progress, {std::move(text), std::move(fraction)},
                             "the progress fraction", pos);
    }
    if (w == "icon") {
        Token t = lex_.next();
        if (t.kind != TokenKind::Blob) lex_.expected("a hex blob (bX...) after icon", t);
        return leafStatement(NodeKind::Icon, {Value{Blob{decodeHex(t.text)}}}, "the icon", pos);
    }
    if (w == "render") return leafStatement(NodeKind::Render, {}, "render", pos);
    return std::nullopt;
}

// "surface|shadow|volume|reflection map" and a shader id or an inline
// shader; nullopt when `w` is none of these roles.
std::optional<Head> StatementParser::parseShaderUse(const std::string& w, SourcePos pos,
                                                    std::size_t depth) {
    std::string role = w;
    if (w == "reflection") {
        Token t = lex_.next();
        if (t.kind != TokenKind::Word || t.text != "map") return std::nullopt;
        role = "reflection map";
    } else if (w != "surface" && w != "shadow" && w != "volume") {
        return std::nullopt;
    }
    Token t = lex_.next();
    Value bound;
    if (t.kind == TokenKind::Number && t.integral) {
        bound = Value{ShaderRef{static_cast<std::int64_t>(t.number)}};
    } else if (isName(t) && lex_.peek().kind == TokenKind::LBrace) {
        bound = parseInlineShader(t, depth + 1);
    } else {
        lex_.expected("a shader id or an inline shader after '" + role + "'", t);
    }
    Head h = leafStatement(NodeKind::UseShader, {}, "the shader", pos);
    h.node.word = role;
    h.node.args.push_back(std::move(bound));
    return h;
}

Head StatementParser::parseBlockHeader(const std::string& keyword, std::size_t start, bool define,
                                       bool modify) {
    Node n = makeNode(NodeKind::Block, keyword, lex_.position(start));
    n.define = define;
    n.modify = modify;
    std::string what = "a quoted " + keyword + " name";
    if (keyword == "animation") {
        n.args.push_back(parseName("a quoted animation name"));
        n.args.push_back(parseName("a quoted animation kind"));
    } else if (keyword == "output") {
        for (int i = 0; i < 3; ++i) n.args.push_back(parseName("three quoted output texts"));
    } else if (keyword == "camera") {
        if (isName(lex_.peek())) n.args.push_back(parseName(what.c_str()));
    } else if (keyword == "shader") {
        Token first = lex_.next();
        if (first.kind == TokenKind::Number && first.integral) {
            // "#define shader 5 tal_diffuse {": numbered, its type unquoted.
            n.args.push_back(Value{std::vector<Number>{{first.number, true}}});
            Token type = lex_.next();
            if (type.kind == TokenKind::Word || type.kind == TokenKind::Number)
                n.args.push_back(Value{Text{std::string(type.text), false}});
            else if (isName(type))
                n.args.push_back(textValue(type));
            else
                lex_.expected("the shader type after the shader id", type);
        } else if (isName(first)) {
            n.args.push_back(textValue(first));
            n.args.push_back(parseName("a quoted shader type"));
        } else {
            lex_.expected("a shader id or a quoted shader name", first);
        }
    } else if (keyword != "options" && keyword != "image") {
        n.args.push_back(parseName(what.c_str()));
    }
    Token brace = lex_.next();
    if (brace.kind != TokenKind::LBrace)
        lex_.expected("'{' after the " + keyword + " header", brace);
    return Head{HeadKind::Open, std::move(n)};
}

Head StatementParser::parseParameter(const Token& first, std::size_t start, std::size_t depth,
                                     bool arraysByItem) {
    Node n = makeNode(NodeKind::Parameter, "", lex_.position(start));
    if (first.kind == TokenKind::Word) {
        // A bare name: words up to the value ("reflection map"). "on" and
        // "off" are values when the line or the parameter ends after them.
        n.word = std::string(first.text);
        for (;;) {
            Token t = lex_.peek();
            if (t.kind != TokenKind::Word) break;
            if (isBoolWord(t)) {
                std::size_t saved = lex_.pos();
                lex_.seek(t.end);
                bool last = endsValue(lex_.peek().kind);
                lex_.seek(saved);
                if (last) break;
            }
            lex_.next();
            n.word += ' ';
            n.word += t.text;
        }
    } else {
        n.word = std::move(std::get<Text>(textValue(first).v).bytes);
    }
    Token t = lex_.peek();
    if (endsValue(t.kind)) {
        n.args.emplace_back();  // a parameter without a value (a type the writer has no text for)
    } else if (t.kind == TokenKind::LBracket && arraysByItem) {
        lex_.next();
        n.args.push_back(Value{NumberArray{}});
        reserveArrayItems(n);
        return Head{HeadKind::OpenArray, std::move(n)};
    } else {
        n.args.push_back(parseValue(depth));
    }
    parseTerminator(n);
    return leaf(std::move(n));
}

bool StatementParser::parseArrayStep(Node& parameter, std::size_t depth, std::size_t& committed) {
    Value& array = parameter.args.front();
    while (parseArrayItem(array, depth)) {
        committed = lex_.pos();
        if (lex_.binaryAhead()) return true;
    }
    endArray(array);
    parseTerminator(parameter);
    committed = lex_.pos();
    return false;
}

void StatementParser::parseTerminator(Node& parameter) {
    Token t = lex_.next();
    if (t.kind == TokenKind::Comma) {
        parameter.style = ParamStyle::Comma;
        if (lex_.peek().kind == TokenKind::Newline) lex_.next();
        return;
    }
    if (t.kind == TokenKind::Newline || t.kind == TokenKind::End) {
        parameter.style = ParamStyle::Statement;
        return;
    }
    if (t.kind == TokenKind::RBrace) {
        // "}" right after a value ends the block; leave it for the caller.
        lex_.seek(t.begin);
        parameter.style = ParamStyle::Statement;
        return;
    }
    lex_.expected("',' or end of line after the value of '" + parameter.word + "'", t);
}

void StatementParser::expectLineEnd(const char* after) {
    Token t = lex_.next();
    if (t.kind == TokenKind::Newline || t.kind == TokenKind::End) return;
    lex_.expected(std::string("end of line after ") + after, t);
}

Value StatementParser::parseName(const char* what) {
    Token t = lex_.next();
    if (!isName(t)) lex_.expected(what, t);
    return textValue(t);
}

Value StatementParser::parseNumbers(std::size_t count, const char* after) {
    std::vector<Number> nums;
    nums.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Token t = lex_.next();
        if (t.kind != TokenKind::Number)
            lex_.expected(std::to_string(count) + " numbers after " + after + " (got " +
                              std::to_string(i) + ")",
                          t);
        nums.push_back({t.number, t.integral});
    }
    return Value{std::move(nums)};
}

Value StatementParser::parseInteger(const char* after) {
    Token t = lex_.next();
    if (t.kind != TokenKind::Number || !t.integral)
        lex_.expected(std::string("an integer after ") + after, t);
    return Value{std::vector<Number>{{t.number, true}}};
}

}  // namespace scenefile::detail
