#include "scenefile/lexer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "scenefile/line_feeds.h"

namespace scenefile::detail {

namespace {

constexpr bool isBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Bytes that end a run: blanks, line feeds, punctuation, quotes and control
// bytes (a binary array may follow a text element directly).
constexpr bool endsRun(unsigned char c) {
    switch (c) {
        case '{':
        case '}':
        case '[':
        case ']':
        case ',':
        case '!':
        case '"':
            return true;
        default:
            return c < 0x20 || c == 0x7f;
    }
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool allHex(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return hexValue(static_cast<unsigned char>(c)) >= 0; });
}

// Bytes that may begin a line of statements.
bool canStartLine(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c == '"' ||
           c == '}' || c == '/' || c == '\n' || isBlank(c) || c >= 0x80;
}

// What a byte is to a run: its end (blanks, line feeds, punctuation, quotes
// and control bytes), a byte of the integral form (digits and '-'), or
// another byte of the run.
constexpr std::uint8_t kRunByte = 0, kIntegralByte = 1, kEndsRun = 2;
constexpr std::array<std::uint8_t, 256> kRunBytes = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<unsigned char>(c);
        table[b] = endsRun(b) || isBlank(b)             ? kEndsRun
                   : (b >= '0' && b <= '9') || b == '-' ? kIntegralByte
                                                        : kRunByte;
    }
    return table;
}();

bool allIntegralBytes(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return kRunBytes[static_cast<unsigned char>(c)] == kIntegralByte;
    });
}

// Integers of up to 15 digits are exact in a double, so the value is the one
// std::from_chars gives (-0 included), without its general machinery.
bool smallInteger(std::string_view s, double& value) {
    const bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.size() > 15) return false;
    std::uint64_t u = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        u = u * 10 + static_cast<std::uint64_t>(c - '0');
    }
    value = negative ? -static_cast<double>(u) : static_cast<double>(u);
    return true;
}

bool looksNumeric(std::string_view s) {
    unsigned char c = static_cast<unsigned char>(s.front());
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || s == "nan" || s == "inf";
}

// Bytes of a list of numbers written as text: those of numbers (digits,
// signs, points, exponents, nan and inf), blanks and line feeds, and commas.
constexpr std::uint8_t kNotInList = 0, kInNumber = 1, kBetween = 2, kComma = 3;
constexpr std::array<std::uint8_t, 256> kNumberListBytes = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned char c : std::string_view("0123456789+-.eEnaif")) table[c] = kInNumber;
    for (unsigned char c : std::string_view(" \t\r\v\f\n")) table[c] = kBetween;
    table[','] = kComma;
    return table;
}();

Token makeToken(TokenKind kind, std::size_t begin, std::size_t end) {
    Token t;
    t.kind = kind;
    t.begin = begin;
    t.end = end;
    return t;
}

// Built in the caller's token: a token built aside and copied costs more
// than reading the number did.
Token numberToken(std::string_view data, std::size_t begin, std::size_t end, double value,
                  bool integral) {
    Token t = makeToken(TokenKind::Number, begin, end);
    t.text = data.substr(begin, end - begin);
    t.number = value;
    t.integral = integral;
    return t;
}

std::string shorten(std::string_view s) {
    std::string out;
    for (unsigned char c : s.substr(0, 40)) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    if (s.size() > 40) out += "...";
    return out;
}

}  // namespace

std::size_t binaryValueSize(char kind) {
    switch (kind) {
        case 'c':
        case 'f':
        case 'i':
            return 4;
        case 'r':
            return 8;
        default:
            return 0;
    }
}

std::string decodeHex(std::string_view digits) {
    std::string out(digits.size() / 2, '\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(hexValue(static_cast<unsigned char>(digits[2 * i])) * 16 +
                                   hexValue(static_cast<unsigned char>(digits[2 * i + 1])));
    return out;
}

SourcePos Lexer::position(std::size_t at) const {
    at = std::min(at, data_.size());
    auto lines = [&](std::size_t from, std::size_t to) {
        return countLineFeeds(data_.data() + from, to - from);
    };
    if (at < markPos_) return SourcePos{base_ + at, baseLine_ + lines(0, at)};
    markLine_ += lines(markPos_, at);
    markPos_ = at;
    return SourcePos{base_ + at, markLine_};
}

void Lexer::fail(std::size_t at, const std::string& problem) const {
    throw ParseError(position(at), problem);
}

