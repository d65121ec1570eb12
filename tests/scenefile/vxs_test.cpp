// The vxs commands' logic: info counts, structural checks, the dump's text,
// and glTF output read back by tinygltf's loader.
#include <gtest/gtest.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "scene_samples.h"
#include "scenefile/dump.h"
#include "scenefile/reader.h"
#include "scenefile/scene_stats.h"
#include "tests/platform/test_files.h"
#include "vxs/gltf_export.h"
#include "vxs/scene_check.h"
#include "vxs/utf8_text.h"

namespace {

namespace fs = std::filesystem;
using scenefile::readScene;

std::string binaryArray(char kind, std::uint32_t count, const void* values, std::size_t valueSize) {
    std::string out = {'\x01', '\x02', '\x03', kind};
    for (int i = 0; i < 4; ++i) out += static_cast<char>((count >> (8 * i)) & 0xff);
    out.append(static_cast<const char*>(values), count * valueSize);
    return out;
}

std::vector<std::string> problemsOf(const std::string& text) {
    std::vector<std::string> out;
    for (const vxs::Problem& p : vxs::checkScene(readScene(text)))
        out.push_back(vxs::formatProblem(p));
    return out;
}

TEST(VxsInfo, CountsWhatTheSceneHolds) {
    for (bool binary : {true, false}) {
        std::string bytes = vxtest::exportLikeScene(binary);
        scenefile::SceneStats s = scenefile::collectStats(readScene(bytes), bytes.size());
        const vxtest::SampleCounts& c = vxtest::kExportLike;
        EXPECT_EQ(s.fileSize, bytes.size());
        EXPECT_EQ(s.objects, c.objects);
        EXPECT_EQ(s.groups, c.groups);
        EXPECT_EQ(s.triangles, c.triangles);
        EXPECT_EQ(s.vertices, c.vertices);
        EXPECT_EQ(s.materials.size(), c.materials);
        EXPECT_EQ(s.textures.size(), c.textures);
        EXPECT_EQ(s.cameras, c.cameras);
        EXPECT_EQ(s.lights, c.lights);
        EXPECT_EQ(s.hairCurves, c.hairCurves);
        EXPECT_EQ(s.animations, c.animations);
        EXPECT_EQ(s.materials.at("Wood"), "tal_advanced");
        EXPECT_EQ(s.materials.at("Light"), "tal_point_light");
        EXPECT_EQ(*s.textures.begin(), "tex/wood.png");
        EXPECT_EQ(*s.environmentMaps.begin(), "startup.hdr");
    }
}

TEST(VxsInfo, MaterialsByDefinitionAndNumberedShaders) {
    scenefile::SceneStats s =
        scenefile::collectStats(readScene("#define shader 3 tal_diffuse {\n}\n"
                                          "#define material \"Shared\" {\nsurface 3\n}\n"
                                          "object \"a\" {\nmaterial \"Shared\"\n}\n"),
                                0);
    EXPECT_EQ(s.materials.at("Shared"), "tal_diffuse");
    EXPECT_EQ(s.objects, 1u);
}

TEST(VxsCheck, WriterScenesPass) {
    EXPECT_EQ(problemsOf(vxtest::exportLikeScene(true)), std::vector<std::string>{});
    EXPECT_EQ(problemsOf(vxtest::exportLikeScene(false)), std::vector<std::string>{});
    EXPECT_EQ(problemsOf(vxtest::gridScene(5, 3, true)), std::vector<std::string>{});
}

TEST(VxsCheck, FindsInconsistentArraysAndDanglingReferences) {
    const float zeros[2] = {0, 0};
    const std::string geometry =
        "object \"o\" {\ngeometry \"triangles\" {\n\"vertices\" [ 0 0 0,1 0 0,0 1 0 ] ,\n";
    struct Case {
        std::string text;
        const char* says;
    } cases[] = {
        {geometry + "\"triangles\" [ 0,1,3 ] ,\n}\n}\n",
         "line 4, byte 71: object \"o\": geometry \"triangles\": triangles[2] = 3 is outside the 3 "
         "vertices"},
        {geometry + "\"triangles\" [ 0,1,-1,0,5,1 ] ,\n}\n}\n",
         "triangles[2] = -1 is outside the 3 vertices (2 such indices)"},
        {geometry + "\"triangles\" [ 0,1 ] ,\n}\n}\n",
         "triangles holds 2 indices, not whole triangles"},
        {geometry + "\"normals\" [ 0 0 1 ] ,\n\"triangles_norm\" [ 0,0,1 ] ,\n\"triangles\" [ "
                    "0,1,2 ] ,\n}\n}\n",
         "triangles_norm[2] = 1 is outside the 1 normals"},
        {geometry + "\"normals\" [ 0 0 1 ] ,\n\"triangles_norm\" [ 0,0 ] ,\n\"triangles\" [ 0,1,2 "
                    "] ,\n}\n}\n",
         "triangles_norm holds 2 indices for 3 triangle corners"},
        {geometry + "\"normals\" [ 0 0 1 ] ,\n\"triangles\" [ 0,1,2 ] ,\n}\n}\n",
         "normals without triangles_norm holds 1 normals for 3 vertices"},
        {geometry + "\"uv_tex\" [ 0,0,1 ] ,\n\"triangles_uv\" [ 0,0,0 ] ,\n\"triangles\" [ 0,1,2 ] "
                    ",\n}\n}\n",
         "uv_tex holds 3 values, not a whole number of 2-tuples"},
        {geometry + "\"triangles_uv\" [ 0,0,0 ] ,\n\"triangles\" [ 0,1,2 ] ,\n}\n}\n",
         "triangles_uv without uv_tex"},
        {geometry + "\"triangles\" [ 0,1.5,2 ] ,\n}\n}\n", "triangles is not an array of integers"},
        {"object \"o\" {\ngeometry \"triangles\" {\n}\n}\n", "no vertices"},
        {"geometry \"tal_bezier_curves\" {\n\"p\" [ 0 0 0,0 1 0,0 2 0 ] ,\n\"nvertices\" [ 2,2 ] "
         ",\n}\n",
         "nvertices add up to 4 points, p holds 3"},
        {"geometry \"tal_bezier_curves\" {\n\"p\" [ 0 0 0,0 1 0 ] ,\n\"pr\" [ 1 ] ,\n\"nvertices\" "
         "[ 2 ] ,\n}\n",
         "pr holds 1 radii for 2 points"},
        {"animation \"fbx_animation\" \"x\" {\n\"matrices\" [ 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 \n] "
         ",\n"
         "\"timestamps\" [ 0,33 ] ,\n}\n",
         "2 timestamps for 1 matrices"},
        {"material \"m\" {\nsurface 4\n}\n", "shader 4 is used but not defined"},
        {"\"diffuse\" ! 9,\n", "shader 9 is used but not defined"},
        {"object \"o\" {\nmaterial \"nowhere\"\n}\n",
         "material \"nowhere\" is used but not defined"},
        {"\"v\" [ " + binaryArray('c', 2, zeros, 4) + "] ,\n",
         "binary float-triple array of 2 values is not a whole number of triples"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> problems = problemsOf(c.text);
        ASSERT_EQ(problems.size(), 1u)
            << (problems.empty() ? "" : problems[0] + " / " + problems.back());
        EXPECT_NE(problems[0].find(c.says), std::string::npos) << problems[0];
    }
}

TEST(VxsCheck, ListsAtMostTheLimit) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "\"d\" ! " + std::to_string(i) + ",\n";
    EXPECT_EQ(vxs::checkScene(readScene(text), 20).size(), 20u);
    EXPECT_EQ(vxs::checkScene(readScene(text)).size(), 30u);
}

TEST(VxsDump, ReadableTextWithArraysExpanded) {
    const float uv[2] = {1.0f, 0.5f};
    std::string text = "group xX610a62 {\n\"uv_tex\" [ " + binaryArray('f', 2, uv, 4) +
                       "] ,\nsurface \"tal_diffuse\" {\n\"diffuse\" 0.65 0.65 0.65,\n}\n"
                       "\"names\" [ \"a\",\n\"b\" \n] ,\n}\n";
    EXPECT_EQ(scenefile::dumpDocument(readScene(text)),
              "group \"a\\nb\" {\n"
              "  \"uv_tex\" binary f 2 values [\n"
              "    1 0.5\n"
              "  ]\n"
              "  surface shader \"tal_diffuse\" {\n"
              "    \"diffuse\" 0.65 0.65 0.65\n"
              "  }\n"
              "  \"names\" [\n"
              "    \"a\"\n"
              "    \"b\"\n"
              "  ]\n"
              "}\n");
}

TEST(VxsDump, StreamingDumpMatchesTheTreeDump) {
    std::string bytes = vxtest::exportLikeScene(true);
    const testfiles::TempDir dir("vxs-dump");
    std::string path = dir / "dump.txt";
    {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"),
                                                            &std::fclose);
        scenefile::DumpSink sink(out.get());
        scenefile::StreamReader reader(sink);
        for (std::size_t at = 0; at < bytes.size(); at += 100)
            reader.feed(std::string_view(bytes).substr(at, 100));
        reader.finish();
        ASSERT_TRUE(sink.flush());
    }
    EXPECT_EQ(scenefile::readFileBytes(path), scenefile::dumpDocument(readScene(bytes)));
    fs::remove(path);
}

