// What the preview does with bad or missing input, options out of range,
// textures, and repeated renders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "preview/preview.h"
#include "tests/platform/test_files.h"
#include "tests/preview/scene_text.h"

namespace {

using namespace previewtest;
using testfiles::TempDir;

const std::string kRed = diffuse("red", "0.8 0.1 0.1");
const std::string kFront = camera("cam", "0 0 5", "0 0 -1");

// A picture of `w` x `h` pixels: the left half red, the right half green.
void writeHalves(const std::string& path, int w, int h) {
    preview::Image image{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h * 3))};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &image.rgb[static_cast<std::size_t>((y * w + x) * 3)];
            p[x < w / 2 ? 0 : 1] = 230;
        }
    preview::writePng(path, image);
}

std::string textured(const std::string& file, const std::string& placement) {
    return "material \"tex\" {\nsurface \"tal_advanced\" {\n\"diffuse\" 0 0 0.9,\n\"diffuse\" ! "
           "\"texture2_rgb\" {\n\"texture\" \"" +
           file + "\",\n\"wrap\" on,\n" + placement + "},\n}\n}\n";
}

TEST(PreviewTexture, AFlatProjectionShowsThePicturesHalvesOnTheirSides) {
    TempDir dir;
    writeHalves(dir / "halves.png", 16, 8);
    // Object coordinates -1..1 halved: the picture spans the square once.
    const std::string flat =
        "\"uv_projection\" 5,\n\"transform_obj_to_uv\" 0.5 0 0 0 0 0.5 0 0 0 0 0.5 0 0 0 0 1,\n";
    const auto r =
        render(kFront + square("quad", 1, textured("halves.png", flat)), small(), dir.path());
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_TRUE(isRed(at(r.image, 26, 24)));
    EXPECT_TRUE(isGreen(at(r.image, 38, 24)));
}

TEST(PreviewTexture, MeshUvsPutThePicturesTopLeftAtUvZero) {
    TempDir dir;
    writeHalves(dir / "halves.png", 16, 8);
    // uv (0, 0) at the right edge, (1, *) at the left: the picture mirrored.
    const std::string uvs = "\"uv_tex\" [ 1 1, 0 1, 0 0, 1 0 ],\n";
    const auto r =
        render(kFront + square("quad", 1, textured("halves.png", "\"uv_projection\" 4,\n"), uvs),
               small(), dir.path());
    EXPECT_TRUE(isGreen(at(r.image, 26, 24)));
    EXPECT_TRUE(isRed(at(r.image, 38, 24)));
}

TEST(PreviewTexture, AnUnreadableTextureWarnsOnceAndLeavesTheDiffuseColour) {
    TempDir dir;
    ::mkdir((dir / "folder.png").c_str(), 0700);
    const std::string scene =
        kFront + square("a", 1, textured("missing.png", "")) +
        square("b", 0.5, textured("missing.png", "")) +
        group("g", "1 0 0 0 0 1 0 0 0 0 1 0 3 0 0 1", square("c", 0.5, textured("folder.png", "")));
    const auto r = render(scene, small(), dir.path());
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_NE(r.warnings[0].find(dir / "missing.png"), std::string::npos) << r.warnings[0];
    EXPECT_NE(r.warnings[1].find("folder"), std::string::npos) << r.warnings[1];
    const Rgb centre = at(r.image, 32, 24);
    EXPECT_GT(centre[2], centre[0] + 60);  // the material's own blue
}

TEST(PreviewInput, ASceneWithoutMeshesIsSkyWithAWarning) {
    const auto r = render(kFront, small());
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("no meshes"), std::string::npos);
    EXPECT_TRUE(isGrey(at(r.image, 32, 24)));
}

TEST(PreviewInput, WithoutTheCameraAskedForAFramingCameraLooksFromTheFront) {
    const std::string scene = group("doc", "", square("quad", 1, kRed));
    auto r = render(scene, small());
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_TRUE(isRed(at(r.image, 32, 24)));
    auto o = small();
    o.camera = "absent";
    r = render(kFront + scene, o);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("\"absent\""), std::string::npos);
    EXPECT_TRUE(isRed(at(r.image, 32, 24)));
}