void Lexer::needMore(std::size_t needed) const {
    throw NeedMore{std::max(needed, data_.size() + 1)};
}

std::string Lexer::describe(const Token& t) const {
    switch (t.kind) {
        case TokenKind::End:
            return "end of input";
        case TokenKind::Newline:
            return "end of line";
        case TokenKind::Word:
            return "'" + shorten(t.text) + "'";
        case TokenKind::Number:
            return "number " + shorten(t.text);
        case TokenKind::Text:
            return "text \"" + shorten(t.text) + "\"";
        case TokenKind::HexText:
            return "hex text xX" + shorten(t.text);
        case TokenKind::Blob:
            return "hex blob bX" + shorten(t.text);
        case TokenKind::LBrace:
            return "'{'";
        case TokenKind::RBrace:
            return "'}'";
        case TokenKind::LBracket:
            return "'['";
        case TokenKind::RBracket:
            return "']'";
        case TokenKind::Comma:
            return "','";
        case TokenKind::Bang:
            return "'!'";
        case TokenKind::Binary:
            return std::string("binary array '") + t.binaryKind + "' of " +
                   std::to_string(t.binaryCount) + " values";
        case TokenKind::Comment:
            return "comment";
        case TokenKind::Print:
            return "#print";
        case TokenKind::Error:
            return "#error";
    }
    return "?";
}

void Lexer::expected(const std::string& what, const Token& found) const {
    fail(found.begin, "expected " + what + ", found " + describe(found));
}

Token Lexer::peek() {
    std::size_t saved = pos_;
    Token t = next();
    pos_ = saved;
    return t;
}

Token Lexer::nextSkippingNewlines() {
    skipBlankLines();
    return tokenAtPos();
}

Token Lexer::peekSkippingNewlines() {
    std::size_t saved = pos_;
    Token t = nextSkippingNewlines();
    pos_ = saved;
    return t;
}

// Powers of ten that a double holds exactly.
constexpr std::array<double, 16> kExactPowersOfTen = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Inlined where it is used, so that the number stays in registers.
[[gnu::always_inline]] inline std::size_t Lexer::plainNumber(std::size_t start, double& value,
                                                             bool& integral) const {
    const std::size_t none = data_.size() + 1;
    const char* const first = data_.data() + start;
    const char* const last = data_.data() + data_.size();
    const char* p = first + (*first == '-' ? 1 : 0);
    const char* const digits = p;
    std::uint64_t u = 0;
    while (p < last && static_cast<unsigned char>(*p - '0') < 10)
        u = u * 10 + static_cast<std::uint64_t>(*p++ - '0');
    const char* const point = p;
    if (p < last && *p == '.') {
        ++p;
        while (p < last && static_cast<unsigned char>(*p - '0') < 10)
            u = u * 10 + static_cast<std::uint64_t>(*p++ - '0');
    }
    const std::size_t count = static_cast<std::size_t>(p - digits) - (p != point ? 1 : 0);
    const bool runEnds = p < last ? kRunBytes[static_cast<unsigned char>(*p)] == kEndsRun : final_;
    if (runEnds && count >= 1 && count <= 15) {
        // Up to 15 digits are exact in a double, and so are the powers of ten
        // below 1e16: one correctly rounded division gives the value that
        // std::from_chars gives, -0 included.
        const double magnitude =
            static_cast<double>(u) /
            kExactPowersOfTen[p == point ? 0 : static_cast<std::size_t>(p - point - 1)];
        value = *first == '-' ? -magnitude : magnitude;
        integral = p == point;
        return static_cast<std::size_t>(p - data_.data());
    }
    integral = true;
    for (p = first; p < last; ++p) {
        const std::uint8_t kind = kRunBytes[static_cast<unsigned char>(*p)];
        if (kind == kEndsRun) break;
        integral &= kind == kIntegralByte;
    }
    if (p == last && !final_) return none;
    auto [ptr, ec] = std::from_chars(first, p, value);
    return ec == std::errc() && ptr == p ? static_cast<std::size_t>(p - data_.data()) : none;
}

bool Lexer::nextPlainNumber(bool acrossLines, double& value, bool& integral) {
    std::size_t at = acrossLines ? afterBlankLines() : pos_;
    if (!acrossLines)
        while (at < data_.size() && isBlank(static_cast<unsigned char>(data_[at]))) ++at;
    if (at >= data_.size() || kRunBytes[static_cast<unsigned char>(data_[at])] != kIntegralByte)
        return false;
    const std::size_t end = plainNumber(at, value, integral);
    if (end > data_.size()) return false;
    pos_ = end;
    return true;
}

