#include "scenefile/reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "platform/regular_file.h"
#include "scenefile/line_feeds.h"
#include "scenefile/statement_parser.h"

namespace scenefile {

using detail::Head;
using detail::HeadKind;
using detail::Lexer;
using detail::NeedMore;
using detail::StatementParser;

StreamReader::StreamReader(SceneSink& sink, ReaderOptions options)
    : sink_(sink), options_(options) {}

void StreamReader::checkUsable() const {
    if (spent_) throw std::logic_error("scene reader used after a parse error or after finish");
}

namespace {

// Room for the bytes a waiting statement announced (a binary array's size),
// taken at once rather than by repeated growth, which would copy a large
// array's bytes again each time. Untouched room costs no memory.
constexpr std::size_t kMaxReserve = std::size_t{1} << 30;

void reserveFor(LargePageString& buffer, std::size_t needed) {
    if (needed > buffer.capacity() && needed > buffer.size() + (std::size_t{1} << 16))
        buffer.reserve(std::min(needed, kMaxReserve));
}

}  // namespace

void StreamReader::feed(std::string_view bytes) {
    checkUsable();
    if (binary_) {
        bytes.remove_prefix(fillBinary(bytes));
        if (binary_) return;
    }
    if (buffer_.size() + bytes.size() < retryAt_) {
        reserveFor(buffer_, retryAt_);
        buffer_.append(bytes);
        return;
    }
    spent_ = true;  // until this call returns normally
    if (buffer_.empty()) {
        // Parse in place; keep only the unfinished tail.
        std::size_t used = parse(bytes, false);
        reserveFor(buffer_, retryAt_);
        buffer_.assign(bytes.substr(used));
    } else {
        buffer_.append(bytes);
        std::size_t used = parse(buffer_, false);
        buffer_.erase(0, used);
    }
    spent_ = false;
}

void StreamReader::finish() {
    checkUsable();
    spent_ = true;
    if (binary_)
        throw ParseError(binaryAt_, detail::binaryCutShort(binary_->count(), binary_->bytes(),
                                                           binary_->received()));
    parse(buffer_, true);
    buffer_.clear();
}

void StreamReader::readAll(std::string_view bytes) {
    checkUsable();
    if (!buffer_.empty() || binary_) {
        feed(bytes);
        finish();
        return;
    }
    spent_ = true;
    parse(bytes, true);
}

std::size_t StreamReader::parse(std::string_view window, bool final) {
    Lexer lex(window, base_, line_, final);
    StatementParser parser(lex, options_.maxDepth, options_.keepBinaryValues);
    std::size_t committed = 0;
    if (pendingArray_) parser.reserveArrayItems(*pendingArray_);
    try {
        for (;;) {
            if (pendingArray_ && separatorDue_) {
                parser.parseArraySeparator();
                separatorDue_ = false;
                committed = lex.pos();
                continue;
            }
            if (pendingArray_) {
                if (std::optional<detail::BinaryHeader> header = lex.nextBinaryHeader()) {
                    binaryAt_ = lex.position(header->start);
                    binary_.emplace(header->kind, header->count, options_.keepBinaryValues);
                    const std::size_t values = lex.pos();
                    committed = values + binary_->append(window.substr(values));
                    if (binary_->missing() == 0) {
                        endBinary();
                        lex.seek(committed);
                        continue;
                    }
                    if (final)
                        throw ParseError(binaryAt_,
                                         detail::binaryCutShort(binary_->count(), binary_->bytes(),
                                                                binary_->received()));
                    // The rest of the window was the array's; its next bytes go straight to it.
                    retryAt_ = 0;
                    consume(lex, committed);
                    return committed;
                }
                bool more = parser.parseArrayStep(*pendingArray_, open_.size(), committed);
                if (!more) {
                    Node done = std::move(*pendingArray_);
                    pendingArray_.reset();
                    sink_.statement(std::move(done));
                }
                continue;
            }
            Head h = parser.parseHead(open_.size(), true);
            if (!takeHead(lex, h)) {
                committed = lex.pos();
                consume(lex, committed);
                return committed;
            }
            committed = lex.pos();
        }
    } catch (const NeedMore& more) {
        retryAt_ = more.needed - committed;
    }
    consume(lex, committed);
    return committed;
}

bool StreamReader::takeHead(const Lexer& lex, Head& h) {
    switch (h.kind) {
        case HeadKind::End:
            if (!open_.empty()) {
                const Node& b = open_.back();
                lex.fail(lex.pos(), "end of input inside the " + std::string(b.word) + " block \"" +
                                        std::string(b.name()) + "\" that began on line " +
                                        std::to_string(b.pos.line) + " (" +
                                        std::to_string(open_.size()) + " block(s) left open)");
            }
            return false;
        case HeadKind::Leaf:
            sink_.statement(std::move(h.node));
            break;
        case HeadKind::Open:
            if (open_.size() >= options_.maxDepth)
                lex.fail(h.node.pos.offset - base_,
                         "blocks nested deeper than " + std::to_string(options_.maxDepth));
            sink_.beginBlock(h.node);
            open_.push_back(std::move(h.node));
            break;
        case HeadKind::Close:
            if (open_.empty()) lex.fail(h.node.pos.offset - base_, "'}' without an open block");
            sink_.endBlock(open_.back(), h.node.pos);
            open_.pop_back();
            break;
        case HeadKind::OpenArray:
            pendingArray_ = std::move(h.node);
            break;
    }
    return true;
}

void StreamReader::consume(const Lexer& lex, std::size_t count) {
    line_ = lex.position(count).line;
    base_ += count;
}

std::size_t StreamReader::fillBinary(std::string_view bytes) {
    const std::size_t taken = binary_->append(bytes);
    line_ += detail::countLineFeeds(bytes.data(), taken);
    base_ += taken;
    if (binary_->missing() == 0) endBinary();
    return taken;
}

void StreamReader::endBinary() {
    detail::generalArray(pendingArray_->args.front()).items.emplace_back().v = binary_->take();
    binary_.reset();
    separatorDue_ = true;
}

void TreeBuilder::beginBlock(const Node& header) {
    Node& n = top().emplace_back(header);
    stack_.push_back(&n.children);
}

void TreeBuilder::statement(Node&& node) { top().push_back(std::move(node)); }

void TreeBuilder::endBlock(const Node&, SourcePos) {
    if (!stack_.empty()) stack_.pop_back();
}

Document TreeBuilder::take() {
    stack_.clear();
    return std::move(doc_);
}

Document readScene(std::string_view bytes, ReaderOptions options) {
    TreeBuilder tree;
    StreamReader reader(tree, options);
    reader.readAll(bytes);
    return tree.take();
}

std::string readFileBytes(const std::string& path) {
    // Only a regular file: a FIFO or a device named as a scene is refused
    // rather than waited on, a folder rather than read as empty.
    std::string bytes, error;
    if (!platform::readRegularFile(path, bytes, error))
        throw std::runtime_error("cannot open \"" + path + "\": " + error);
    return bytes;
}

namespace {

// Fills `piece` from `fd` up to its size or the end of the file; answers the
// bytes read.
// Fills `size` bytes at `to` from `fd`, fewer at the end of the file;
// answers the bytes read.
std::size_t readPiece(int fd, char* to, std::size_t size, const std::string& path) {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t n = ::read(fd, to + filled, size - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw std::runtime_error("cannot open \"" + path + "\": " + std::strerror(errno));
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    return filled;
}

}  // namespace

Document readSceneFile(const std::string& path, ReaderOptions options) {
    // Read in pieces through the stream reader: the file's bytes are not all
    // in memory at once beside the tree, and a piece is still in the cache
    // when it is parsed. A statement longer than half a piece would be
    // retried at each piece; the rest of the file is then read at once, so
    // that it is retried once (and, should the file grow meanwhile, at pieces
    // four times as long as what waits).
    std::string error;
    const int fd = platform::openRegularFile(path, error);
    if (fd < 0) throw std::runtime_error("cannot open \"" + path + "\": " + error);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    const std::uint64_t size =
        ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    TreeBuilder tree;
    StreamReader reader(tree, options);
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    LargePageBuffer piece(kPiece);
    for (std::uint64_t read = 0;;) {
        std::size_t want = kPiece;
        if (reader.bytesWaiting() > kPiece / 2)
            want = std::max({want, 4 * reader.bytesWaiting(),
                             static_cast<std::size_t>(size > read ? size - read : 0)});
        if (want > piece.size()) piece = LargePageBuffer(want);
        const std::size_t n = readPiece(fd, piece.data(), want, path);
        if (n == 0) break;
        read += n;
        reader.feed(std::string_view(piece.data(), n));
    }
    reader.finish();
    return tree.take();
}

}  // namespace scenefile
