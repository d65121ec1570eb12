#include "sceneapi/output_paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "sceneapi/shader_text.h"

namespace tal {

namespace {

bool needsHex(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || c == '\r' || c == '"' || c >= 0x80) return true;
    }
    return false;
}

}  // namespace

std::size_t boundFormattedText(const char* text, std::size_t length) {
    if (length <= kMaxFormattedText) return length;
    // text[n] is the first byte left out. While it continues a UTF-8 character
    // the cut would split that character, so move the cut before its lead byte
    // (a character has at most three continuation bytes).
    std::size_t n = kMaxFormattedText;
    for (int i = 0; i < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80; ++i) {
        --n;
    }
    return n;
}

// Builds one K text in the line buffer: indentation before the text and after
// each line feed that more text follows. A text longer than the buffer is
// handed on in buffer-sized pieces, so nothing is cut and nothing overruns.
class OutputPaths::Assembler {
public:
    Assembler(OutputPaths& out, int width)
        : out_(out), buffer_(out.lineBuffer_.get()), width_(static_cast<std::size_t>(width)) {}
    ~Assembler() { out_.sink(buffer_, used_); }
    Assembler(const Assembler&) = delete;
    Assembler& operator=(const Assembler&) = delete;

    void blanks() {
        std::size_t n = width_;
        while (n > 0) {
            const std::size_t k = std::min(n, room());
            std::memset(buffer_ + used_, ' ', k);
            used_ += k;
            n -= k;
        }
        indentDue_ = false;
    }

    void put(std::string_view text) {
        const char* p = text.data();
        const char* const end = p + text.size();
        while (p < end) {
            if (indentDue_) blanks();
            const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
            const char* stop = lf ? static_cast<const char*>(lf) + 1 : end;
            copy(p, static_cast<std::size_t>(stop - p));
            p = stop;
            indentDue_ = lf != nullptr;
        }
    }

private:
    std::size_t room() {
        if (used_ == kOutputBufferSize) {
            out_.sink(buffer_, used_);
            used_ = 0;
        }
        return kOutputBufferSize - used_;
    }
    void copy(const char* p, std::size_t n) {
        while (n > 0) {
            const std::size_t k = std::min(n, room());
            std::memcpy(buffer_ + used_, p, k);
            used_ += k;
            p += k;
            n -= k;
        }
    }

    OutputPaths& out_;
    char* buffer_;
    std::size_t width_;
    std::size_t used_ = 0;
    bool indentDue_ = false;
};

OutputPaths::OutputPaths(std::FILE* stream)
    : stream_(stream),
      formatBuffer_(std::make_unique_for_overwrite<char[]>(kOutputBufferSize)),
      lineBuffer_(std::make_unique_for_overwrite<char[]>(kOutputBufferSize)),
      block_(std::make_unique_for_overwrite<char[]>(kBlockSize)) {}

int OutputPaths::indentWidth() const {
    if ((formatFlags & kNoIndentFlag) != 0) return 0;
    return std::max(depth, 0);
}

void OutputPaths::noteError() {
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
}

void OutputPaths::sink(const char* bytes, std::size_t length) {
    if (length == 0) return;
    if (capturing) {
        if (current != nullptr) current->bytes.append(bytes, length);
        return;
    }
    if (stream_ == nullptr) return;
    while (length > 0) {
        if (blockUsed_ == 0 && length >= kBlockSize) {
            // Whole blocks go out from the caller's bytes, still aligned.
            const std::size_t whole = length - length % kBlockSize;
            put(bytes, whole);
            bytes += whole;
            length -= whole;
            continue;
        }
        const std::size_t n = std::min(length, kBlockSize - blockUsed_);
        std::memcpy(block_.get() + blockUsed_, bytes, n);
        commit(n);
        bytes += n;
        length -= n;
    }
}

void OutputPaths::put(const char* bytes, std::size_t length) {
    if (length > 0 && std::fwrite(bytes, 1, length, stream_) != length) noteError();
}

std::span<char> OutputPaths::space() {
    if (capturing || stream_ == nullptr) return {};
    return {block_.get() + blockUsed_, kBlockSize - blockUsed_};
}

void OutputPaths::commit(std::size_t length) {
    blockUsed_ += std::min(length, kBlockSize - blockUsed_);
    if (blockUsed_ == kBlockSize) flush();
}