bool Lexer::plainNumbersAndComma(std::vector<Number>& tuple) {
    for (;;) {
        std::size_t at = pos_;
        while (at < data_.size() && (data_[at] == ' ' || data_[at] == '\n')) ++at;
        if (at < data_.size() && isBlank(static_cast<unsigned char>(data_[at])))
            at = afterBlankLines();
        if (at >= data_.size()) return false;
        const auto c = static_cast<unsigned char>(data_[at]);
        if (c == ',' && !tuple.empty()) {
            pos_ = at + 1;
            return true;
        }
        if (kRunBytes[c] != kIntegralByte) return false;
        double value = 0;
        bool integral = false;
        const std::size_t end = plainNumber(at, value, integral);
        if (end > data_.size()) return false;
        tuple.push_back({value, integral});
        pos_ = end;
    }
}

Token Lexer::next() {
    skipBlanks();
    return tokenAtPos();
}

Token Lexer::tokenAtPos() {
    const std::size_t start = pos_;
    if (start >= data_.size()) {
        if (!final_) needMore(data_.size() + 1);
        return makeToken(TokenKind::End, start, start);
    }
    auto c = static_cast<unsigned char>(data_[start]);
    if (kRunBytes[c] == kIntegralByte) {  // the common case: a number
        double value = 0;
        bool integral = false;
        const std::size_t end = plainNumber(start, value, integral);
        if (end > data_.size()) return run(start);
        pos_ = end;
        return numberToken(data_, start, end, value, integral);
    }
    auto single = [&](TokenKind kind) {
        pos_ = start + 1;
        return makeToken(kind, start, start + 1);
    };
    switch (c) {
        case '\n':
            return single(TokenKind::Newline);
        case '{':
            return single(TokenKind::LBrace);
        case '}':
            return single(TokenKind::RBrace);
        case '[':
            return single(TokenKind::LBracket);
        case ']':
            return single(TokenKind::RBracket);
        case ',':
            return single(TokenKind::Comma);
        case '!':
            return single(TokenKind::Bang);
        case '"':
            return quoted(start);
        case 0x01:
            return binary(start);
        default:
            break;
    }
    if (c == '/') {
        if (start + 1 >= data_.size() && !final_) needMore(start + 2);
        if (start + 1 < data_.size() && data_[start + 1] == '/') return comment(start);
    }
    if (endsRun(c)) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "unexpected byte 0x%02x", c);
        fail(start, buf);
    }
    return run(start);
}

Token Lexer::quoted(std::size_t start) {
    const char* begin = data_.data() + start + 1;
    std::size_t left = data_.size() - start - 1;
    const void* q = std::memchr(begin, '"', left);
    std::size_t stop = q ? static_cast<std::size_t>(static_cast<const char*>(q) - begin) : left;
    if (const void* lf = std::memchr(begin, '\n', stop))
        fail(static_cast<std::size_t>(static_cast<const char*>(lf) - data_.data()),
             "line feed inside a quoted text (a text with a line feed is written in hex, xX...)");
    if (!q) {
        if (!final_) needMore(data_.size() + 1);
        fail(start, "quoted text without its closing quote");
    }
    Token t = makeToken(TokenKind::Text, start, start + 1 + stop + 1);
    t.text = std::string_view(begin, stop);
    pos_ = t.end;
    return t;
}

std::optional<BinaryHeader> Lexer::headerAt(std::size_t start) const {
    if (data_.size() - start < kBinaryHeader) return std::nullopt;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data_[start + i]); };
    if (byte(0) != 0x01 || byte(1) != 0x02 || byte(2) != 0x03 ||
        binaryValueSize(static_cast<char>(byte(3))) == 0)
        return std::nullopt;
    std::uint32_t count =
        static_cast<std::uint32_t>(byte(4)) | static_cast<std::uint32_t>(byte(5)) << 8 |
        static_cast<std::uint32_t>(byte(6)) << 16 | static_cast<std::uint32_t>(byte(7)) << 24;
    return BinaryHeader{start, static_cast<char>(byte(3)), count};
}

