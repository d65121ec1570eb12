// Texts near and over the 1 MiB buffers: formatted text is cut only past
// 1,048,574 bytes and never inside a UTF-8 character; names, print texts and
// hex forms go out whole at any length, indented or not.
#include "sceneapi/output_paths.h"

#include "test_support.h"

namespace tal::test {
namespace {

std::string formatted(const std::string& text) {
    MemoryScene scene;
    scene.api.rawText("%s", text.c_str());
    return scene.text();
}

TEST(FormattedText, CutOnlyPastTheLimitAndBeforeACharacter) {
    const std::string fits(kMaxFormattedText, 'a');
    EXPECT_EQ(formatted(fits), fits);

    const std::string pad(kMaxFormattedText - 1, 'a');
    EXPECT_EQ(formatted(pad + "\xc3\xa9" + "tail"), pad);  // 2-byte character on the limit
    const std::string pad3(kMaxFormattedText - 3, 'a');
    EXPECT_EQ(formatted(pad3 + "\xf0\x9f\x98\x80"), pad3);  // 4-byte character on the limit
    EXPECT_EQ(formatted(pad + "bc"), pad + "b");            // plain ASCII: cut at the limit
}

TEST(LongTexts, NamesAreNeverCut) {
    const std::string name(3 * kOutputBufferSize, 'n');
    MemoryScene scene;
    scene.api.beginGroup(name.c_str(), true);
    EXPECT_EQ(scene.text(), "\ngroup \"" + name + "\" {\n");
}

TEST(LongTexts, HexFormOfALongNameIsWhole) {
    std::string name(kOutputBufferSize, 'a');
    name.back() = '\n';
    MemoryScene scene;
    const int v = 1;
    scene.api.setParameter(name.c_str(), kInt, &v);
    const std::string text = scene.text();
    ASSERT_EQ(text.size(), 2 + 2 * name.size() + 4);
    EXPECT_EQ(text.substr(0, 6), "xX6161");
    EXPECT_EQ(text.substr(text.size() - 6), "0a 1,\n");
}

TEST(LongTexts, IndentationStreamsPastTheLineBuffer) {
    std::string body;
    while (body.size() < 2 * kOutputBufferSize) body += std::string(999, 'x') + "\n";
    MemoryScene scene;
    scene.api.setFormatFlags(0);
    scene.api.beginGroup("a", true);
    scene.api.beginGroup("b", true);
    const std::size_t start = scene.text().size();
    scene.api.print(body.c_str());
    std::string expected = "  #print \"  ";
    for (std::size_t i = 0; i < body.size(); ++i) {
        expected += body[i];
        if (body[i] == '\n' && i + 1 < body.size()) expected += "  ";
    }
    EXPECT_EQ(scene.text().substr(start), expected + "\"\n");
}

}  // namespace
}  // namespace tal::test