// Loads a glTF file with tinygltf's reader, images not decoded.
tinygltf::Model loadGltf(const std::string& path) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader([](tinygltf::Image*, int, std::string*, std::string*, int, int,
                             const unsigned char*, int, void*) { return true; },
                          nullptr);
    tinygltf::Model model;
    std::string err, warn;
    bool ok = path.ends_with(".glb") ? loader.LoadBinaryFromFile(&model, &err, &warn, path)
                                     : loader.LoadASCIIFromFile(&model, &err, &warn, path);
    EXPECT_TRUE(ok) << err;
    return model;
}

std::size_t countOf(const tinygltf::Model& m, bool triangles) {
    std::size_t n = 0;
    for (const auto& mesh : m.meshes)
        for (const auto& p : mesh.primitives)
            n += triangles
                     ? m.accessors[static_cast<std::size_t>(p.indices)].count / 3
                     : m.accessors[static_cast<std::size_t>(p.attributes.at("POSITION"))].count;
    return n;
}

class VxsConvert : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::makeTempDir("vxs-gltf");
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(VxsConvert, GridLoadsWithTheSceneCounts) {
    for (const char* name : {"grid.gltf", "grid.glb"}) {
        SCOPED_TRACE(name);
        std::string path = (dir_ / name).string();
        vxs::GltfSummary s = vxs::writeGltf(readScene(vxtest::gridScene(20, 10, true)), path);
        EXPECT_TRUE(s.warnings.empty());
        tinygltf::Model m = loadGltf(path);
        EXPECT_EQ(countOf(m, false), 21u * 11u)
            << "corners with one normal and uv per vertex weld back";
        EXPECT_EQ(countOf(m, true), 20u * 10u * 2u);
        const auto& prim = m.meshes.at(0).primitives.at(0);
        EXPECT_TRUE(prim.attributes.count("NORMAL"));
        EXPECT_TRUE(prim.attributes.count("TEXCOORD_0"));
        EXPECT_EQ(m.materials.at(static_cast<std::size_t>(prim.material)).name, "Display color");
        EXPECT_NEAR(m.materials[0].pbrMetallicRoughness.baseColorFactor[0], 0.65, 1e-6);
    }
}

