// Materials: the channel rules of a standard material, shaders, the display
// colour, the surfaces written, and the names kept across exports.
#include "convert/material_export.h"

#include <gmock/gmock.h>

#include <string>

#include "export_fixture.h"
#include "host/document.h"

namespace vxtest {
namespace {

using ::testing::ElementsAre;
using ::testing::SizeIs;

class MaterialTest : public ExportTest {
protected:
    // Reads the channels of the document's only material; `result` is the
    // answer of readMaterialChannels. Diffuse starts as the display colour
    // 0.65 grey, as the mesh export sets it.
    convert::MaterialRecord channels(const std::string& materialJson, bool& result) {
        load(R"({"materials": [)" + materialJson + "]}", "");
        convert::MaterialRecord record = convert::initMaterialRecord();
        result = convert::readMaterialChannels(context, *document->GetFirstMaterial(), record);
        return record;
    }
    static std::string rgb(const host::Vector& v) {
        char text[96];
        std::snprintf(text, sizeof text, "%g %g %g", v.x, v.y, v.z);
        return text;
    }
};

TEST_F(MaterialTest, ColourChannelAlwaysCountsAndItsBrightnessScales) {
    bool found = false;
    auto r = channels(R"({"channels": {"0": true}, "params": {"2100": [1, 0.5, 0], "2101": 0.5}})",
                      found);
    EXPECT_TRUE(found);
    EXPECT_EQ(rgb(r.diffuse), "0.5 0.25 0");

    // Nothing readable: still found, the diffuse stays the display colour.
    r = channels(R"({"channels": {"0": true}})", found);
    EXPECT_TRUE(found);
    EXPECT_EQ(rgb(r.diffuse), "0.65 0.65 0.65");

    // The brightness goes through single precision.
    r = channels(R"({"channels": {"0": true}, "params": {"2100": [1, 1, 1], "2101": 0.1}})", found);
    EXPECT_EQ(r.diffuse.x, static_cast<double>(0.1f));

    // A linked colour shader overrides the colour.
    r = channels(R"({"channels": {"0": true}, "params": {"2100": [1, 0, 0], "8000": {"link": "c"}},
                    "shaders": [{"id": "c", "type": "color", "params": {"1000": [0, 0, 1]}}]})",
                 found);
    EXPECT_EQ(rgb(r.diffuse), "0 0 1");
}

TEST_F(MaterialTest, LuminanceNeedsItsColourAndOtherwiseTheShaderListDecides) {
    bool found = false;
    auto r = channels(R"({"channels": {"1": true}, "params": {"2300": [0, 1, 0]}})", found);
    EXPECT_TRUE(found);
    EXPECT_EQ(rgb(r.diffuse), "0 1 0");

    r = channels(R"({"channels": {"1": true}})", found);
    EXPECT_FALSE(found);  // no colour, no shaders: the tag is refused

    r = channels(
        R"({"channels": {"1": true}, "shaders": [{"type": "color", "params": {"1000": [0.2, 0.3, 0.4]}}]})",
        found);
    EXPECT_TRUE(found);
    EXPECT_EQ(rgb(r.diffuse), "0.2 0.3 0.4");
}

TEST_F(MaterialTest, AlphaTakesTheDiffuseOnlyFromTheShaderListScanningPastBitmapsAndGradients) {
    bool found = false;
    auto r = channels(R"({"channels": {"0": true, "7": true}, "params": {"2100": [1, 0, 0]},
      "shaders": [{"type": "bitmap", "params": {"1000": {"file": "/no/such/dir/wood.png"}}},
                  {"type": "gradient", "params": {"1007": {"gradient": [
                     {"position": 0, "color": [0.1, 0.2, 0.3], "brightness": 0.5},
                     {"position": 1, "color": [1, 1, 1]}]}}},
                  {"type": "color", "params": {"1000": [0, 0.5, 1]}},
                  {"type": "color", "params": {"1000": [1, 1, 1]}}]})",
                      found);
    EXPECT_TRUE(found);
    EXPECT_EQ(rgb(r.diffuse), "0 0.5 1");  // the first colour shader ends the scan
    EXPECT_EQ(r.texturePath, "/no/such/dir/wood.png");

    // Bitmaps and gradients alone answer false, but what they set stays.
    r = channels(R"({"channels": {"7": true},
      "shaders": [{"type": 1012158, "params": {"10001": {"gradient": [{"position": 0, "color": [0.3, 0.2, 0.1]}]}}}]})",
                 found);
    EXPECT_FALSE(found);
    EXPECT_EQ(rgb(r.diffuse), "0.3 0.2 0.1");

    // A gradient without knots changes nothing.
    r = channels(
        R"({"channels": {"7": true}, "shaders": [{"type": "gradient", "params": {"1007": {"gradient": []}}}]})",
        found);
    EXPECT_EQ(rgb(r.diffuse), "0.65 0.65 0.65");
}

