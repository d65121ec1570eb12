// The document file's layout, printed piece by piece.
#include "host/document_printer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

namespace host::writer {

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

// A placeholder is a binary value, which the writer's tree never holds
// otherwise; its subtype is the index of its array.
bool isPlaceholder(const Json& j) { return j.is_binary(); }

// One line: an array without objects and with at most 16 numbers in all, or
// an object of at most four plain values (a key, a channel list).
bool fitsOnOneLine(const Json& j, int& scalars) {
    if (j.is_object()) {
        if (j.size() > 4) return false;
        for (const auto& item : j.items())
            if (item.value().is_structured() || isPlaceholder(item.value())) return false;
        return true;
    }
    if (!j.is_array()) return !isPlaceholder(j) && ++scalars <= 16;
    for (const Json& e : j)
        if (e.is_object() || !fitsOnOneLine(e, scalars)) return false;
    return true;
}

}  // namespace

void Output::put(std::string_view text) {
    text_ += text;
    if (sink_ && text_.size() >= kPiece) {
        sink_(text_);
        text_.clear();
    }
}

void Output::number(double v) {
    if (!std::isfinite(v)) return put("null");
    char buffer[64];
    const char* end = nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, v);
    put(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

void Output::number(Int64 v) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    put(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

void Output::vector(const Vector& v) {
    put('[');
    number(v.x);
    put(", ");
    number(v.y);
    put(", ");
    number(v.z);
    put(']');
}

std::string Output::finish() {
    if (sink_) {
        if (!text_.empty()) sink_(text_);
        text_.clear();
    }
    return std::move(text_);
}

Json Printer::defer(BulkArray array) {
    bulk_.push_back(std::move(array));
    return Json::binary({}, static_cast<std::uint64_t>(bulk_.size() - 1));
}

void Printer::print(Output& out, const Json& j, int indent) const {
    if (isPlaceholder(j)) return printBulk(out, bulk_.at(j.get_binary().subtype()), indent);
    if (!j.is_structured()) return out.put(j.dump());
    const bool object = j.is_object();
    if (j.empty()) return out.put(object ? "{}" : "[]");
    int scalars = 0;
    const bool inline_ = fitsOnOneLine(j, scalars);
    const std::string inner(static_cast<std::size_t>(indent + 2), ' ');
    out.put(object ? '{' : '[');
    if (!inline_) out.put('\n');
    bool first = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!first) out.put(inline_ ? ", " : ",\n");
        first = false;
        if (!inline_) out.put(inner);
        if (object) {
            out.put(Json(it.key()).dump());
            out.put(": ");
        }
        print(out, *it, indent + 2);
    }
    if (!inline_) {
        out.put('\n');
        out.put(std::string(static_cast<std::size_t>(indent), ' '));
    }
    out.put(object ? '}' : ']');
}

// As print() prints the same array: on one line when it holds at most 16
// numbers in all, else one entry (always on one line) a line.
void Printer::printBulk(Output& out, const BulkArray& array, int indent) const {
    if (array.count == 0) return out.put("[]");
    std::size_t scalars = 0;
    for (std::size_t i = 0; i < array.count && scalars <= 16; ++i) scalars += array.numbers(i);
    const bool inline_ = scalars <= 16;
    const std::string inner(static_cast<std::size_t>(indent + 2), ' ');
    out.put('[');
    for (std::size_t i = 0; i < array.count; ++i) {
        if (inline_) {
            if (i > 0) out.put(", ");
        } else {
            out.put(i > 0 ? ",\n" : "\n");
            out.put(inner);
        }
        array.entry(out, i);
    }
    if (!inline_) {
        out.put('\n');
        out.put(std::string(static_cast<std::size_t>(indent), ' '));
    }
    out.put(']');
}

}  // namespace host::writer