TEST_F(VxsConvert, HierarchyTransformsAndMaterials) {
    std::string path = (dir_ / "scene.gltf").string();
    vxs::GltfSummary s = vxs::writeGltf(readScene(vxtest::exportLikeScene(true)), path);
    EXPECT_TRUE(fs::exists(dir_ / "scene.bin"));
    tinygltf::Model m = loadGltf(path);
    EXPECT_EQ(countOf(m, true), 22u);
    EXPECT_EQ(countOf(m, true), s.triangles);
    ASSERT_EQ(m.scenes.at(0).nodes.size(), 1u);
    const auto& root = m.nodes.at(static_cast<std::size_t>(m.scenes[0].nodes[0]));
    EXPECT_EQ(root.name, "scene");
    ASSERT_EQ(root.matrix.size(), 16u);
    EXPECT_EQ(root.matrix[10], -1.0) << "the mirror of z";
    ASSERT_EQ(root.children.size(), 4u);
    const auto& plane = m.nodes.at(static_cast<std::size_t>(root.children[1]));
    EXPECT_EQ(plane.name, "Plane");
    ASSERT_EQ(plane.matrix.size(), 16u);
    EXPECT_EQ(plane.matrix[12], 3.0) << "translation in the last column";
    const auto& cubeGroup = m.nodes.at(static_cast<std::size_t>(root.children[0]));
    const auto& cube = m.nodes.at(static_cast<std::size_t>(cubeGroup.children.at(0)));
    const auto& wood = m.materials.at(static_cast<std::size_t>(
        m.meshes.at(static_cast<std::size_t>(cube.mesh)).primitives[0].material));
    EXPECT_EQ(wood.name, "Wood");
    ASSERT_GE(wood.pbrMetallicRoughness.baseColorTexture.index, 0);
    const auto& texture =
        m.textures.at(static_cast<std::size_t>(wood.pbrMetallicRoughness.baseColorTexture.index));
    EXPECT_EQ(m.images.at(static_cast<std::size_t>(texture.source)).uri, "tex/wood.png");
    EXPECT_EQ(m.samplers.at(static_cast<std::size_t>(texture.sampler)).wrapS,
              TINYGLTF_TEXTURE_WRAP_REPEAT);
    const auto& lightGroup = m.nodes.at(static_cast<std::size_t>(root.children[2]));
    const auto& light = m.nodes.at(static_cast<std::size_t>(lightGroup.children.at(0)));
    const auto& lightMaterial = m.materials.at(static_cast<std::size_t>(
        m.meshes.at(static_cast<std::size_t>(light.mesh)).primitives[0].material));
    EXPECT_EQ(lightMaterial.emissiveFactor, (std::vector<double>{1, 1, 1}));
}

