#include "canonical.h"

#include <charconv>
#include <cmath>

namespace vxtest {

using namespace scenefile;

std::string hexOf(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string canonicalNumber(double value) {
    if (std::isnan(value)) return "nan";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, end);
}

namespace {

void appendJoined(std::string& out, const std::string& piece) {
    if (!out.empty() && out.back() != '(') out += ' ';
    out += piece;
}

void arrayItems(const Value& item, std::string& out) {
    if (const auto* nums = item.numbers()) {
        for (const Number& n : *nums) appendJoined(out, canonicalNumber(n.value));
    } else if (const auto* bin = item.binary()) {
        std::visit(
            [&](const auto& vec) {
                for (auto x : vec) appendJoined(out, canonicalNumber(static_cast<double>(x)));
            },
            bin->values);
    } else {
        appendJoined(out, canonicalValue(item));
    }
}

}  // namespace

std::string canonicalValue(const Value& v) {
    std::string prefix = v.linked ? "!" : "";
    switch (v.kind()) {
        case ValueKind::None:
            return prefix + "none";
        case ValueKind::Numbers: {
            std::string out = "n(";
            for (const Number& n : *v.numbers()) appendJoined(out, canonicalNumber(n.value));
            return prefix + out + ")";
        }
        case ValueKind::Bool:
            return prefix + (std::get<bool>(v.v) ? "on" : "off");
        case ValueKind::Text:
            return prefix + "t(" + hexOf(v.text()->bytes) + ")";
        case ValueKind::Blob:
            return prefix + "blob(" + hexOf(std::get<Blob>(v.v).bytes) + ")";
        case ValueKind::Array: {
            std::string out = "arr(";
            for (const Value& item : v.array()->items) arrayItems(item, out);
            return prefix + out + ")";
        }
        case ValueKind::Binary: {
            std::string out = "arr(";
            arrayItems(v, out);
            return prefix + out + ")";
        }
        case ValueKind::NumberArray: {
            std::string out = "arr(";
            for (double d : v.numberArray()->values) appendJoined(out, canonicalNumber(d));
            return prefix + out + ")";
        }
        case ValueKind::ShaderRef:
            return prefix + "ref(" + std::to_string(std::get<ShaderRef>(v.v).id) + ")";
        case ValueKind::Shader: {
            const Node& s = *v.shader();
            std::string out = "shader(" + canonicalValue(s.args.front()) + "){";
            bool first = true;
            for (const std::string& line : canonicalLines(s.children)) {
                if (!first) out += ";";
                out += line;
                first = false;
            }
            return prefix + out + "}";
        }
    }
    return "?";
}

std::vector<std::string> canonicalLines(const std::vector<Node>& nodes) {
    std::vector<std::string> lines;
    for (const Node& n : nodes) {
        std::string args;
        for (const Value& a : n.args) args += " " + canonicalValue(a);
        switch (n.kind) {
            case NodeKind::Header:
                lines.push_back("header " + hexOf(n.word));
                break;
            case NodeKind::Comment:
                lines.push_back("comment " + hexOf(n.word));
                break;
            case NodeKind::Print:
                lines.push_back("print " + hexOf(n.word));
                break;
            case NodeKind::Error:
                lines.push_back("error " + hexOf(n.word));
                break;
            case NodeKind::Block: {
                std::string head = "begin " + n.word + args;
                if (n.define) head += " def";
                if (n.modify) head += " mod";
                lines.push_back(head);
                for (std::string& l : canonicalLines(n.children)) lines.push_back(std::move(l));
                lines.push_back("end");
                break;
            }
            case NodeKind::Parameter:
                lines.push_back("param " + hexOf(n.word) + args);
                break;
            case NodeKind::UseShader:
                lines.push_back("use " + n.word + args);
                break;
            default:
                lines.push_back(std::string(nodeKindName(n.kind)) + args);
                break;
        }
    }
    return lines;
}

}  // namespace vxtest
