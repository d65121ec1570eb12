// Round trips: what the file writer writes for a call sequence reads back as
// that sequence, whole and in chunks, with binary or text arrays, with or
// without indentation; and the writer's golden files read without error.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>

#include "call_script.h"
#include "canonical.h"
#include "sceneapi/scene_api_file.h"
#include "scenefile/reader.h"
#include "tests/support/memory_scene.h"

namespace {

using scenefile::readScene;

struct Mode {
    bool binaryArrays;
    bool indent;
};

std::string writeScript(std::uint32_t seed, Mode mode, int statements,
                        std::vector<std::string>& expected) {
    vxtest::MemoryStream memory;
    {
        tal::talScene_api_file writer(memory.stream(), mode.binaryArrays);
        if (mode.indent) writer.setFormatFlags(mode.binaryArrays ? 1 : 0);
        expected = vxtest::CallScript(seed).run(writer, statements);
    }
    return memory.text();
}

// With indentation on, the writer indents message texts like any other text
// of the indenting path; the blanks then belong to the text as read.
void dropMessageIndentation(std::vector<std::string>& lines) {
    static const std::regex indentedMessage("(^|[;{])(print |error )(20)+");
    for (std::string& line : lines) line = std::regex_replace(line, indentedMessage, "$1$2");
}

// The first line where `got` and `expected` part, for a readable failure.
std::string firstDifference(const std::vector<std::string>& got,
                            const std::vector<std::string>& expected) {
    std::size_t i = 0;
    while (i < got.size() && i < expected.size() && got[i] == expected[i]) ++i;
    if (i == got.size() && i == expected.size()) return "";
    auto at = [&](const std::vector<std::string>& v) {
        return i < v.size() ? v[i] : std::string("(none)");
    };
    return "line " + std::to_string(i) + ":\n   read: " + at(got) + "\n   made: " + at(expected) +
           "\n   after: " + (i ? expected[i - 1] : std::string("(start)"));
}

std::vector<std::string> readInChunks(const std::string& bytes, std::mt19937& rng) {
    scenefile::TreeBuilder tree;
    scenefile::StreamReader reader(tree);
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t n = std::uniform_int_distribution<std::size_t>(1, 64)(rng);
        n = std::min(n, bytes.size() - at);
        reader.feed(std::string_view(bytes).substr(at, n));
        at += n;
    }
    reader.finish();
    return vxtest::canonicalLines(tree.take().statements);
}

TEST(RoundTrip, GeneratedCallSequencesReadBackAsMade) {
    const Mode modes[] = {{true, false}, {false, false}, {true, true}, {false, true}};
    int checked = 0;
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        for (Mode mode : modes) {
            std::vector<std::string> expected;
            std::string bytes = writeScript(seed, mode, 80, expected);
            SCOPED_TRACE("seed " + std::to_string(seed) +
                         (mode.binaryArrays ? " binary" : " text") +
                         (mode.indent ? " indented" : ""));
            std::vector<std::string> got;
            try {
                got = vxtest::canonicalLines(readScene(bytes).statements);
            } catch (const scenefile::ParseError& e) {
                FAIL() << e.what();
            }
            std::mt19937 rng(seed);
            std::vector<std::string> chunked = readInChunks(bytes, rng);
            if (mode.indent) {
                dropMessageIndentation(got);
                dropMessageIndentation(chunked);
            }
            ASSERT_EQ(firstDifference(got, expected), "");
            ASSERT_EQ(firstDifference(chunked, expected), "") << "read in chunks";
            ++checked;
        }
    }
    EXPECT_EQ(checked, 600);
}

TEST(RoundTrip, WriterGoldenFilesRead) {
    namespace fs = std::filesystem;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(VX_SCENEAPI_GOLDEN_DIR)) {
        if (entry.path().extension() != ".vxs") continue;
        SCOPED_TRACE(entry.path().string());
        std::string bytes = scenefile::readFileBytes(entry.path().string());
        EXPECT_NO_THROW(readScene(bytes));
        ++files;
    }
    EXPECT_GT(files, 0);
}

}  // namespace
