// Reading scene files: a whole file into a tree, or a stream as it arrives.
//
// Contract. StreamReader takes the bytes of a scene in chunks of any size
// (feed) and reports every statement to a SceneSink as soon as its last byte
// has arrived: a block's header when its "{" is read, each statement inside
// it, the block's end at its "}". A statement cut by the end of a chunk waits
// for the next; nothing is reported twice. finish() says the input ended:
// a statement cut short, a block left open or anything unreadable is a
// ParseError naming the byte offset and line. After a ParseError (from feed,
// finish or the sink) the reader is spent: further calls throw
// std::logic_error. The reader never reads outside the bytes it was given.
//
// Cost. A statement is parsed once it is complete, and retried only when
// enough bytes arrived for it to be. The items of a parameter's array are
// read one by one, and a binary array item is decoded into its final vector
// as its bytes arrive, once its 8-byte header is there: its bytes are
// neither kept nor rescanned. A text array gets room for as many items as
// the bytes at hand hold (from a count of their commas), so that a large one
// is not moved each time it grows. Bytes already read are dropped.
// Whole-buffer reading (readScene) parses in place, without a copy; a file
// (readSceneFile) is read in pieces of 1 MiB, never held whole beside its tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scenefile/binary_fill.h"
#include "scenefile/large_pages.h"
#include "scenefile/limits.h"
#include "scenefile/parse_error.h"
#include "scenefile/tree.h"

namespace scenefile {

namespace detail {
class Lexer;
struct Head;
}  // namespace detail

class SceneSink {
public:
    virtual ~SceneSink() = default;
    // A block's header (its children come through statement/beginBlock).
    virtual void beginBlock(const Node& header) = 0;
    // A complete statement that is not a block.
    virtual void statement(Node&& node) = 0;
    // The end of the innermost open block; `header` is its header.
    virtual void endBlock(const Node& header, SourcePos closingBrace) = 0;
};

struct ReaderOptions {
    std::size_t maxDepth = kMaxBlockDepth;  // nested blocks, inline shaders included
    // False: binary arrays keep their kind and count but not their values,
    // for a reader that only counts (the bytes are still read and their
    // length checked; nothing is stored for them).
    bool keepBinaryValues = true;
};

class StreamReader {
public:
    explicit StreamReader(SceneSink& sink, ReaderOptions options = {});
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    void feed(std::string_view bytes);
    void finish();
    // feed(bytes) and finish() in one, reading `bytes` in place.
    void readAll(std::string_view bytes);

    std::uint64_t bytesRead() const { return base_ + buffer_.size(); }
    // Bytes of an unfinished statement kept until more arrive.
    std::size_t bytesWaiting() const { return buffer_.size(); }

private:
    // Reads the statements complete in `window` (which starts at base_);
    // answers how many bytes they took.
    std::size_t parse(std::string_view window, bool final);
    void consume(const detail::Lexer& lex, std::size_t count);
    // Hands a statement's head to the sink and the open blocks; answers false
    // at the end of the input.
    bool takeHead(const detail::Lexer& lex, detail::Head& h);
    // Bytes for the binary array in flight; answers how many it took.
    std::size_t fillBinary(std::string_view bytes);
    void endBinary();
    void checkUsable() const;

    SceneSink& sink_;
    ReaderOptions options_;
    LargePageString buffer_;                    // bytes after the last complete statement
    std::uint64_t base_ = 0;                    // stream offset of buffer_'s first byte
    std::uint64_t line_ = 1;                    // line of that byte
    std::size_t retryAt_ = 0;                   // buffer size below which parsing cannot progress
    std::vector<Node> open_;                    // headers of the open blocks, outermost first
    std::optional<Node> pendingArray_;          // a parameter whose array items are arriving
    std::optional<detail::BinaryFill> binary_;  // its binary array item whose values are arriving
    SourcePos binaryAt_;                        // where that array began
    bool separatorDue_ = false;  // its last item was such an array: the separator is next
    bool spent_ = false;
};

// A SceneSink that builds the Document.
class TreeBuilder : public SceneSink {
public:
    void beginBlock(const Node& header) override;
    void statement(Node&& node) override;
    void endBlock(const Node& header, SourcePos closingBrace) override;
    Document take();

private:
    std::vector<Node>& top() { return stack_.empty() ? doc_.statements : *stack_.back(); }
    Document doc_;
    std::vector<std::vector<Node>*> stack_;  // children of the open blocks
};

// The whole scene in `bytes`; ParseError on bad input.
Document readScene(std::string_view bytes, ReaderOptions options = {});
// The file's bytes; std::runtime_error when it cannot be read.
std::string readFileBytes(const std::string& path);
Document readSceneFile(const std::string& path, ReaderOptions options = {});

}  // namespace scenefile