TEST(PreviewInput, BrokenMeshesAreLeftOutWithAWarningNamingThem) {
    const std::string bad =
        "object \"bad\" {\ngeometry \"triangles\" {\n\"vertices\" [ 0 0 0, 1 0 0, 0 1 0 ],\n"
        "\"triangles\" [ 0 1 7 ],\n}\n}\n"
        "object \"odd\" {\ngeometry \"triangles\" {\n\"vertices\" [ 0 0 0, 1 0 ],\n"
        "\"triangles\" [ 0 1 2 ],\n}\n}\n";
    const auto r = render(kFront + bad + square("quad", 1, kRed), small());
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_NE(r.warnings[0].find("object \"bad\""), std::string::npos) << r.warnings[0];
    EXPECT_NE(r.warnings[1].find("object \"odd\""), std::string::npos) << r.warnings[1];
    EXPECT_TRUE(isRed(at(r.image, 32, 24)));
}

TEST(PreviewInput, AnUnreadableEnvironmentMapIsNeutralGreyWithOneWarning) {
    const std::string env = "reflection map \"tal_envmap\" {\n\"texture\" \"startup.hdr\",\n}\n";
    const auto r = render(camera("cam", "0 0 5", "0 0 -1", 60, env), small());
    ASSERT_EQ(r.warnings.size(), 2u);  // no meshes, and the map
    EXPECT_NE(r.warnings[1].find("startup.hdr"), std::string::npos);
    EXPECT_TRUE(isGrey(at(r.image, 32, 24)));
}

TEST(PreviewInput, OptionsOutOfRangeAreRefused) {
    const scenefile::Document empty;
    for (auto change : {+[](preview::RenderOptions& o) { o.width = 0; },
                        +[](preview::RenderOptions& o) { o.height = 16385; },
                        +[](preview::RenderOptions& o) { o.samples = 0; },
                        +[](preview::RenderOptions& o) { o.samples = 65537; }}) {
        preview::RenderOptions o = small();
        change(o);
        EXPECT_THROW(preview::renderScene(empty, ".", o), preview::RenderError);
    }
}

TEST(PreviewInput, SceneFilesThatCannotBeReadAreRefusedByName) {
    TempDir dir;
    testfiles::writeFile(dir / "broken.vxs", "group \"g\" {\nobject \"o\" {\n");
    ASSERT_EQ(::mkfifo((dir / "fifo.vxs").c_str(), 0600), 0);
    for (const std::string name : {"broken.vxs", "fifo.vxs", "missing.vxs"}) {
        const auto started = std::chrono::steady_clock::now();
        try {
            preview::renderSceneFile(dir / name, small());
            ADD_FAILURE() << name << " was rendered";
        } catch (const preview::RenderError& e) {
            EXPECT_NE(std::string(e.what()).find(dir / name), std::string::npos) << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    }
}

TEST(PreviewInput, AProgressCallbackThatThrowsEndsTheRenderCleanly) {
    auto o = small();
    o.threads = 3;
    int calls = 0;
    const auto stopAtOnce = [&](double) {
        ++calls;
        throw std::runtime_error("cancelled");
    };
    EXPECT_THROW(preview::renderScene(scenefile::readScene(kFront + square("quad", 1, kRed)), ".",
                                      o, stopAtOnce),
                 std::runtime_error);
    EXPECT_EQ(calls, 1);
}

TEST(PreviewOutput, TheSameSceneTwiceGivesTheSamePngBytesWhateverTheThreads) {
    TempDir dir;
    testfiles::writeFile(dir / "scene.vxs", kFront + square("quad", 1, kRed));
    auto o = small(8);
    o.threads = 1;
    preview::writePng(dir / "one.png", preview::renderSceneFile(dir / "scene.vxs", o).image);
    o.threads = 3;
    preview::writePng(dir / "three.png", preview::renderSceneFile(dir / "scene.vxs", o).image);
    const std::string one = testfiles::readFile(dir / "one.png");
    EXPECT_EQ(one.substr(1, 3), "PNG");
    EXPECT_EQ(one, testfiles::readFile(dir / "three.png"));
    o.seed = 2;
    preview::writePng(dir / "other.png", preview::renderSceneFile(dir / "scene.vxs", o).image);
    EXPECT_NE(one, testfiles::readFile(dir / "other.png"));
}

TEST(PreviewOutput, APictureThatCannotBeWrittenIsAnErrorNamingThePath) {
    TempDir dir;
    const preview::Image image{2, 2, std::vector<std::uint8_t>(12, 100)};
    EXPECT_THROW(preview::writePng(dir.path(), image), preview::RenderError);
    EXPECT_THROW(preview::writePng(dir / "no/such/folder.png", image), preview::RenderError);
    const preview::Image torn{2, 2, std::vector<std::uint8_t>(5, 100)};
    EXPECT_THROW(preview::writePng(dir / "torn.png", torn), preview::RenderError);
}

}  // namespace