std::size_t Lexer::afterBlankLines() const {
    std::size_t at = pos_;
    while (at < data_.size() &&
           (isBlank(static_cast<unsigned char>(data_[at])) || data_[at] == '\n'))
        ++at;
    return at;
}

std::optional<BinaryHeader> Lexer::nextBinaryHeader() {
    std::optional<BinaryHeader> header = headerAt(afterBlankLines());
    if (header) pos_ = header->start + kBinaryHeader;
    return header;
}

std::size_t Lexer::numberItemsAhead() const {
    std::size_t items = 1;
    bool inItem = false;  // a number byte since the last comma (a run of commas is no items)
    for (std::size_t at = pos_; at < data_.size(); ++at) {
        const std::uint8_t kind = kNumberListBytes[static_cast<unsigned char>(data_[at])];
        if (kind == kNotInList) break;
        if (kind == kComma) {
            items += inItem ? 1 : 0;
            inItem = false;
        } else {
            inItem |= kind == kInNumber;
        }
    }
    return items;
}

std::size_t Lexer::numbersAheadEstimate() const {
    // Only where a number comes next, and up to the end of the array or the
    // next binary array, whose bytes are no numbers.
    const std::size_t at = afterBlankLines();
    if (at >= data_.size() || kNumberListBytes[static_cast<unsigned char>(data_[at])] != kInNumber)
        return 0;
    const char* from = data_.data() + at;
    const std::size_t left = data_.size() - at;
    const void* bracket = std::memchr(from, ']', left);
    const char* to = bracket ? static_cast<const char*>(bracket) : from + left;
    if (const void* binary = std::memchr(from, '\x01', static_cast<std::size_t>(to - from)))
        to = static_cast<const char*>(binary);
    // The bytes after a separator (a comma, a blank, a line feed) that are none, counted in
    // blocks whose sums fit a byte, a loop the compiler vectorises.
    const auto* bytes = reinterpret_cast<const unsigned char*>(from);
    const std::size_t size = static_cast<std::size_t>(to - from);
    std::size_t starts = 1;
    for (std::size_t block = 1; block < size; block += 255) {
        const std::size_t stop = std::min(size, block + 255);
        std::uint8_t sum = 0;
        for (std::size_t i = block; i < stop; ++i) {
            const bool before = bytes[i - 1] <= ' ' || bytes[i - 1] == ',';
            const bool here = bytes[i] <= ' ' || bytes[i] == ',';
            sum = static_cast<std::uint8_t>(sum + (before & !here));
        }
        starts += sum;
    }
    return starts;
}

Token Lexer::binary(std::size_t start) {
    if (data_.size() - start < kBinaryHeader) {
        if (!final_) needMore(start + kBinaryHeader);
        fail(start, "binary array header cut short by the end of input");
    }
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data_[start + i]); };
    if (byte(1) != 0x02 || byte(2) != 0x03)
        fail(start, "byte 0x01 that does not start a binary array marker (01 02 03)");
    if (binaryValueSize(static_cast<char>(byte(3))) == 0) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "unknown binary array kind 0x%02x (expected c, f, r or i)",
                      byte(3));
        fail(start + 3, buf);
    }
    const BinaryHeader header = *headerAt(start);
    std::size_t bytes = static_cast<std::size_t>(header.count) * binaryValueSize(header.kind);
    std::size_t available = data_.size() - start - kBinaryHeader;
    if (bytes > available) {
        if (!final_) needMore(start + kBinaryHeader + bytes);
        fail(start, binaryCutShort(header.count, bytes, available));
    }
    Token t = makeToken(TokenKind::Binary, start, start + kBinaryHeader + bytes);
    t.binaryKind = header.kind;
    t.binaryCount = header.count;
    pos_ = t.end;
    return t;
}

std::string binaryCutShort(std::uint32_t count, std::uint64_t bytes, std::uint64_t available) {
    return "binary array of " + std::to_string(count) + " values needs " + std::to_string(bytes) +
           " bytes, but only " + std::to_string(available) + " remain";
}

Token Lexer::comment(std::size_t start) {
    const char* from = data_.data() + start + 2;
    const void* lf = std::memchr(from, '\n', data_.size() - start - 2);
    if (!lf && !final_) needMore(data_.size() + 1);
    std::size_t end =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data_.data()) : data_.size();
    Token t = makeToken(TokenKind::Comment, start, end);
    t.text = data_.substr(start + 2, end - start - 2);
    pos_ = end;
    return t;
}