TEST_F(MaterialTest, SpecularFromTheSpecularChannelsOrTheReflectionChannel) {
    bool found = false;
    // The specular channel answers at once, even without a colour.
    auto r = channels(R"({"channels": {"8": true}, "params": {"3100": [0.5, 0.5, 0.5]}})", found);
    EXPECT_TRUE(found);
    EXPECT_EQ(rgb(r.specular), "0.5 0.5 0.5");
    r = channels(R"({"channels": {"9": true, "3": true}, "params": {"3100": [0.1, 0.2, 0.3]}})",
                 found);
    EXPECT_EQ(rgb(r.specular), "0.1 0.2 0.3");

    // Reflection without 3100: the stored colour 65, or zero.
    r = channels(R"({"channels": {"0": true, "3": true}, "container": {"65": [0.2, 0.2, 0.2]}})",
                 found);
    EXPECT_TRUE(found);
    EXPECT_EQ(rgb(r.specular), "0.2 0.2 0.2");
    r = channels(R"({"channels": {"3": true}})", found);
    EXPECT_FALSE(found);
    EXPECT_EQ(rgb(r.specular), "0 0 0");
}

TEST_F(MaterialTest, DisplayColourFromTheObjectOrItsLayer) {
    load(R"({"layers": [{"id": "blue", "params": {"1009": [0, 0, 1]}}, {"id": "plain"}],
      "objects": [
        {"type": "polygon", "params": {"907": 1, "908": [1, 0, 0]}},
        {"type": "polygon", "layer": "blue", "params": {"907": 3}},
        {"type": "polygon", "layer": "plain", "params": {"907": 3}},
        {"type": "polygon", "params": {"907": 3}},
        {"type": "polygon", "params": {"907": 2, "908": [1, 0, 0]}},
        {"type": "polygon"}]})");
    std::vector<std::string> colours;
    for (const host::BaseObject* o = document->GetFirstObject(); o; o = o->GetNext())
        colours.push_back(rgb(convert::readDisplayColor(context, *o)));
    EXPECT_THAT(colours, ElementsAre("1 0 0", "0 0 1", "0.65 0.65 0.65", "0.65 0.65 0.65",
                                     "0.65 0.65 0.65", "0.65 0.65 0.65"));
}

