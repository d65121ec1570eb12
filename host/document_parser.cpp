// The document file's one pass: a hand-written JSON reader whose values are
// nlohmann's (the loader's checks read them unchanged) and whose big numeric
// arrays become host vectors as they are read. Iterative, so that nesting
// costs heap, not stack. Numbers are converted with std::from_chars, which
// rounds correctly, as nlohmann's strtod does, so every value is the one the
// library would have read.
#include "host/document_parser.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

namespace host::loader {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whitespace as JSON has it. The text's terminating NUL stops every scan.
const char* skipWs(const char* p) {
    while (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') ++p;
    return p;
}

// Skips whitespace, `expected` and whitespace again.
bool expect(const char*& p, char expected) {
    p = skipWs(p);
    if (*p != expected) return false;
    p = skipWs(p + 1);
    return true;
}

// The end of the number at `p` (JSON's grammar), or null; `integral` tells
// whether it has neither fraction nor exponent.
const char* scanNumber(const char* p, bool& integral) {
    if (*p == '-') ++p;
    if (*p == '0') {
        ++p;
    } else if (*p >= '1' && *p <= '9') {
        while (isDigit(*p)) ++p;
    } else {
        return nullptr;
    }
    integral = true;
    if (*p == '.') {
        ++p;
        if (!isDigit(*p)) return nullptr;
        while (isDigit(*p)) ++p;
        integral = false;
    }
    if (*p == 'e' || *p == 'E') {
        ++p;
        if (*p == '+' || *p == '-') ++p;
        if (!isDigit(*p)) return nullptr;
        while (isDigit(*p)) ++p;
        integral = false;
    }
    return p;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A plain decimal ("-12.375") whose digits make an integer of at most 2^53
// with at most 22 of them after the point: that integer and the power of ten
// are exact, so one division rounds correctly. False, with p unchanged, for
// any other number.
bool readPlainDecimal(const char*& p, double& out) {
    const char* q = p;
    const bool negative = *q == '-';
    q += negative;
    if (!isDigit(*q)) return false;
    std::uint64_t m = 0;
    int digits = 0, fraction = 0;
    bool integral = true;
    if (*q == '0') {
        ++q;
    } else {
        for (; isDigit(*q); ++q, ++digits) m = m * 10 + static_cast<std::uint64_t>(*q - '0');
    }
    if (*q == '.') {
        ++q;
        integral = false;
        if (!isDigit(*q)) return false;
        for (; isDigit(*q); ++q, ++digits, ++fraction)
            m = m * 10 + static_cast<std::uint64_t>(*q - '0');
    }
    if (isDigit(*q) || *q == 'e' || *q == 'E' || digits > 19 || fraction > 22 ||
        m > (std::uint64_t{1} << 53))
        return false;
    const double v = static_cast<double>(m) / kExactPowers[fraction];
    out = negative && !(integral && m == 0) ? -v : v;  // "-0" is the integer 0, so +0
    p = q;
    return true;
}

// A number as a double, the way nlohmann reads and converts it: an integer
// token rounds like its exact value, and "-0" is the integer 0, so +0.
bool readDouble(const char*& p, double& out) {
    if (readPlainDecimal(p, out)) return true;
    bool integral = false;
    const char* end = scanNumber(p, integral);
    if (!end) return false;
    const auto [ptr, ec] = std::from_chars(p, end, out);
    if (ec != std::errc() || ptr != end) return false;
    if (integral && out == 0) out = 0.0;
    p = end;
    return true;
}

// `[x, y, z]` at p (whitespace before it skipped); p ends after the ']'.
bool readVector(const char*& p, Vector& v) {
    if (*p != '[') return false;
    p = skipWs(p + 1);
    return readDouble(p, v.x) && expect(p, ',') && readDouble(p, v.y) && expect(p, ',') &&
           readDouble(p, v.z) && expect(p, ']');
}

// A plain index: digits without a sign, fraction or exponent, at most
// 2^31 - 1. Anything else is left to the general path and its messages.
bool readIndex(const char*& p, Int32& out) {
    if (!isDigit(*p) || (*p == '0' && isDigit(p[1]))) return false;
    std::int64_t v = 0;
    while (isDigit(*p)) {
        v = v * 10 + (*p++ - '0');
        if (v > std::numeric_limits<Int32>::max()) return false;
    }
    if (*p == '.' || *p == 'e' || *p == 'E') return false;
    out = static_cast<Int32>(v);
    return true;
}

// A list `[item, ...]` at p whose items `item` reads (each leaving p after
// its trailing whitespace); p ends after the ']'.
template <class Item>
bool readList(const char*& p, Item item) {
    if (*p != '[') return false;
    p = skipWs(p + 1);
    if (*p == ']') {
        ++p;
        return true;
    }
    for (;;) {
        if (!item(p)) return false;
        p = skipWs(p);
        if (*p == ']') {
            ++p;
            return true;
        }
        if (*p != ',') return false;
        p = skipWs(p + 1);
    }
}

// The parse's progress hook, asked at every value and bulk array entry but
// called only when kParseProgressStep more bytes have been read.
class Marks {
public:
    Marks(const char* text, const ParseProgress& progress)
        : text_(text), next_(progress ? address(text) : UINTPTR_MAX), progress_(progress) {}
    void at(const char* p) {
        if (address(p) >= next_) [[unlikely]]
            reach(p);
    }

private:
    static std::uintptr_t address(const char* p) { return reinterpret_cast<std::uintptr_t>(p); }
    void reach(const char* p) {
        progress_(static_cast<std::size_t>(p - text_));
        next_ = address(p) + kParseProgressStep;
    }
    const char* text_;
    std::uintptr_t next_;  // the address whose reaching calls the hook
    const ParseProgress& progress_;
};

// Once a bulk array has kRehearsal entries, reserves room for as many more
// as the rest of the text would hold at their average length: the array
// then never moves, and room it does not use is never touched, so it costs
// address space, not memory. Where the system refuses that much address
// space, the array grows as usual.
constexpr std::size_t kRehearsal = 4096;

template <class Vec>
void reserveAhead(Vec& v, const char* start, const char* p, const char* end) {
    if (v.size() != kRehearsal) return;
    const double perEntry = static_cast<double>(p - start) / static_cast<double>(kRehearsal);
    try {
        v.reserve(kRehearsal + static_cast<std::size_t>(static_cast<double>(end - p) / perEntry) +
                  1);
    } catch (const std::bad_alloc&) {
    }
}

bool readPoints(const char*& p, const char* end, std::vector<Vector>& out, Marks& marks) {
    const char* start = p;
    return readList(p, [&](const char*& q) {
        Vector v;
        if (!readVector(q, v)) return false;
        out.push_back(v);
        reserveAhead(out, start, q, end);
        marks.at(q);
        return true;
    });
}

bool readPolygons(const char*& p, const char* end, std::vector<CPolygon>& out, Marks& marks) {
    const char* start = p;
    return readList(p, [&](const char*& q) {
        Int32 idx[4] = {0, 0, 0, 0};
        int n = 0;
        const bool ok =
            readList(q, [&](const char*& r) { return n < 4 && readIndex(r, idx[n++]); });
        if (!ok || n < 3) return false;
        if (n == 3) idx[3] = idx[2];  // a triangle: d = c
        out.push_back(CPolygon{idx[0], idx[1], idx[2], idx[3]});
        reserveAhead(out, start, q, end);
        marks.at(q);
        return true;
    });
}

bool readUvw(const char*& p, const char* end, BulkArrays::Uvw& out, Marks& marks) {
    const char* start = p;
    return readList(p, [&](const char*& q) {
        Vector c[4];
        int n = 0;
        const bool ok = readList(q, [&](const char*& r) { return n < 4 && readVector(r, c[n++]); });
        if (!ok || n < 3) return false;
        if (n == 3) {
            c[3] = c[2];
            out.threeCornered.push_back(out.entries.size());
        }
        UVWStruct uvw;
        uvw.a = c[0];
        uvw.b = c[1];
        uvw.c = c[2];
        uvw.d = c[3];
        out.entries.push_back(uvw);
        reserveAhead(out.entries, start, q, end);
        marks.at(q);
        return true;
    });
}

class Parser {
public:
    Parser(const char* text, std::size_t size, ParsedDocument& out, bool bulkArrays,
           const ParseProgress& progress)
        : p_(text), end_(text + size), out_(out), bulkArrays_(bulkArrays), marks_(text, progress) {}

    bool run() {
        if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;
        if (!tree(out_.root)) return false;
        p_ = skipWs(p_);
        return p_ == end_;
    }

private:
    struct Frame {
        Json* value;
        bool array;
    };

    bool tree(Json& root);
    bool open(Json*& slot, bool& closed);
    bool scalar(Json& slot);
    bool number(Json& slot);
    bool string(std::string& out);
    bool bulk(Json& slot);

    const char* p_;
    const char* end_;
    ParsedDocument& out_;
    bool bulkArrays_;
    Marks marks_;
    std::vector<Frame> frames_;
    std::string key_;  // the key of the value being read, in an object
};

// The value at p_ into *slot, with everything nested in it.
bool Parser::tree(Json& root) {
    Json* slot = &root;
    for (;;) {
        p_ = skipWs(p_);
        marks_.at(p_);
        bool complete = true;
        if (*p_ == '{' || *p_ == '[') {
            if (!open(slot, complete)) return false;
        } else if (!scalar(*slot)) {
            return false;
        }
        while (complete) {  // the value is read: continue in its container
            if (frames_.empty()) return true;
            const Frame& top = frames_.back();
            p_ = skipWs(p_);
            if (*p_ == (top.array ? ']' : '}')) {
                ++p_;
                frames_.pop_back();
                continue;
            }
            if (*p_ != ',') return false;
            p_ = skipWs(p_ + 1);
            if (top.array) {
                top.value->push_back(nullptr);
                slot = &top.value->back();
            } else {
                if (!string(key_) || !expect(p_, ':') || top.value->contains(key_)) return false;
                slot = &(*top.value)[key_];
            }
            complete = false;
        }
    }
}

// Opens the object or array at p_ in *slot and points `slot` at its first
// value; `closed` when it was empty (or read whole as a bulk array).
bool Parser::open(Json*& slot, bool& closed) {
    const bool array = *p_ == '[';
    if (array && bulkArrays_ && !frames_.empty() && !frames_.back().array) {
        if (bulk(*slot)) {
            closed = true;
            return true;
        }
    }
    *slot = array ? Json::array() : Json::object();
    p_ = skipWs(p_ + 1);
    if (*p_ == (array ? ']' : '}')) {
        ++p_;
        closed = true;
        return true;
    }
    frames_.push_back({slot, array});
    closed = false;
    if (array) {
        slot->push_back(nullptr);
        slot = &slot->back();
        return true;
    }
    Json* object = slot;
    if (!string(key_) || !expect(p_, ':')) return false;
    slot = &(*object)[key_];
    return true;
}

// An object's "points", "polygons" or "uvw" at p_, read into host vectors
// when it has their shape; otherwise p_ stays and nothing is kept.
bool Parser::bulk(Json& slot) {
    const char* p = p_;
    bool ok = false;
    if (key_ == "points") {
        std::vector<Vector> v;
        ok = readPoints(p, end_, v, marks_);
        if (ok) out_.bulk.points[&slot] = std::move(v);
    } else if (key_ == "polygons") {
        std::vector<CPolygon> v;
        ok = readPolygons(p, end_, v, marks_);
        if (ok) out_.bulk.polygons[&slot] = std::move(v);
    } else if (key_ == "uvw") {
        BulkArrays::Uvw v;
        ok = readUvw(p, end_, v, marks_);
        if (ok) out_.bulk.uvw[&slot] = std::move(v);
    }
    if (!ok) return false;
    slot = Json::array();
    p_ = p;
    return true;
}

bool Parser::scalar(Json& slot) {
    const auto literal = [this](const char* word, std::size_t n) {
        if (static_cast<std::size_t>(end_ - p_) < n || std::memcmp(p_, word, n) != 0) return false;
        p_ += n;
        return true;
    };
    switch (*p_) {
        case '"': {
            std::string s;
            if (!string(s)) return false;
            slot = std::move(s);
            return true;
        }
        case 't':
            slot = true;
            return literal("true", 4);
        case 'f':
            slot = false;
            return literal("false", 5);
        case 'n':
            slot = nullptr;
            return literal("null", 4);
        default:
            return number(slot);
    }
}

// nlohmann's kinds: a non-negative integer token is unsigned, a negative one
// signed, one beyond 64 bits and every other number a double.
bool Parser::number(Json& slot) {
    bool integral = false;
    const char* end = scanNumber(p_, integral);
    if (!end) return false;
    if (integral && *p_ == '-') {
        std::int64_t v = 0;
        if (std::from_chars(p_, end, v).ec == std::errc()) {
            slot = v;
            p_ = end;
            return true;
        }
    } else if (integral) {
        std::uint64_t v = 0;
        if (std::from_chars(p_, end, v).ec == std::errc()) {
            slot = v;
            p_ = end;
            return true;
        }
    }
    double d = 0;
    if (!readDouble(p_, d)) return false;
    slot = d;
    return true;
}

// A string at p_. Plain ASCII is taken as it is; escapes and other bytes
// are left to nlohmann, which checks and decodes them.
bool Parser::string(std::string& out) {
    if (*p_ != '"') return false;
    const char* s = p_ + 1;
    const char* q = s;
    bool plain = true;
    for (;; ++q) {
        if (q >= end_) return false;
        const auto c = static_cast<unsigned char>(*q);
        if (c == '"') break;
        if (c == '\\') {
            plain = false;
            if (++q >= end_) return false;  // the escaped character is never the end
        } else if (c < 0x20 || c >= 0x80) {
            plain = false;
        }
    }
    if (plain) {
        out.assign(s, q);
    } else {
        const Json decoded = Json::parse(p_, q + 1, nullptr, false);
        if (!decoded.is_string()) return false;
        out = decoded.get<std::string>();
    }
    p_ = q + 1;
    return true;
}

}  // namespace

bool parseDocumentText(const char* text, std::size_t size, ParsedDocument& out, bool bulkArrays,
                       const ParseProgress& progress) {
    return Parser(text, size, out, bulkArrays, progress).run();
}

}  // namespace host::loader
