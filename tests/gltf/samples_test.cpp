// vxhost on glTF files, end to end: the shared samples export and pass
// `vxs check`, their counts agree with assimp's reading of the same files,
// convert-document's output exports to the same scene, and a bad file is one
// message with nothing written.
//
// Counting. A scene's triangles are its "triangles" index counts / 3; its
// vertices are the "vertices" of every part, and a part shares one vertex
// per point index it uses. The importer gives every glTF primitive its own
// points and its own part, so a part's vertices are the primitive's vertices
// that its indices use. `assimp info -r` (raw: no post-processing, so no
// joining of identical vertices) counts the primitive's vertex accessor as
// it is. The two agree wherever every vertex is used by some triangle, which
// holds for every sample. Lights add an octahedron each to the scene (6
// vertices, 8 triangles), which assimp does not have: they are taken off.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "gltf_builder.h"
#include "process.h"
#include "tests/platform/test_files.h"

namespace {

namespace fs = std::filesystem;
using vxtest::readFile;
using vxtest::runProcess;

// The folder of sample assets: $VX_GLTF_SAMPLES, else the one configured
// with -DVX_GLTF_SAMPLES=; empty when neither names one.
std::string samplesFolder() {
    const char* folder = std::getenv("VX_GLTF_SAMPLES");
    return folder != nullptr && *folder != '\0' ? folder : GLTF_SAMPLES_DIR;
}

constexpr const char* kHowToRunSamples =
    "no glTF samples: set VX_GLTF_SAMPLES (in the environment, or -DVX_GLTF_SAMPLES= when "
    "configuring) to a folder of glTF sample assets to run this test";

// Every .gltf and .glb below the samples folder, sorted.
std::vector<fs::path> samples() {
    std::vector<fs::path> files;
    const std::string folder = samplesFolder();
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".gltf" || ext == ".glb") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// "BoxTextured/glTF-Binary/BoxTextured.glb" -> "BoxTextured-glTF-Binary-BoxTextured.glb"
std::string flatName(const fs::path& sample) {
    std::string name = fs::relative(sample, samplesFolder()).string();
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

class GltfSamples : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::makeTempDir("gltf-samples");
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Exports `document` to a scene in the temporary folder; the scene's path.
    std::string exportScene(const fs::path& document, const std::string& name) {
        const std::string out = (dir_ / (name + ".vxs")).string();
        const auto r = runProcess({VXHOST_EXE, "export", document.string(), "-o", out});
        EXPECT_EQ(r.exitStatus, 0) << document << ": " << r.err;
        return out;
    }
    nlohmann::json info(const std::string& scene) {
        const auto r = runProcess({VXS_EXE, "info", scene, "--json"});
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        return nlohmann::json::parse(r.out, nullptr, false);
    }
    fs::path dir_;
};

TEST_F(GltfSamples, EverySampleExportsAndPassesTheSceneCheck) {
    if (samplesFolder().empty()) GTEST_SKIP() << kHowToRunSamples;
    const auto files = samples();
    ASSERT_FALSE(files.empty()) << "no .gltf or .glb files in VX_GLTF_SAMPLES=" << samplesFolder();
    for (const fs::path& sample : files) {
        const std::string scene = exportScene(sample, flatName(sample));
        const auto check = runProcess({VXS_EXE, "check", scene});
        EXPECT_EQ(check.exitStatus, 0) << sample << ":\n" << check.out;
        EXPECT_GT(info(scene).value("triangles", 0), 0) << sample;
    }
    // Embedded images land beside the scene, in the temporary folder.
    EXPECT_TRUE(fs::exists(dir_ / "BoxTextured_image0.png"));
}

TEST_F(GltfSamples, TriangleAndVertexCountsMatchAssimp) {
    if (samplesFolder().empty()) GTEST_SKIP() << kHowToRunSamples;
    const auto files = samples();
    ASSERT_FALSE(files.empty()) << "no .gltf or .glb files in VX_GLTF_SAMPLES=" << samplesFolder();
    if (std::string(ASSIMP_EXE).empty()) GTEST_SKIP() << "assimp is not installed (assimp-utils)";
    const std::regex vertices("\nVertices: *([0-9]+)"), faces("\nFaces: *([0-9]+)");
    for (const fs::path& sample : files) {
        const nlohmann::json scene = info(exportScene(sample, flatName(sample)));
        const auto a = runProcess({ASSIMP_EXE, "info", sample.string(), "-r"});
        ASSERT_EQ(a.exitStatus, 0) << sample << ": " << a.err;
        std::smatch v, f;
        ASSERT_TRUE(std::regex_search(a.out, v, vertices) && std::regex_search(a.out, f, faces))
            << a.out;
        const long lights = scene.value("lights", 0L);
        EXPECT_EQ(scene.value("triangles", 0L) - 8 * lights, std::stol(f[1])) << sample;
        EXPECT_EQ(scene.value("vertices", 0L) - 6 * lights, std::stol(v[1])) << sample;
    }
}

// What convert-document writes is the document that was exported: the same
// scene, byte for byte, for glTF files and document files alike.
TEST_F(GltfSamples, ConvertedDocumentsExportTheSameScene) {
    gltftest::GltfBuilder b;
    b.j["images"] = {
        {{"uri", "data:image/png;base64," + gltftest::base64({0x89, 'P', 'N', 'G', 1})}}};
    b.j["textures"] = {{{"source", 0}}};
    b.j["materials"] = {
        {{"name", "Label"}, {"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}}}}};
    b.triangleMesh({0, 0, 0, 1, 0, 0, 1, 1, 0}, {0, 1, 2}, 0, {0, 0, 1, 0, 0, 1, 0, 0, 1},
                   {0, 0, 1, 0, 1, 1});
    b.j["scenes"][0]["nodes"] = {
        b.node({{"name", "Tri"}, {"mesh", 0}, {"rotation", {0, 0.6, 0, 0.8}}})};
    std::vector<fs::path> documents = {b.writeGlb((dir_ / "generated.glb").string())};
    for (const auto& entry : fs::directory_iterator(VX_EXAMPLES_DIR))
        if (entry.path().extension() == ".json") documents.push_back(entry.path());
    for (const fs::path& sample : samples())
        if (sample.filename() == "Duck.gltf" || sample.filename() == "BoxAnimated.gltf")
            documents.push_back(sample);
    for (const fs::path& document : documents) {
        const std::string name = document.stem().string();
        const std::string direct = exportScene(document, name + "-direct");
        const std::string json = (dir_ / (name + ".json")).string();
        const auto convert =
            runProcess({VXHOST_EXE, "convert-document", document.string(), "-o", json});
        ASSERT_EQ(convert.exitStatus, 0) << document << ": " << convert.err;
        const std::string again = exportScene(json, name + "-converted");
        EXPECT_TRUE(readFile(direct) == readFile(again)) << document;
    }
}

TEST_F(GltfSamples, BadGltfIsOneMessageNamingTheFileAndNothingIsWritten) {
    gltftest::GltfBuilder b;
    b.triangleMesh({0, 0, 0, 1, 0, 0, 1, 1, 0}, {0, 1, 9});
    b.j["scenes"][0]["nodes"] = {b.node({{"mesh", 0}})};
    const std::string bad = b.writeGltf((dir_ / "bad.gltf").string());
    const std::string out = (dir_ / "bad.vxs").string();
    const auto r = runProcess({VXHOST_EXE, "export", bad, "-o", out});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "vxhost: " + bad +
                         ": meshes[0].primitives[0].indices: index 9 outside the 3 vertices\n");
    EXPECT_FALSE(fs::exists(out));
    const std::string json = (dir_ / "bad.json").string();
    const auto c = runProcess({VXHOST_EXE, "convert-document", bad, "-o", json});
    EXPECT_EQ(c.exitStatus, 1);
    EXPECT_EQ(c.err, r.err);
    EXPECT_FALSE(fs::exists(json));
}

}  // namespace
