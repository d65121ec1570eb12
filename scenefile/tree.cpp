#include "scenefile/tree.h"

#include <cmath>

namespace scenefile {

std::size_t BinaryArray::count() const {
    return std::visit([](const auto& v) { return v.size(); }, values) + dropped;
}

std::size_t NumberArray::begin(std::size_t tuple) const {
    if (arity) return tuple * arity;
    return tuple ? ends[tuple - 1] : 0;
}

std::size_t NumberArray::end(std::size_t tuple) const {
    return arity ? (tuple + 1) * arity : ends[tuple];
}

std::vector<Number> NumberArray::tuple(std::size_t tuple) const {
    std::vector<Number> out;
    out.reserve(end(tuple) - begin(tuple));
    for (std::size_t i = begin(tuple); i < end(tuple); ++i) out.push_back(number(i));
    return out;
}

void NumberArray::append(const Number* numbers, std::size_t count) {
    const std::size_t tuplesBefore = tuples();
    if (values.empty()) {
        arity = count;
    } else if (arity != 0 && count != arity) {
        // The first tuple of another size: from now on each tuple's end is kept.
        ends.reserve(tuplesBefore + 1);
        for (std::size_t t = 1; t <= tuplesBefore; ++t) ends.push_back(t * arity);
        arity = 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = values.size();
        if (at % 64 == 0) integralBits.push_back(0);
        integralBits.back() |= static_cast<std::uint64_t>(numbers[i].integral) << (at % 64);
        values.push_back(numbers[i].value);
    }
    if (arity == 0) ends.push_back(values.size());
}

void NumberArray::reserve(std::size_t numbers) {
    values.reserve(numbers);
    integralBits.reserve((numbers + 63) / 64);
}

Array toArray(const NumberArray& numbers) {
    Array out;
    out.items.reserve(numbers.tuples());
    for (std::size_t t = 0; t < numbers.tuples(); ++t)
        out.items.emplace_back().v.emplace<std::vector<Number>>(numbers.tuple(t));
    return out;
}

const Node* Value::shader() const {
    const auto* s = std::get_if<InlineShader>(&v);
    return s ? s->block.get() : nullptr;
}

const Node* Node::parameter(std::string_view paramName) const {
    for (const Node& c : children)
        if (c.kind == NodeKind::Parameter && c.word == paramName) return &c;
    return nullptr;
}

std::string_view Node::name() const {
    if (args.empty()) return {};
    const Text* t = args.front().text();
    return t ? std::string_view(t->bytes) : std::string_view{};
}

const char* nodeKindName(NodeKind kind) {
    switch (kind) {
        case NodeKind::Header:
            return "header";
        case NodeKind::Comment:
            return "comment";
        case NodeKind::Print:
            return "#print";
        case NodeKind::Error:
            return "#error";
        case NodeKind::Version:
            return "version";
        case NodeKind::Block:
            return "block";
        case NodeKind::Parameter:
            return "parameter";
        case NodeKind::Transform:
            return "transform";
        case NodeKind::SetTransform:
            return "set transform";
        case NodeKind::Scale:
            return "scale";
        case NodeKind::Rotate:
            return "rotate";
        case NodeKind::Translate:
            return "translate";
        case NodeKind::Attribute:
            return "attribute";
        case NodeKind::Progress:
            return "progress";
        case NodeKind::Icon:
            return "icon";
        case NodeKind::Id:
            return "id";
        case NodeKind::Flags:
            return "flags";
        case NodeKind::Render:
            return "render";
        case NodeKind::UseMaterial:
            return "material";
        case NodeKind::UseShader:
            return "shader use";
    }
    return "?";
}

namespace {

// Appends the scalars of `value` converted by `convert`; false on content
// that is not numeric.
template <typename T, typename Convert>
bool flatten(const Value& value, std::vector<T>& out, Convert convert) {
    if (const auto* nums = value.numbers()) {
        for (const Number& n : *nums) out.push_back(convert(n.value));
        return true;
    }
    if (const auto* bin = value.binary()) {
        std::visit(
            [&](const auto& vec) {
                out.reserve(out.size() + vec.size());
                for (auto x : vec) out.push_back(convert(static_cast<double>(x)));
            },
            bin->values);
        return true;
    }
    if (const auto* arr = value.array()) {
        for (const Value& item : arr->items)
            if (!flatten(item, out, convert)) return false;
        return true;
    }
    if (const auto* flat = value.numberArray()) {
        out.reserve(out.size() + flat->values.size());
        for (double d : flat->values) out.push_back(convert(d));
        return true;
    }
    return false;
}

template <typename T, typename Convert>
bool flattenTop(const Value& value, std::vector<T>& out, Convert convert) {
    out.clear();
    if (flatten(value, out, convert)) return true;
    out.clear();
    return false;
}

}  // namespace

bool flattenNumbers(const Value& value, std::vector<double>& out) {
    return flattenTop(value, out, [](double d) { return d; });
}

bool flattenFloats(const Value& value, std::vector<float>& out) {
    // Binary float arrays take the fast path: no round trip through double.
    if (const auto* bin = value.binary()) {
        if (const auto* f = std::get_if<std::vector<float>>(&bin->values)) {
            out = *f;
            return true;
        }
    }
    return flattenTop(value, out, [](double d) { return static_cast<float>(d); });
}

bool flattenInts(const Value& value, std::vector<std::int64_t>& out) {
    // Non-integral numbers are not indices: a NaN or 1.5 makes the value non-integer.
    bool integral = true;
    bool ok = flattenTop(value, out, [&](double d) {
        if (!(std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e15)) {
            integral = false;
            return std::int64_t{0};
        }
        return static_cast<std::int64_t>(d);
    });
    if (!integral) out.clear();
    return ok && integral;
}

}  // namespace scenefile
