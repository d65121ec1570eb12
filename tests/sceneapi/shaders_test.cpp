// Shader definitions: numbered and named shaders in the file, anonymous
// shaders captured into shader texts, and their use and linking.
#include "sceneapi/shader_text.h"
#include "test_support.h"

namespace tal::test {
namespace {

TEST(Shaders, NumberedAndNamedDefinitionsUseTheQuotedStyle) {
    MemoryScene scene;
    auto& api = scene.api;
    const float c[3] = {1, 0.5f, 0};
    api.beginGroup("g", true);
    api.beginShaderWithId("diffuse", 3);
    api.setParameter("color", kFloat3, c);
    api.endShader();
    api.setParameter("after", kFloat3, c);  // the group's style is back
    api.beginShader("wood", "texture2_rgb");
    api.endShader();
    api.useShader(kSurface, 3);
    api.useShader(kReflectionMap, 4);
    api.useShader(7, 2);
    api.endGroup();
    EXPECT_EQ(scene.text(),
              "\ngroup \"g\" {\n#define shader 3 diffuse {\n\"color\" 1 0.5 0,\n}\n"
              "after 1 0.5 0\n#define shader \"wood\" \"texture2_rgb\" {\n}\n"
              "surface 3\nreflection map 4\n// assuming surface shader\nsurface 2\n}\n");
}

TEST(Shaders, AnonymousShaderIsCapturedNotWritten) {
    MemoryScene scene;
    auto& api = scene.api;
    api.setFormatFlags(0x400000);  // no indentation, binary arrays off
    api.beginGroup("g", true);
    ASSERT_TRUE(api.beginShader(nullptr, "bitmap"));
    const int v = 2;
    api.setParameter("n", kInt, &v);
    api.endShader();
    const ShaderText* text = api.currentShaderText();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->bytes, "\"bitmap\" {\n\"n\" 2,\n}");  // no line feed after the brace
    EXPECT_FALSE(text->rawBytes);
    EXPECT_EQ(scene.text(), "\ngroup \"g\" {\n");
    api.linkShaderText("map", text);
    api.useShaderText(kShadow, text);
    api.useShaderText(9, text);
    api.useShaderText(kVolume, nullptr);  // writes nothing
    api.setParameter("st", kShaderText, &text);
    EXPECT_EQ(scene.text(),
              "\ngroup \"g\" {\n\"map\" ! \"bitmap\" {\n\"n\" 2,\n},\n"
              "shadow \"bitmap\" {\n\"n\" 2,\n}\n"
              "// assuming surface shader\nsurface \"bitmap\" {\n\"n\" 2,\n}\n"
              "st \"bitmap\" {\n\"n\" 2,\n}\n");
}

TEST(Shaders, ShaderTextParameterIsIndentedAtDepthTwo) {
    MemoryScene scene;
    auto& api = scene.api;
    api.setFormatFlags(0);
    api.beginShader(nullptr, "t");
    api.endShader();
    const ShaderText* text = api.currentShaderText();
    api.beginGroup("a", true);
    api.beginGroup("b", true);
    api.beginGroup("c", true);
    const std::string before = scene.text();
    api.setParameter("st", kShaderText, &text);
    EXPECT_EQ(scene.text().substr(before.size()), "   st   \"t\" {\n  }\n");
}

TEST(Shaders, NestedCaptureWithSavedShaderText) {
    MemoryScene scene;
    auto& api = scene.api;
    api.beginShader(nullptr, "outer");
    const ShaderText* outer = api.currentShaderText();
    api.pushShaderText();
    api.beginShader(nullptr, "inner");
    api.setParameter("bytes", kString, "a\"b");  // hex: the text holds raw bytes
    api.endShader();
    const ShaderText* inner = api.currentShaderText();
    api.popShaderText();
    EXPECT_EQ(api.currentShaderText(), outer);
    api.linkShaderText("in", inner);
    api.endShader();
    EXPECT_TRUE(inner->rawBytes);
    EXPECT_EQ(inner->bytes, "\"inner\" {\n\"bytes\" xX612262,\n}");
    EXPECT_EQ(outer->bytes, "\"outer\" {\n\"in\" ! \"inner\" {\n\"bytes\" xX612262,\n},\n}");
    EXPECT_TRUE(outer->rawBytes);  // the raw inner text went in by length
    EXPECT_EQ(scene.text(), "");
}

TEST(Shaders, RawTextIsCopiedByLengthPlainTextUpToItsFirstNul) {
    MemoryScene scene;
    auto& api = scene.api;
    ShaderText raw{std::string("a\0b", 3), true};
    ShaderText plain{std::string("a\0b", 3), false};
    api.linkShaderText("r", &raw);
    api.linkShaderText("p", &plain);
    using namespace std::string_literals;
    EXPECT_EQ(scene.text(), "\"r\" ! a\0b,\n\"p\" ! a,\n"s);
}

TEST(Shaders, TopLevelBlockEndsACapture) {
    MemoryScene scene;
    auto& api = scene.api;
    api.beginShader(nullptr, "s");
    ASSERT_TRUE(api.beginOptions());
    EXPECT_EQ(scene.text(), "\noptions {\n");
}

}  // namespace
}  // namespace tal::test
