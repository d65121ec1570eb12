// What a glTF asset may make the importer read: files inside its folder
// only, regular files only, times within the document range, nesting within
// the document limit.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "../platform/test_files.h"
#include "gltf_builder.h"
#include "host/gltf/gltf_import.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// One triangle whose 36 bytes of positions come from buffer `uri`.
nlohmann::json triangleFrom(const std::string& uri) {
    return nlohmann::json::parse(R"({"asset": {"version": "2.0"},
      "buffers": [{"uri": ")" + uri +
                                 R"(", "byteLength": 36}],
      "bufferViews": [{"buffer": 0, "byteLength": 36}],
      "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                     "min": [0, 0, 0], "max": [1, 1, 0]}],
      "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
      "nodes": [{"mesh": 0}], "scenes": [{"nodes": [0]}]})");
}

void writePositions(const std::string& path) {
    const float p[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    std::string bytes(sizeof p, '\0');
    std::memcpy(bytes.data(), p, sizeof p);
    testfiles::writeFile(path, bytes);
}

class GltfAssetFiles : public ::testing::Test {
protected:
    // <tmp>/secret.bin beside the asset's folder <tmp>/asset.
    void SetUp() override {
        asset = dir / "asset";
        fs::create_directories(asset);
        writePositions(dir / "secret.bin");
    }
    std::string importError(const nlohmann::json& gltf) {
        testfiles::writeFile(asset + "/model.gltf", gltf.dump());
        return errorOf(asset + "/model.gltf");
    }
    static std::string errorOf(const std::string& path) {
        try {
            host::gltf::ImportGltfFile(path);
        } catch (const host::gltf::GltfError& e) {
            return e.what();
        }
        return "(imported)";
    }
    testfiles::TempDir dir;
    std::string asset;
};

TEST_F(GltfAssetFiles, BufferUrisLeadingOutOfTheFolderAreRefused) {
    ASSERT_EQ(::symlink(dir.path().c_str(), (asset + "/up").c_str()), 0);
    const std::string outside = "leads out of the glTF's folder";
    const std::pair<std::string, std::string> cases[] = {
        {"../secret.bin", outside},
        {"%2e%2e/secret.bin", outside},
        {"%2E%2E%2Fsecret.bin", outside},
        {"sub/../../secret.bin", outside},
        {"up/secret.bin", outside},  // through a symbolic link
        {dir / "secret.bin", "is an absolute path; only files in the glTF's folder are read"},
        {"%2F" + (dir / "secret.bin").substr(1),
         "is an absolute path; only files in the glTF's folder are read"},
    };
    for (const auto& [uri, problem] : cases)
        EXPECT_EQ(importError(triangleFrom(uri)), "buffers[0].uri: \"" + uri + "\" " + problem);
}

TEST_F(GltfAssetFiles, ImageUrisLeadingOutOfTheFolderAreRefused) {
    for (const std::string uri : {"../label.png", "%2e%2e%2flabel.png", "/tmp/label.png"}) {
        gltftest::GltfBuilder b;
        b.j["images"] = {{{"uri", uri}}};
        b.j["textures"] = {{{"source", 0}}};
        b.j["materials"] = {{{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}}}}};
        b.triangleMesh({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, 0);
        b.j["scenes"][0]["nodes"] = {b.node({{"mesh", 0}})};
        b.writeGltf(asset + "/model.gltf");
        const std::string message = errorOf(asset + "/model.gltf");
        EXPECT_EQ(message.rfind("images[0].uri: \"" + uri + "\" ", 0), 0u) << message;
    }
}

TEST_F(GltfAssetFiles, BuffersInsideTheFolderStillLoadPercentEncodedOrNot) {
    writePositions(asset + "/sub dir/data.bin");
    EXPECT_EQ(importError(triangleFrom("sub%20dir/data.bin")), "(imported)");
    EXPECT_EQ(importError(triangleFrom("sub%20dir%2Fdata.bin")), "(imported)");
    EXPECT_EQ(importError(triangleFrom("./sub dir/./data.bin")), "(imported)");
}

TEST_F(GltfAssetFiles, FifosAndFoldersAreRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo((asset + "/pipe.bin").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((asset + "/pipe.gltf").c_str(), 0600), 0);
    fs::create_directories(asset + "/folder.bin");
    const auto start = Clock::now();
    EXPECT_EQ(importError(triangleFrom("pipe.bin")),
              "buffers[0].uri: \"pipe.bin\" is a FIFO, not a regular file");
    EXPECT_EQ(importError(triangleFrom("folder.bin")),
              "buffers[0].uri: \"folder.bin\" is a folder, not a regular file");
    EXPECT_EQ(errorOf(asset + "/pipe.gltf"),
              "cannot read the file: it is a FIFO, not a regular file");
    EXPECT_EQ(errorOf(asset), "cannot read the file: it is a folder, not a regular file");
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);
}

TEST_F(GltfAssetFiles, AnimationTimesBeyondTheDocumentRangeAreRefused) {
    for (const float far : {1e7f, -2e6f}) {
        gltftest::GltfBuilder b;
        b.j["scenes"][0]["nodes"] = {b.node({{"name", "Moved"}})};
        b.j["animations"] = {
            {{"samplers",
              {{{"input", b.accessor({0, far}, "SCALAR")},
                {"output", b.accessor({0, 0, 0, 1, 1, 1}, "VEC3")}}}},
             {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "scale"}}}}}}}};
        if (far < 0) b.j["accessors"][0]["min"] = {far};
        b.writeGltf(asset + "/model.gltf");
        const auto start = Clock::now();
        const std::string message = errorOf(asset + "/model.gltf");
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 1.0);
        // A negative time fails the order of the keys first; either way it
        // is refused with the sampler's path.
        EXPECT_EQ(message.rfind("animations[0].samplers[0].input: ", 0), 0u) << message;
        if (far > 0) {
            EXPECT_NE(message.find("is outside the range of -1e+06 to 1e+06 s"), std::string::npos)
                << message;
        }
    }
}

TEST_F(GltfAssetFiles, NodesNestAsDeepAsDocumentObjectsAndNoDeeper) {
    for (const int levels : {host::kMaxObjectDepth, host::kMaxObjectDepth + 1}) {
        nlohmann::json gltf = {{"asset", {{"version", "2.0"}}}, {"scenes", {{{"nodes", {0}}}}}};
        for (int i = 0; i < levels; ++i)
            gltf["nodes"].push_back(i + 1 < levels ? nlohmann::json{{"children", {i + 1}}}
                                                   : nlohmann::json::object());
        const std::string message = importError(gltf);
        if (levels == host::kMaxObjectDepth)
            EXPECT_EQ(message, "(imported)");
        else
            EXPECT_EQ(message, "nodes[1000]: nodes nested deeper than 1000 levels");
    }
}

}  // namespace
