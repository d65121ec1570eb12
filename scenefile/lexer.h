// Lexer: splits scene file bytes into tokens, for the statement parser.
//
// Contract. The lexer reads a window of bytes (`data`) that starts at the
// absolute stream offset `base` on line `baseLine`. Blanks (space, tab, CR,
// VT, FF) separate tokens; a line feed is a token of its own, because it ends
// statement-style parameters. When a token might continue past the window and
// the input is not final, the lexer throws NeedMore (the caller retries the
// whole statement once more bytes arrived); when the input is final, the end
// is the End token, or a ParseError inside a token that is cut short (a
// quoted text without its closing quote, a binary array whose count runs past
// the end). It never reads outside `data`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scenefile/parse_error.h"
#include "scenefile/tree.h"

namespace scenefile::detail {

// Thrown when the window ends inside a statement and more input may come.
// `needed`: the window size (from the window's start) below which a retry
// cannot succeed; at least one byte more than the window had.
struct NeedMore {
    std::size_t needed;
};

enum class TokenKind : std::uint8_t {
    End,      // final end of input
    Newline,  // a line feed
    Word,     // a run of other bytes: keywords, bare names, "on", "off"
    Number,   // a run that reads as a number ("%g", "%d", "%.3f", nan, inf)
    Text,     // "..." (text = the bytes between the quotes)
    HexText,  // xX and hex digits (text = the digits)
    Blob,     // bX and hex digits (text = the digits)
    LBrace,
    RBrace,
    LBracket,
    RBracket,
    Comma,
    Bang,
    Binary,   // 01 02 03 kind, count, values
    Comment,  // "//" to the end of the line (text = after the slashes)
    Print,    // #print "..." (text = between the quotes)
    Error,    // #error "..."
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::size_t begin = 0;  // in the window
    std::size_t end = 0;
    std::string_view text;
    double number = 0;
    bool integral = false;
    char binaryKind = 0;
    std::uint32_t binaryCount = 0;  // scalar values; they start at end - count * size
};

// A binary array's header: marker 01 02 03, kind, 32-bit little-endian count.
inline constexpr std::size_t kBinaryHeader = 8;

struct BinaryHeader {
    std::size_t start = 0;  // of the marker, in the window
    char kind = 0;
    std::uint32_t count = 0;  // scalar values
};

// Size in bytes of one value of a binary array kind, 0 for an unknown kind.
std::size_t binaryValueSize(char kind);
// The problem of a binary array whose values run past the end of input.
std::string binaryCutShort(std::uint32_t count, std::uint64_t bytes, std::uint64_t available);
// Decodes an even number of hex digits (validated by the lexer).
std::string decodeHex(std::string_view digits);

class Lexer {
public:
    Lexer(std::string_view data, std::uint64_t base, std::uint64_t baseLine, bool final)
        : data_(data), base_(base), baseLine_(baseLine), final_(final), markLine_(baseLine) {}

    std::size_t pos() const { return pos_; }
    void seek(std::size_t pos) { pos_ = pos; }
    std::string_view data() const { return data_; }
    bool final() const { return final_; }

    Token next();  // after blanks; a line feed is a token
    // A number in its common form (a digit or '-' first) after blanks (and
    // line feeds, with `acrossLines`), whole in the window: answers true with
    // the lexer past it, as next() would read it. Otherwise false with the
    // lexer unmoved, and next() tells what the bytes are.
    bool nextPlainNumber(bool acrossLines, double& value, bool& integral);
    // Plain numbers from here on, across line feeds, appended to `tuple`;
    // then, when `tuple` holds any and a comma follows, the comma, and the
    // answer is true. Otherwise false, with the lexer after the last number.
    bool plainNumbersAndComma(std::vector<Number>& tuple);
    Token peek();
    Token nextSkippingNewlines();  // after blanks and line feeds
    Token peekSkippingNewlines();
    void skipBlankLines() {  // blanks and line feeds
        while (pos_ < data_.size() && (isBlank(data_[pos_]) || data_[pos_] == '\n')) ++pos_;
    }

    // Binary arrays whose values the caller decodes as they arrive. After
    // blanks and line feeds: whether a binary array begins (only its first
    // byte is looked at); its header, when all of it is in the window and
    // valid, with the lexer moved past it (otherwise the lexer stays and
    // next() reports what is wrong).
    bool binaryAhead() const {
        std::size_t at = pos_;
        while (at < data_.size() && (isBlank(data_[at]) || data_[at] == '\n')) ++at;
        return at < data_.size() && data_[at] == '\x01';
    }
    std::optional<BinaryHeader> nextBinaryHeader();

    // For reserving room, not for parsing: the items a list of numbers has
    // from here to the first byte that no number, blank, line feed or comma
    // has (one, and one more for each comma after a number), counting only
    // the bytes in the window.
    std::size_t numberItemsAhead() const;
    // For reserving room: at least the numbers from here to the next ']' (or
    // binary array, or the window's end) when only blanks, line feeds and
    // commas separate them, a few more where separators stand together; 0
    // when no number comes next.
    std::size_t numbersAheadEstimate() const;

    SourcePos position(std::size_t at) const;
    [[noreturn]] void fail(std::size_t at, const std::string& problem) const;
    // "expected <what>, found <token>".
    [[noreturn]] void expected(const std::string& what, const Token& found) const;
    std::string describe(const Token& token) const;

private:
    [[noreturn]] void needMore(std::size_t needed) const;
    // Space, tab, CR, VT, FF.
    static bool isBlank(char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    }
    void skipBlanks() {
        while (pos_ < data_.size() && isBlank(data_[pos_])) ++pos_;
    }
    Token tokenAtPos();  // next() after the blanks
    std::size_t afterBlankLines() const;
    std::optional<BinaryHeader> headerAt(std::size_t start) const;
    Token quoted(std::size_t start);
    Token binary(std::size_t start);
    Token comment(std::size_t start);
    Token message(std::size_t start, std::size_t runEnd, TokenKind kind);
    Token run(std::size_t start);
    Token word(std::size_t start, std::size_t end, bool integralForm);
    void readNumber(std::string_view digits, bool integralForm, Token& t) const;
    // The end of the plain number at `start` (past the window when none).
    std::size_t plainNumber(std::size_t start, double& value, bool& integral) const;

    std::string_view data_;
    std::size_t pos_ = 0;
    std::uint64_t base_;
    std::uint64_t baseLine_;
    bool final_;
    // Line counting resumes from the last position asked for, so positions
    // asked for in increasing order cost one pass over the window in all.
    mutable std::size_t markPos_ = 0;
    mutable std::uint64_t markLine_ = 0;
};

}  // namespace scenefile::detail