TEST_F(MaterialTest, UntexturedObjectsGetDiffuseDisplayColourMaterials) {
    load(R"({"objects": [
      {"type": "polygon", "name": "red", "params": {"907": 1, "908": [1, 0, 0]},
       "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]]},
      {"type": "polygon", "name": "grey", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]]},
      {"type": "polygon", "name": "red again", "params": {"907": 1, "908": [1, 0, 0]},
       "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(3));
    EXPECT_THAT(
        parts[0].material,
        ElementsAre("beginShader (null) tal_diffuse", "set diffuse 1 0 0", "endShader",
                    "beginMaterial Display color", "useShaderText 0 tal_diffuse", "endMaterial"));
    EXPECT_EQ(parts[1].materialName(), "Display color #1");
    EXPECT_EQ(parts[1].shaderValue("diffuse"), "0.65 0.65 0.65");
    EXPECT_EQ(parts[2].materialName(), "Display color");
}

TEST_F(MaterialTest, SpecularOrTextureGivesTheAdvancedSurfaceAboveAStrictThreshold) {
    const auto surfaceOf = [this](const std::string& specular) {
        load(R"({"materials": [{"id": "m", "name": "M", "channels": {"0": true, "8": true},
                   "params": {"2100": [0.5, 0.5, 0.5], "3100": [)" +
             specular + R"(]}}],
          "objects": [{"type": "polygon", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
                       "tags": [{"type": "texture", "material": "m"}]}]})");
        const auto parts = run();
        return parts.empty() ? std::vector<std::string>{} : parts[0].material;
    };
    EXPECT_EQ(surfaceOf("0.000001, 0, 0").front(), "beginShader (null) tal_diffuse");
    EXPECT_THAT(
        surfaceOf("0.0000011, 0, 0"),
        ElementsAre("beginShader (null) tal_advanced", "set diffuse 0.5 0.5 0.5",
                    "set specular 1.1e-06 0 0", "set fresnel 1", "set roughness 0", "set ior 1.5",
                    "set glossy 1", "set glossy_samples 9", "set alpha 1", "endShader",
                    "beginMaterial M", "useShaderText 0 tal_advanced", "endMaterial"));
}

TEST_F(MaterialTest, RefusedTagsClaimNothing) {
    load(R"({"materials": [{"id": "hair", "type": "hairMaterialNode", "name": "Hair"},
                           {"id": "empty", "name": "Empty", "channels": {"1": true}},
                           {"id": "ok", "name": "Ok", "channels": {"0": true}}],
      "objects": [{"type": "polygon", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
        "tags": [{"type": "texture", "material": "ok"}, {"type": "texture", "material": "hair"},
                 {"type": "texture", "material": "empty"}, {"type": "texture"}]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(1));
    EXPECT_EQ(parts[0].materialName(), "Ok");
}

TEST_F(MaterialTest, NamesAreNumberedPerBaseNameAndKeptAcrossExports) {
    const auto twoObjects = [](const std::string& colour, const std::string& secondOffset) {
        return R"({"materials": [{"id": "m", "name": "Wood", "channels": {"0": true}, "params": {"2100": [)" +
               colour +
               R"(]}}], "objects": [
          {"type": "polygon", "name": "a", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
           "tags": [{"type": "texture", "material": "m", "params": {"1000": 0}}]},
          {"type": "polygon", "name": "b", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
           "tags": [{"type": "texture", "material": "m", "params": {"1000": )" +
               secondOffset + "}}]}]}";
    };
    const auto names = [this]() {
        std::vector<std::string> out;
        for (const MeshPart& part : run()) out.push_back(part.materialName());
        return out;
    };
    load(twoObjects("1, 0, 0", "0"));
    EXPECT_THAT(names(), ElementsAre("Wood", "Wood"));
    load(twoObjects("1, 0, 0", "0.5"));
    EXPECT_THAT(names(), ElementsAre("Wood", "Wood #1"));
    // The same document again: the same names.
    EXPECT_THAT(names(), ElementsAre("Wood", "Wood #1"));
    // A changed colour is a new material under the same base name, even
    // alone in its scene.
    load(twoObjects("0, 1, 0", "0"));
    EXPECT_THAT(names(), ElementsAre("Wood #2", "Wood #2"));
    EXPECT_EQ(context.materialNameTable.size(), 3u);
}

TEST(MaterialNameTable, SpecularMatrixAndProjectionDoNotTellRecordsApartButNaNIsOrdered) {
    convert::MaterialNameTable table;
    convert::MaterialRecord a;
    a.name = "Display color";  // shares the base name of unnamed records
    convert::MaterialRecord b = a;
    b.specular = {1, 1, 1};
    b.projection = 2;
    b.textureMatrix.off = {5, 5, 5};
    EXPECT_EQ(table.nameFor(a), "Display color");
    EXPECT_EQ(table.nameFor(b), "Display color");
    convert::MaterialRecord unnamed;
    unnamed.diffuse = {0, 0, 0};
    EXPECT_EQ(table.nameFor(unnamed), "Display color #1");

    convert::MaterialRecord nan = a;
    nan.diffuse.x = std::nan("");
    convert::MaterialRecord wrapOff = a;
    wrapOff.wrap = false;
    EXPECT_EQ(table.nameFor(nan), "Display color #2");
    EXPECT_EQ(table.nameFor(nan), "Display color #2");
    EXPECT_EQ(table.nameFor(wrapOff), "Display color #3");
    EXPECT_EQ(table.nameFor(a), "Display color");
    EXPECT_EQ(table.size(), 4u);
}

}  // namespace
}  // namespace vxtest
