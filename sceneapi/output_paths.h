// OutputPaths: the three paths through which every byte of a scene file
// leaves the writer, and the text forms built directly on them.
//
//   indenting path  K  indented(), vindentedf(): `depth` blanks before the text
//                      and after every line feed that more text follows, unless
//                      `formatFlags` has kNoIndentFlag;
//   plain path      P  plain(): the text as it is;
//   raw path           raw(): bytes by length; marks a capturing ShaderText raw.
//
// While `capturing`, all three append to `current` instead of the stream; with
// nothing to capture into, output is dropped. The stream is not owned.
//
// Blocks. Bytes bound for the stream are gathered in a block of kBlockSize
// and handed to the stream a whole block at a time, so the stream's writes
// start at multiples of the block size in the file: the page cache takes such
// writes markedly faster than writes at arbitrary offsets, and a stream left
// unbuffered by its owner passes them to the system as they are. A producer
// can fill the block in place (space, commit) instead of copying into it.
// flush() hands over what the block holds; destruction does too, so the
// stream holds everything written once the paths are gone.
//
// Long texts. Only text that printf formatting produces (vindentedf, for
// rawText) has to be materialised in the 1 MiB format
// buffer, so only that text is bounded: at most kMaxFormattedText bytes, cut
// back to the start of a UTF-8 character so that no character is split. Texts
// handed over as they are (names, quoted names, print texts, shader texts) are
// never cut, whatever their length: indentation streams them through the 1 MiB
// line buffer in pieces, and hex forms go out through the raw path in pieces.
//
// Failures. A write the stream does not take completely is not reported to the
// caller; the writer goes on, and writeError() keeps the first reason (errno)
// so that the owner of the stream can report it when it closes.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>

namespace tal {

struct ShaderText;

inline constexpr std::size_t kOutputBufferSize = std::size_t{1} << 20;   // 1 MiB
inline constexpr std::size_t kBlockSize = std::size_t{256} << 10;        // 256 KiB
inline constexpr std::size_t kMaxFormattedText = kOutputBufferSize - 2;  // 1,048,574
inline constexpr int kNoIndentFlag = 0x400000;
inline constexpr int kDefaultFormatFlags = 0x400001;

// Length of `text` (`length` bytes) after the formatted-text bound: unchanged
// up to kMaxFormattedText, else cut there or up to three bytes earlier so the
// cut falls before a UTF-8 lead byte. `text` must hold at least
// min(length, kMaxFormattedText + 1) bytes.
std::size_t boundFormattedText(const char* text, std::size_t length);

class OutputPaths {
public:
    explicit OutputPaths(std::FILE* stream);
    ~OutputPaths() { flush(); }
    OutputPaths(const OutputPaths&) = delete;
    OutputPaths& operator=(const OutputPaths&) = delete;

    // Writer state read by the paths (owned by the writer, kept here).
    int depth = 0;  // block depth = indentation width
    int formatFlags = kDefaultFormatFlags;
    bool capturing = false;         // output goes to `current`
    ShaderText* current = nullptr;  // the current shader text

    // K: the pieces as one text, never cut.
    void indented(std::initializer_list<std::string_view> pieces);
    void indented(std::string_view text) { indented({text}); }
    // K: an indentation-only write.
    void indentOnly() { indented(std::string_view{}); }
    // K: printf-style, bounded as described above.
    void vindentedf(const char* format, std::va_list args);

    // P.
    void plain(std::string_view text) { sink(text.data(), text.size()); }

    // Raw path.
    void raw(const void* bytes, std::size_t length);

    // q(text) at the current depth, or with depth 0 for its duration. A text
    // that holds a line feed, carriage return, double quote or a byte >= 0x80
    // goes out as "xX" and lowercase hex through the raw path; else quoted
    // through K. A null text counts as empty.
    void quoted(const char* text) { quote(text, indentWidth()); }
    void quotedFlat(const char* text) { quote(text, 0); }

    // "bX" and the bytes in lowercase hex, through the raw path.
    void hexBlob(const unsigned char* bytes, std::size_t length);

    // A captured shader text: raw by length when it holds raw bytes, else its
    // text up to the first NUL through K. Null writes nothing.
    void shaderText(const ShaderText* text);

    // The free part of the current block, to be filled in place and then
    // committed; never empty while bytes go to the stream. Empty while
    // capturing or without a stream: write through raw() then.
    std::span<char> space();
    // The first `length` bytes of space() are output.
    void commit(std::size_t length);
    // Hands what the block holds to the stream (not flushing the stream).
    void flush();

    int writeError() const { return error_; }

private:
    friend class PlainBatch;
    class Assembler;

    int indentWidth() const;
    void sink(const char* bytes, std::size_t length);
    void quote(const char* text, int width);
    void hex(char tag, const unsigned char* bytes, std::size_t length);
    void noteError();
    void put(const char* bytes, std::size_t length);

    std::FILE* stream_;
    std::unique_ptr<char[]> formatBuffer_;
    std::unique_ptr<char[]> lineBuffer_;
    std::unique_ptr<char[]> block_;
    std::size_t blockUsed_ = 0;
    int error_ = 0;
};

// PlainBatch: P writes of one value collected in the format buffer and
// written in as few pieces as possible (a text array of a million numbers is
// a handful of writes, not a million). The bytes are exactly those of the
// single P and indentation-only K writes it stands for. While a batch lives,
// no other call may be made on its OutputPaths; the destructor flushes.
class PlainBatch {
public:
    explicit PlainBatch(OutputPaths& out);
    ~PlainBatch() { flush(); }
    PlainBatch(const PlainBatch&) = delete;
    PlainBatch& operator=(const PlainBatch&) = delete;

    void text(std::string_view text);
    void indentOnly();
    void flush();

private:
    OutputPaths& out_;
    char* buffer_;
    std::size_t used_ = 0;
};

}  // namespace tal