TEST_F(VxsConvert, BrokenMeshIsLeftOutWithAWarning) {
    std::string path = (dir_ / "broken.glb").string();
    vxs::GltfSummary s =
        vxs::writeGltf(readScene("object \"bad\" {\ngeometry \"triangles\" {\n\"vertices\" [ 0 0 0 "
                                 "] ,\n\"triangles\" [ 0,0,7 ] ,\n}\n}\n"),
                       path);
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_NE(s.warnings[0].find("object \"bad\" line 2: an index outside its array"),
              std::string::npos);
    EXPECT_EQ(loadGltf(path).meshes.size(), 0u);
}

TEST_F(VxsConvert, ASceneWithoutGroupsGivesAnAssetThatLoadsBack) {
    for (const char* name : {"empty.gltf", "empty.glb"}) {
        SCOPED_TRACE(name);
        const std::string path = (dir_ / name).string();
        const vxs::GltfSummary s = vxs::writeGltf(readScene("version 8\n"), path);
        EXPECT_EQ(s.nodes, 0u);
        const tinygltf::Model m = loadGltf(path);
        EXPECT_TRUE(m.nodes.empty());
        EXPECT_TRUE(m.scenes.empty());
        EXPECT_EQ(m.asset.version, "2.0");
    }
    EXPECT_FALSE(fs::exists(dir_ / "empty.bin")) << "no buffer, no buffer file";
}

TEST_F(VxsConvert, NamesThatAreNotUtf8AreRepairedWithOneWarning) {
    const std::string path = (dir_ / "names.gltf").string();
    const vxs::GltfSummary s = vxs::writeGltf(
        readScene("group \"caf\xe9\" {\ngroup \"\xff\xfe\" {\n}\n}\ngroup \"ok \xc3\xa9\" {\n}\n"),
        path);
    ASSERT_EQ(s.warnings.size(), 1u);
    EXPECT_EQ(s.warnings[0], "names that are not UTF-8: 3 invalid bytes replaced with U+FFFD");
    const tinygltf::Model m = loadGltf(path);
    ASSERT_EQ(m.nodes.size(), 3u);
    std::vector<std::string> names;
    for (const auto& node : m.nodes) names.push_back(node.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"caf\uFFFD", "ok \u00e9", "\uFFFD\uFFFD"}));
}

TEST(ValidUtf8, WellFormedTextIsKept) {
    std::size_t replaced = 0;
    for (const std::string text :
         {"", "plain", "\u00e9t\u00e9", "\u20ac 5", "\U0001F600", "\U0010FFFF"})
        EXPECT_EQ(vxs::validUtf8(text, replaced), text);
    EXPECT_EQ(replaced, 0u);
}

TEST(ValidUtf8, EveryByteOutsideAWellFormedSequenceIsReplaced) {
    const struct {
        std::string bytes, expected;
        std::size_t replaced;
    } cases[] = {
        {"\x80", "\uFFFD", 1},  // a lone continuation byte
        {"a\xc0\xaf"
         "b",
         "a\uFFFD\uFFFDb", 2},                                // an overlong '/'
        {"\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD", 3},            // a surrogate
        {"\xf4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD", 4},  // past U+10FFFF
        {"\xe2\x82", "\uFFFD\uFFFD", 2},                      // cut short at the end
        {"\xe2\x82x", "\uFFFD\uFFFDx", 2},                    // cut short by a letter
    };
    for (const auto& c : cases) {
        std::size_t replaced = 0;
        EXPECT_EQ(vxs::validUtf8(c.bytes, replaced), c.expected);
        EXPECT_EQ(replaced, c.replaced);
    }
}

}  // namespace