// #print and #error: the writer neither quotes nor escapes the text, so its
// end is the first quote that a line feed follows where the next line can
// begin a statement (a letter, '_', '#', '"', '}', '/', a blank or the end);
// failing that, the first quote that a line feed follows.
Token Lexer::message(std::size_t start, std::size_t runEnd, TokenKind kind) {
    pos_ = runEnd;
    skipBlanks();
    if (pos_ >= data_.size()) {
        if (!final_) needMore(data_.size() + 1);
        fail(pos_, "expected '\"' after #print or #error, found end of input");
    }
    if (data_[pos_] != '"') fail(pos_, "expected '\"' after #print or #error");
    std::size_t from = pos_ + 1;
    auto finish = [&](std::size_t quote) {
        Token t = makeToken(kind, start, quote + 1);
        t.text = data_.substr(from, quote - from);
        pos_ = quote + 1;
        return t;
    };
    std::size_t firstCandidate = 0;
    for (std::size_t q = from;;) {
        const void* hit = std::memchr(data_.data() + q, '"', data_.size() - q);
        if (!hit) break;
        q = static_cast<std::size_t>(static_cast<const char*>(hit) - data_.data());
        if (q + 1 >= data_.size()) {
            if (final_) return finish(q);
            needMore(q + 2);
        }
        if (data_[q + 1] == '\n') {
            if (q + 2 >= data_.size()) {
                if (final_) return finish(q);
                needMore(q + 3);
            }
            if (canStartLine(static_cast<unsigned char>(data_[q + 2]))) return finish(q);
            if (firstCandidate == 0) firstCandidate = q;
        }
        ++q;
    }
    if (!final_) needMore(data_.size() + 1);
    if (firstCandidate != 0) return finish(firstCandidate);
    fail(start, "message text without a closing quote at the end of a line");
}

Token Lexer::run(std::size_t start) {
    std::size_t end = start;
    bool integralForm = true;  // digits and '-' only
    while (end < data_.size()) {
        const std::uint8_t kind = kRunBytes[static_cast<unsigned char>(data_[end])];
        if (kind == kEndsRun) break;
        integralForm &= kind == kIntegralByte;
        ++end;
    }
    if (end >= data_.size() && !final_) needMore(data_.size() + 1);
    const std::string_view s = data_.substr(start, end - start);
    if (s == "#print") return message(start, end, TokenKind::Print);
    if (s == "#error") return message(start, end, TokenKind::Error);
    return word(start, end, integralForm);
}

// A run other than #print and #error: a number, a hex text or blob, or a
// word. (Built in the caller's token: a number is filled in, not copied.)
Token Lexer::word(std::size_t start, std::size_t end, bool integralForm) {
    pos_ = end;
    const std::string_view s = data_.substr(start, end - start);
    Token t = makeToken(TokenKind::Word, start, end);
    t.text = s;
    if (looksNumeric(s)) {
        if (s.front() == '+') integralForm = s.size() > 1 && allIntegralBytes(s.substr(1));
        readNumber(s.front() == '+' ? s.substr(1) : s, integralForm, t);
    } else if (s.size() >= 2 && (s[0] == 'x' || s[0] == 'b') && s[1] == 'X' &&
               allHex(s.substr(2)) && (s[0] == 'b' || s.size() > 2)) {
        t.kind = s[0] == 'x' ? TokenKind::HexText : TokenKind::Blob;
        t.text = s.substr(2);
        if (t.text.size() % 2 != 0) fail(start, "odd number of hex digits in " + describe(t));
    }
    return t;
}

// `digits`: a run that looks numeric, without a leading '+'. A number makes
// `t` a Number token; a run that is no number leaves it a Word.
void Lexer::readNumber(std::string_view digits, bool integralForm, Token& t) const {
    double value = 0;
    if (integralForm && smallInteger(digits, value)) {
        t.kind = TokenKind::Number;
        t.number = value;
        t.integral = true;
        return;
    }
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc() && ptr == digits.data() + digits.size() && !digits.empty()) {
        t.kind = TokenKind::Number;
        t.number = value;
        t.integral = integralForm;
        return;
    }
    if (ec == std::errc::result_out_of_range && ptr == digits.data() + digits.size())
        fail(t.begin, "number out of range: " + std::string(shorten(t.text)));
}

}  // namespace scenefile::detail
