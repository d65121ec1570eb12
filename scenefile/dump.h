// Readable text of scene statements, for people and for diffs.
//
// Contract. One statement per line, blocks indented by two blanks and closed
// by "}", in file order. Texts are shown quoted whatever form the file used
// (hex texts decoded), with \n, \r, \t, \", \\ and \xNN escapes for bytes below
// 0x20; bytes of 0x80 and above (UTF-8) are shown as they are. Numbers are
// shown in their shortest exact form (floats of binary arrays as floats).
// Arrays are expanded one element per line: binary arrays announce their kind
// and count and show their values in tuples (3 for 'c', 3 for index arrays
// named triangles*, 2 for uv_tex and curve_uv, else 1). Inline shaders are
// nested blocks. The same scene content always gives the same text.
#pragma once

#include <cstdio>
#include <string>

#include "scenefile/reader.h"
#include "scenefile/tree.h"

namespace scenefile {

// Appends the text of `node` (and everything below it) at `depth`.
void dumpNode(const Node& node, int depth, std::string& out);
std::string dumpDocument(const Document& doc);

// Prints statements as a StreamReader reports them, so a scene of any size
// is dumped in bounded memory. Output is buffered; flush() before reading
// the stream elsewhere (the destructor flushes too).
class DumpSink : public SceneSink {
public:
    explicit DumpSink(std::FILE* out) : out_(out) {}
    ~DumpSink() override { flush(); }
    DumpSink(const DumpSink&) = delete;
    DumpSink& operator=(const DumpSink&) = delete;

    void beginBlock(const Node& header) override;
    void statement(Node&& node) override;
    void endBlock(const Node& header, SourcePos closingBrace) override;
    // Answers false when the stream did not take everything.
    bool flush();

private:
    void maybeFlush();
    std::FILE* out_;
    std::string pending_;
    int depth_ = 0;
    bool ok_ = true;
};

}  // namespace scenefile
