#include "scenefile/dump.h"

#include <charconv>
#include <cstdio>

namespace scenefile {

namespace {

void indent(int depth, std::string& out) { out.append(static_cast<std::size_t>(depth) * 2, ' '); }

void quote(std::string_view s, std::string& out) {
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\x%02x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

template <typename T>
void number(T value, std::string& out) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, ec == std::errc() ? end : buf);
}

void number(const Number& n, std::string& out) {
    if (n.integral && n.value >= -9.0e15 && n.value <= 9.0e15)
        number(static_cast<long long>(n.value), out);
    else
        number(n.value, out);
}

void numbers(const std::vector<Number>& nums, std::string& out) {
    for (std::size_t i = 0; i < nums.size(); ++i) {
        if (i) out += ' ';
        number(nums[i], out);
    }
}

std::size_t tupleWidth(char kind, std::string_view name) {
    if (kind == 'c') return 3;
    if (kind == 'i' && name.substr(0, 9) == "triangles") return 3;
    if (kind == 'f' && (name == "uv_tex" || name == "curve_uv")) return 2;
    return 1;
}

void value(const Value& v, int depth, std::string_view name, std::string& out);

void binary(const BinaryArray& b, int depth, std::string_view name, std::string& out) {
    std::size_t width = tupleWidth(b.kind, name);
    out += "binary ";
    out += b.kind;
    out += ' ';
    number(static_cast<unsigned long long>(b.count()), out);
    out += " values [";
    std::visit(
        [&](const auto& vec) {
            for (std::size_t i = 0; i < vec.size(); ++i) {
                if (i % width == 0) {
                    out += '\n';
                    indent(depth + 1, out);
                } else {
                    out += ' ';
                }
                number(vec[i], out);
            }
        },
        b.values);
    out += '\n';
    indent(depth, out);
    out += ']';
}

// Shown as an Array of the same tuples is.
void numberArray(const NumberArray& a, int depth, std::string& out) {
    out += '[';
    for (std::size_t t = 0; t < a.tuples(); ++t) {
        out += '\n';
        indent(depth + 1, out);
        for (std::size_t i = a.begin(t); i < a.end(t); ++i) {
            if (i > a.begin(t)) out += ' ';
            number(a.number(i), out);
        }
    }
    out += '\n';
    indent(depth, out);
    out += ']';
}

void value(const Value& v, int depth, std::string_view name, std::string& out) {
    if (v.linked) out += "! ";
    switch (v.kind()) {
        case ValueKind::None:
            out += "(no value)";
            break;
        case ValueKind::Numbers:
            numbers(*v.numbers(), out);
            break;
        case ValueKind::Bool:
            out += std::get<bool>(v.v) ? "on" : "off";
            break;
        case ValueKind::Text:
            quote(v.text()->bytes, out);
            break;
        case ValueKind::Blob: {
            out += "bX";
            for (unsigned char c : std::get<Blob>(v.v).bytes) {
                char buf[4];
                std::snprintf(buf, sizeof buf, "%02x", c);
                out += buf;
            }
            break;
        }
        case ValueKind::Array: {
            const auto& items = v.array()->items;
            if (items.size() == 1 && items.front().binary()) {
                binary(*items.front().binary(), depth, name, out);
                break;
            }
            out += '[';
            for (const Value& item : items) {
                out += '\n';
                indent(depth + 1, out);
                if (const BinaryArray* b = item.binary())
                    binary(*b, depth + 1, name, out);
                else
                    value(item, depth + 1, name, out);
            }
            out += '\n';
            indent(depth, out);
            out += ']';
            break;
        }
        case ValueKind::NumberArray:
            numberArray(*v.numberArray(), depth, out);
            break;
        case ValueKind::Binary:
            binary(*v.binary(), depth, name, out);
            break;
        case ValueKind::ShaderRef:
            if (!v.linked) out += "shader ";
            number(static_cast<long long>(std::get<ShaderRef>(v.v).id), out);
            break;
        case ValueKind::Shader: {
            const Node& s = *v.shader();
            out += "shader ";
            quote(s.name(), out);
            out += " {\n";
            for (const Node& c : s.children) dumpNode(c, depth + 1, out);
            indent(depth, out);
            out += '}';
            break;
        }
    }
}

void args(const Node& n, int depth, std::string& out) {
    for (const Value& a : n.args) {
        out += ' ';
        value(a, depth, n.word, out);
    }
}

// The header line of a block, without the brace.
void blockHeader(const Node& n, std::string& out) {
    if (n.define) out += "#define ";
    if (n.modify) out += "#modify ";
    out += n.word;
    for (const Value& a : n.args) {
        out += ' ';
        value(a, 0, {}, out);
    }
}

}  // namespace

void dumpNode(const Node& n, int depth, std::string& out) {
    indent(depth, out);
    switch (n.kind) {
        case NodeKind::Header:
            out += "//---" + n.word + "---";
            break;
        case NodeKind::Comment:
            out += "//" + n.word;
            break;
        case NodeKind::Print:
        case NodeKind::Error:
            out += n.kind == NodeKind::Print ? "#print " : "#error ";
            quote(n.word, out);
            break;
        case NodeKind::Block:
            blockHeader(n, out);
            out += " {\n";
            for (const Node& c : n.children) dumpNode(c, depth + 1, out);
            indent(depth, out);
            out += "}";
            break;
        case NodeKind::Parameter:
            quote(n.word, out);
            out += ' ';
            value(n.args.empty() ? Value{} : n.args.front(), depth, n.word, out);
            break;
        case NodeKind::UseShader:
            out += n.word;
            args(n, depth, out);
            break;
        default:
            out += nodeKindName(n.kind);
            args(n, depth, out);
            break;
    }
    out += '\n';
}

std::string dumpDocument(const Document& doc) {
    std::string out;
    for (const Node& n : doc.statements) dumpNode(n, 0, out);
    return out;
}

void DumpSink::beginBlock(const Node& header) {
    indent(depth_, pending_);
    blockHeader(header, pending_);
    pending_ += " {\n";
    ++depth_;
    maybeFlush();
}

void DumpSink::statement(Node&& node) {
    dumpNode(node, depth_, pending_);
    maybeFlush();
}

void DumpSink::endBlock(const Node&, SourcePos) {
    if (depth_ > 0) --depth_;
    indent(depth_, pending_);
    pending_ += "}\n";
    maybeFlush();
}

void DumpSink::maybeFlush() {
    if (pending_.size() >= (std::size_t{1} << 20)) flush();
}

bool DumpSink::flush() {
    if (!pending_.empty()) {
        if (std::fwrite(pending_.data(), 1, pending_.size(), out_) != pending_.size()) ok_ = false;
        pending_.clear();
    }
    if (std::fflush(out_) != 0) ok_ = false;
    return ok_;
}

}  // namespace scenefile