void OutputPaths::flush() {
    if (stream_ != nullptr) put(block_.get(), blockUsed_);
    blockUsed_ = 0;
}

void OutputPaths::raw(const void* bytes, std::size_t length) {
    if (capturing && current != nullptr) current->rawBytes = true;
    sink(static_cast<const char*>(bytes), length);
}

void OutputPaths::indented(std::initializer_list<std::string_view> pieces) {
    const int width = indentWidth();
    if (width == 0 && pieces.size() == 1) {
        sink(pieces.begin()->data(), pieces.begin()->size());
        return;
    }
    Assembler text(*this, width);
    text.blanks();
    for (std::string_view piece : pieces) text.put(piece);
}

void OutputPaths::vindentedf(const char* format, std::va_list args) {
    if (format == nullptr) return;
    char* buffer = formatBuffer_.get();
    const int r = std::vsnprintf(buffer, kOutputBufferSize, format, args);
    const std::size_t n = r < 0 ? 0 : std::min(static_cast<std::size_t>(r), kOutputBufferSize - 1);
    indented(std::string_view(buffer, boundFormattedText(buffer, n)));
}

void OutputPaths::quote(const char* text, int width) {
    const char* t = text != nullptr ? text : "";
    const std::size_t length = std::strlen(t);
    if (length > 0 && needsHex(t, length)) {
        hex('x', reinterpret_cast<const unsigned char*>(t), length);
        return;
    }
    // No line feed inside, so indentation can only come before the text.
    if (width == 0 && length + 2 <= kOutputBufferSize) {
        char* buffer = formatBuffer_.get();
        buffer[0] = '"';
        std::memcpy(buffer + 1, t, length);
        buffer[length + 1] = '"';
        sink(buffer, length + 2);
        return;
    }
    const int saved = depth;
    depth = width;
    indented({"\"", std::string_view(t, length), "\""});
    depth = saved;
}

void OutputPaths::hexBlob(const unsigned char* bytes, std::size_t length) {
    hex('b', bytes, length);
}

void OutputPaths::hex(char tag, const unsigned char* bytes, std::size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const char prefix[2] = {tag, 'X'};
    raw(prefix, 2);
    if (bytes == nullptr) return;
    // Converted in pieces that fill the format buffer, so a blob of any size
    // goes out whole.
    char* buffer = formatBuffer_.get();
    constexpr std::size_t kPiece = kOutputBufferSize / 2;
    for (std::size_t start = 0; start < length; start += kPiece) {
        const std::size_t n = std::min(kPiece, length - start);
        for (std::size_t i = 0; i < n; ++i) {
            buffer[2 * i] = kDigits[bytes[start + i] >> 4];
            buffer[2 * i + 1] = kDigits[bytes[start + i] & 0x0F];
        }
        raw(buffer, 2 * n);
    }
}

void OutputPaths::shaderText(const ShaderText* text) {
    if (text == nullptr) return;
    if (text == current && capturing) {
        // Appending a text to itself: take a copy first.
        const ShaderText copy = *text;
        shaderText(&copy);
        return;
    }
    if (text->rawBytes) {
        raw(text->bytes.data(), text->bytes.size());
    } else {
        indented(std::string_view(text->bytes.c_str()));
    }
}

PlainBatch::PlainBatch(OutputPaths& out) : out_(out), buffer_(out.formatBuffer_.get()) {}

void PlainBatch::flush() {
    out_.sink(buffer_, used_);
    used_ = 0;
}

void PlainBatch::text(std::string_view text) {
    if (text.empty()) return;
    if (text.size() > kOutputBufferSize - used_) {
        flush();
        if (text.size() > kOutputBufferSize) {
            out_.plain(text);
            return;
        }
    }
    std::memcpy(buffer_ + used_, text.data(), text.size());
    used_ += text.size();
}

void PlainBatch::indentOnly() {
    const auto width = static_cast<std::size_t>(out_.indentWidth());
    if (width == 0) return;
    if (width > kOutputBufferSize - used_) {
        flush();
        if (width > kOutputBufferSize) {
            out_.indentOnly();
            return;
        }
    }
    std::memset(buffer_ + used_, ' ', width);
    used_ += width;
}

}  // namespace tal
