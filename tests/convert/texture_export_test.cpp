// Textures: the file search, the placement from the texture tag, the flat
// projection matrix and the "texture2_rgb" shader the material links.
#include "convert/texture_export.h"

#include <gmock/gmock.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "export_fixture.h"
#include "host/math.h"
#include "platform/file_probe.h"
#include "tests/platform/test_files.h"

namespace vxtest {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::SizeIs;

std::string join(const tal::Matrix16& m) {
    std::string out;
    for (const double v : m) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        out += (out.empty() ? "" : " ") + std::string(text);
    }
    return out;
}

class TextureSearch : public ExportTest {
protected:
    void SetUp() override {
        ExportTest::SetUp();
        root = testfiles::makeTempDir("vx-texture");
        fs::create_directories(root / "doc" / "tex");
    }
    void TearDown() override {
        fs::remove_all(root);
        ExportTest::TearDown();
    }
    void touch(const fs::path& p) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "png";
    }
    std::string find(const std::string& stored, const std::string& leaf,
                     const std::string& directory) {
        return convert::findTextureFile(stored, leaf, directory, platform::systemFileProbe());
    }
    fs::path root;
};

TEST_F(TextureSearch, StoredPathThenTheTexFolderThenTheDocumentFolder) {
    const std::string doc = (root / "doc").string();
    touch(root / "doc" / "tex" / "wood.png");
    touch(root / "doc" / "stone.png");
    touch(root / "elsewhere.png");

    const std::string elsewhere = (root / "elsewhere.png").string();
    EXPECT_EQ(find(elsewhere, "elsewhere.png", doc), elsewhere);  // found where stored
    EXPECT_EQ(find("wood.png", "wood.png", doc), doc + "/tex/wood.png");
    EXPECT_EQ(find("/gone/stone.png", "stone.png", doc), doc + "/stone.png");
    EXPECT_EQ(find("/gone/marble.png", "marble.png", doc),
              "/gone/marble.png");                            // nowhere: as stored
    EXPECT_EQ(find("wood.png", "wood.png", ""), "wood.png");  // never saved
    EXPECT_EQ(find("", "", doc), "");
    // A folder of that name is no texture.
    fs::create_directories(root / "doc" / "tex" / "brick.png");
    touch(root / "doc" / "brick.png");
    EXPECT_EQ(find("/gone/brick.png", "brick.png", doc), doc + "/brick.png");
}

// The working folder once decided whether a relative path was found, so the
// same document exported differently from two folders.
TEST_F(TextureSearch, RelativePathsAreFoundFromTheDocumentsFolderWhateverTheWorkingFolder) {
    const std::string doc = (root / "doc").string();
    touch(root / "doc" / "maps" / "wood.png");
    touch(root / "doc" / "tex" / "wood.png");
    touch(root / "doc" / "tex" / "gone.png");
    touch(root / "other" / "maps" / "gone.png");
    const fs::path saved = fs::current_path();
    for (const fs::path& cwd : {root / "other", root / "doc", root / "doc" / "tex"}) {
        fs::current_path(cwd);
        // Found from the document's folder: written as stored.
        EXPECT_EQ(find("maps/wood.png", "wood.png", doc), "maps/wood.png") << cwd;
        // Only the working folder has it: the search goes on beside the document.
        EXPECT_EQ(find("maps/gone.png", "gone.png", doc), doc + "/tex/gone.png") << cwd;
        // Unsaved: nowhere to look, as stored.
        EXPECT_EQ(find("maps/gone.png", "gone.png", ""), "maps/gone.png") << cwd;
    }
    fs::current_path(saved);
}

