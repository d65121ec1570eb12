// vxhost on assets, end to end: the export's triangles agree with assimp's
// reading of the same file (quads split by the export, as assimp's
// triangulation splits them), the content of a file chooses the importer,
// and a bad asset is one message with nothing written.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "asset_files.h"
#include "process.h"
#include "tests/platform/test_files.h"

namespace {

namespace fs = std::filesystem;
using vxtest::runProcess;

class VxhostAssets : public ::testing::Test {
protected:
    // Exports `asset`; the scene's counts (vxs info --json).
    nlohmann::json exportCounts(const std::string& asset) {
        const std::string out = dir_ / (fs::path(asset).filename().string() + ".vxs");
        const auto r = runProcess({VXHOST_EXE, "export", asset, "-o", out});
        EXPECT_EQ(r.exitStatus, 0) << asset << ": " << r.err;
        const auto info = runProcess({VXS_EXE, "info", out, "--json"});
        EXPECT_EQ(info.exitStatus, 0) << info.err;
        return nlohmann::json::parse(info.out, nullptr, false);
    }
    testfiles::TempDir dir_{"asset-vxhost"};
};

long assimpTriangles(const std::string& asset) {
    const auto a = runProcess({ASSIMP_EXE, "info", asset, "-ptri"});
    EXPECT_EQ(a.exitStatus, 0) << asset << ": " << a.err;
    std::smatch faces;
    const std::regex pattern("\nFaces: *([0-9]+)");
    if (!std::regex_search(a.out, faces, pattern)) {
        ADD_FAILURE() << asset << ": no face count in\n" << a.out;
        return -1;
    }
    return std::stol(faces[1]);
}

TEST_F(VxhostAssets, TrianglesOfTheExportMatchAssimpInfo) {
    if (std::string(ASSIMP_EXE).empty()) GTEST_SKIP() << "assimp is not installed (assimp-utils)";
    const std::string d = dir_.path();
    std::vector<std::string> assets = {assettest::writeObj(d), assettest::writePly(d),
                                       assettest::writeStl(d), assettest::writeCollada(d)};
    // 3DS converted from the OBJ. assimp 5.2 cannot read back its own binary
    // FBX; its ASCII FBX it reads.
    const std::string max3ds = d + "/converted.3ds", fbx = d + "/converted.fbx";
    const auto made3ds = runProcess({ASSIMP_EXE, "export", assets[0], max3ds});
    EXPECT_EQ(made3ds.exitStatus, 0) << made3ds.err;
    if (made3ds.exitStatus == 0) assets.push_back(max3ds);
    const auto made = runProcess({ASSIMP_EXE, "export", assets[3], fbx, "-ffbxa"});
    if (made.exitStatus == 0) assets.push_back(fbx);
    for (const std::string& asset : assets) {
        const nlohmann::json scene = exportCounts(asset);
        const long lights = scene.value("lights", 0L);  // each adds an octahedron of 8
        EXPECT_EQ(scene.value("triangles", 0L) - 8 * lights, assimpTriangles(asset)) << asset;
        EXPECT_GT(scene.value("triangles", 0L), 0) << asset;
    }
    if (made.exitStatus != 0) GTEST_SKIP() << "assimp cannot write FBX here: " << made.err;
}

TEST_F(VxhostAssets, TheContentNotTheNameChoosesTheImporter) {
    const std::string d = dir_.path();
    fs::rename(assettest::writeObj(d), d + "/model.bin");
    EXPECT_GT(exportCounts(d + "/model.bin").value("triangles", 0L), 0) << "an OBJ named .bin";
    // A document file named .obj is still a document file.
    testfiles::writeFile(d + "/document.obj",
                         R"({"name": "d", "objects": [{"type": "polygon", "name": "T",
                            "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
                            "polygons": [[0, 1, 2, 2]]}]})");
    EXPECT_EQ(exportCounts(d + "/document.obj").value("triangles", 0L), 1);
}

TEST_F(VxhostAssets, AnUnreadableAssetIsOneMessageAndNothingIsWritten) {
    const std::string d = dir_.path();
    const std::string asset = d + "/model.obj";
    assettest::writeObj(d, false);
    const std::string out = d + "/out.vxs";
    testfiles::writeFile(out, "earlier scene");
    const auto r = runProcess({VXHOST_EXE, "export", asset, "-o", out});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err.rfind("vxhost: " + asset + ": the asset needs a file that cannot be read: " +
                              d + "/model.mtl does not exist",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(testfiles::readFile(out), "earlier scene");
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(d)) files += entry.is_regular_file();
    EXPECT_EQ(files, 3u) << "model.obj, tex.png and the earlier scene, nothing beside them";
}

}  // namespace