TEST_F(TextureSearch, BitmapShaderResolvedAgainstTheDocumentsFolderAndWrittenAsTextureShader) {
    touch(root / "doc" / "tex" / "checker.png");
    load(R"({"materials": [{"id": "m", "name": "Checker", "channels": {"0": true},
        "params": {"2100": [1, 1, 1], "8000": {"link": "b"}},
        "shaders": [{"id": "b", "type": "bitmap", "params": {"1000": {"file": "C/old/place/checker.png"}}}]}],
      "objects": [{"type": "polygon", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
        "tags": [{"type": "texture", "material": "m",
                  "params": {"1004": 6, "1000": 0.25, "1001": 0.5, "1002": 2, "1003": 4, "1007": 0}}]}]})",
         (root / "doc").string());
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(1));
    const std::string path = (root / "doc" / "tex" / "checker.png").string();
    EXPECT_THAT(
        parts[0].material,
        ElementsAre("beginShader (null) texture2_rgb", "set texture " + path,
                    "set default_color 0 0 0", "set wrap 0", "set uv_projection 4", "set scale_u 2",
                    "set scale_v 4", "set shift_u 0.25", "set shift_v 0.5", "set uv_flags 62",
                    "endShader", "beginShader (null) tal_advanced", "set diffuse 1 1 1",
                    "set specular 0 0 0", "set fresnel 1", "set roughness 0", "set ior 1.5",
                    "set glossy 1", "set glossy_samples 9", "set alpha 1",
                    "linkShaderText diffuse texture2_rgb", "endShader", "beginMaterial Checker",
                    "useShaderText 0 tal_advanced", "endMaterial"));
}

TEST_F(ExportTest, FlatProjectionWritesTheHalvedInverseOfTheTextureMatrix) {
    load(
        R"({"materials": [{"id": "m", "name": "Flat", "channels": {"0": true}, "params": {"8000": {"link": "b"}},
        "shaders": [{"id": "b", "type": "bitmap", "params": {"1000": {"file": "flat.png"}}}]}],
      "objects": [{"type": "polygon", "points": [[0,0,0],[0,1,0],[1,0,0]], "polygons": [[0,1,2]],
        "tags": [{"type": "texture", "material": "m", "params": {"1004": 2},
                  "textureMatrix": {"off": [10, 0, 0], "v1": [0, 2, 0], "v2": [-2, 0, 0], "v3": [0, 0, 4]}}]}]})");
    const auto parts = run();
    ASSERT_THAT(parts, SizeIs(1));
    EXPECT_EQ(parts[0].shaderValue("texture"), "flat.png");
    EXPECT_EQ(parts[0].shaderValue("uv_projection"), "5");
    EXPECT_EQ(parts[0].shaderValue("uv_flags"), "");
    // The placement maps p to (10 - 2y, 2x, 4z); its inverse maps q to
    // (q.y / 2, (10 - q.x) / 2, q.z / 4), written halved.
    EXPECT_EQ(parts[0].shaderValue("transform_obj_to_uv"),
              "0 -0.25 0 0 0.25 0 0 0 0 0 0.125 0 0 2.5 0 1");
}

TEST(FlatProjection, IdentityAndSingularMatrices) {
    EXPECT_EQ(join(convert::flatProjectionMatrix(host::Matrix{})),
              "0.5 0 0 0 0 0.5 0 0 0 0 0.5 0 0 0 0 1");
    host::Matrix flat;
    flat.off = {3, 4, 5};
    flat.v3 = {0, 0, 0};  // no z axis: no inverse, the identity is used
    EXPECT_EQ(join(convert::flatProjectionMatrix(flat)), "0.5 0 0 0 0 0.5 0 0 0 0 0.5 0 0 0 0 1");
    // The demo's placement: axes of length 50.
    host::Matrix scaled;
    scaled.v1 = {50, 0, 0};
    scaled.v2 = {0, 50, 0};
    scaled.v3 = {0, 0, 50};
    EXPECT_EQ(join(convert::flatProjectionMatrix(scaled)),
              "0.01 0 0 0 0 0.01 0 0 0 0 0.01 0 0 0 0 1");
}

}  // namespace
}  // namespace vxtest
