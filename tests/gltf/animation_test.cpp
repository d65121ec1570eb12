// glTF files with several animations: all of them on the document's one
// timeline, the first in the file keeping a property two of them drive, one
// picked alone by name or index, and the errors for names the file lacks;
// in process and through vxhost.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "gltf_builder.h"
#include "host/document_writer.h"
#include "host/gltf/gltf_import.h"
#include "process.h"
#include "tests/platform/test_files.h"

namespace {

namespace fs = std::filesystem;
using gltftest::GltfBuilder;
using host::BaseObject;
using Json = nlohmann::json;

// One channel: `path` ("translation" or "scale") of `node` goes from its
// start value to x = `x` between `from` and `to` seconds.
struct Move {
    int node;
    std::string path;
    float from, to, x;
};

void addAnimation(GltfBuilder& b, const std::string& name, const std::vector<Move>& moves) {
    Json animation = {{"samplers", Json::array()}, {"channels", Json::array()}};
    if (!name.empty()) animation["name"] = name;
    for (const Move& m : moves) {
        const float rest = m.path == "scale" ? 1.0f : 0.0f;
        const int input = b.accessor({m.from, m.to}, "SCALAR");
        const int output = b.accessor({rest, rest, rest, m.x, rest, rest}, "VEC3");
        animation["channels"].push_back({{"sampler", animation["samplers"].size()},
                                         {"target", {{"node", m.node}, {"path", m.path}}}});
        animation["samplers"].push_back({{"input", input}, {"output", output}});
    }
    b.j["animations"].push_back(animation);
}

// Three triangle objects A, B and C, not animated yet.
GltfBuilder threeObjects() {
    GltfBuilder b;
    const int mesh = b.triangleMesh({0, 0, 0, 1, 0, 0, 1, 1, 0}, {0, 1, 2});
    for (const char* name : {"A", "B", "C"})
        b.j["scenes"][0]["nodes"].push_back(b.node({{"name", name}, {"mesh", mesh}}));
    return b;
}

// "Walk" and "Run" both move A; Run also moves B; the unnamed third moves A.
GltfBuilder alternatives() {
    GltfBuilder b = threeObjects();
    addAnimation(b, "Walk", {{0, "translation", 0, 1, 1}});
    addAnimation(b, "Run", {{0, "translation", 0, 1, 3}, {1, "translation", 0, 1, 2}});
    addAnimation(b, "", {{0, "translation", 0, 2, 5}});
    return b;
}

BaseObject* object(const host::BaseDocument& doc, const std::string& name) {
    for (BaseObject* o = doc.GetFirstObject(); o; o = o->GetNext())
        if (o->GetName().utf8() == name) return o;
    return nullptr;
}

// The times and values of the track `param` / `component` of `name`; empty
// when the object has no such track.
std::vector<std::pair<double, double>> keys(const host::BaseDocument& doc, const std::string& name,
                                            host::Int32 param,
                                            host::Int32 component = host::VECTOR_X) {
    std::vector<std::pair<double, double>> out;
    const BaseObject* o = object(doc, name);
    if (!o) ADD_FAILURE() << "no object " << name;
    for (const host::CTrack* t = o ? o->GetFirstCTrack() : nullptr; t; t = t->GetNext())
        if (t->GetDescriptionID() == host::DescID(param, component))
            for (host::Int32 k = 0; k < t->GetCurve()->GetKeyCount(); ++k)
                out.emplace_back(t->GetCurve()->GetKey(k)->GetTime().Get(),
                                 t->GetCurve()->GetKey(k)->GetValue());
    return out;
}

using Keys = std::vector<std::pair<double, double>>;
constexpr host::Int32 kPosition = 903, kScale = 905;

class GltfAnimations : public ::testing::Test {
protected:
    host::gltf::ImportResult import(const GltfBuilder& b,
                                    std::optional<std::string> animation = {}) {
        b.writeGltf(path());
        host::gltf::ImportOptions options;
        options.imageDirectory = dir_.path();
        options.animation = std::move(animation);
        return host::gltf::ImportGltfFile(path(), options);
    }
    std::string error(const GltfBuilder& b, std::optional<std::string> animation = {}) {
        try {
            import(b, std::move(animation));
        } catch (const host::gltf::GltfError& e) {
            return e.what();
        }
        return "(no error)";
    }
    std::string path(const std::string& name = "model.gltf") const {
        return (fs::path(dir_.path()) / name).string();
    }
    testfiles::TempDir dir_{"gltf-animations"};
};

TEST_F(GltfAnimations, EveryAnimationGoesOntoTheOneTimelineWithItsOwnTimes) {
    GltfBuilder b = threeObjects();
    addAnimation(b, "A moves", {{0, "translation", 0, 1, 1}});
    addAnimation(b, "", {{1, "scale", 2, 3, 4}, {0, "scale", 0.5f, 4, 2}});
    addAnimation(b, "C moves", {{2, "translation", 0.5f, 4, -1}});
    const auto result = import(b);
    const host::BaseDocument& doc = *result.document;
    EXPECT_EQ(keys(doc, "A", kPosition), (Keys{{0, 0}, {1, 100}}));
    EXPECT_EQ(keys(doc, "A", kScale), (Keys{{0.5, 1}, {4, 2}}));
    EXPECT_EQ(keys(doc, "B", kScale), (Keys{{2, 1}, {3, 4}}));
    EXPECT_EQ(keys(doc, "C", kPosition), (Keys{{0.5, 0}, {4, -100}}));
    EXPECT_TRUE(result.warnings.empty());
    // The timeline starts where it did with one animation; every track
    // carries its own times.
    host::GeData start;
    ASSERT_TRUE(doc.GetParameter(host::DescID(host::DOCUMENT_MINTIME), start));
    EXPECT_EQ(start.GetTime().Get(), 0.0);
}

TEST_F(GltfAnimations, TheFirstAnimationInTheFileKeepsAPropertyTwoOfThemDrive) {
    const auto result = import(alternatives());
    EXPECT_EQ(keys(*result.document, "A", kPosition), (Keys{{0, 0}, {1, 100}}));
    EXPECT_EQ(keys(*result.document, "B", kPosition), (Keys{{0, 0}, {1, 200}}));
    EXPECT_EQ(result.warnings,
              (std::vector<std::string>{
                  "animations that drive the same property: the first in the file is kept "
                  "(--animation picks one animation alone): \"Run\" on \"A\" translation (kept "
                  "\"Walk\"), animation 2 on \"A\" translation (kept \"Walk\")"}));
}

TEST_F(GltfAnimations, OneAnimationIsPickedAloneByNameOrElseByIndex) {
    const GltfBuilder b = alternatives();
    const auto run = import(b, "Run");
    EXPECT_EQ(keys(*run.document, "A", kPosition), (Keys{{0, 0}, {1, 300}}));
    EXPECT_EQ(keys(*run.document, "B", kPosition), (Keys{{0, 0}, {1, 200}}));
    EXPECT_TRUE(run.warnings.empty());
    const std::string runText = host::WriteDocumentText(*run.document, "");
    EXPECT_EQ(host::WriteDocumentText(*import(b, "1").document, ""), runText);

    const auto unnamed = import(b, "2");
    EXPECT_EQ(keys(*unnamed.document, "A", kPosition), (Keys{{0, 0}, {2, 500}}));
    EXPECT_TRUE(keys(*unnamed.document, "B", kPosition).empty());

    // A name wins over an index.
    GltfBuilder named = alternatives();
    named.j["animations"][2]["name"] = "1";
    EXPECT_EQ(keys(*import(named, "1").document, "A", kPosition), (Keys{{0, 0}, {2, 500}}));

    // The one picked imports as a file that holds only that animation.
    GltfBuilder alone = alternatives();
    alone.j["animations"].erase(0);
    alone.j["animations"].erase(1);
    EXPECT_EQ(host::WriteDocumentText(*import(alone).document, ""), runText);
}

TEST_F(GltfAnimations, AnAnimationTheFileLacksIsAnErrorListingItsAnimations) {
    const GltfBuilder b = alternatives();
    const std::string listing = "; it has \"Walk\", \"Run\", animation 2";
    EXPECT_EQ(error(b, "Jump"), "animations: no animation \"Jump\" in the file" + listing);
    EXPECT_EQ(error(b, "3"), "animations: no animation \"3\" in the file" + listing);
    EXPECT_EQ(error(b, "-1"), "animations: no animation \"-1\" in the file" + listing);
    EXPECT_EQ(error(b, ""), "animations: no animation \"\" in the file" + listing);
    EXPECT_EQ(error(threeObjects(), "Walk"),
              "animations: no animation \"Walk\" in the file; it has none");

    // Merged, every animation must be sound; picked, only the one imported.
    GltfBuilder broken = alternatives();
    broken.j["animations"][1]["channels"][1]["target"]["node"] = 7;
    EXPECT_EQ(error(broken), "animations[1].channels[1].target.node: no node 7");
    EXPECT_EQ(error(broken, "Walk"), "(no error)");
}

// vxhost end to end: what reaches the scene file, and what a wrong name does.
class VxhostAnimations : public GltfAnimations {
protected:
    vxtest::ProcessResult vxhost(std::vector<std::string> args) {
        args.insert(args.begin(), VXHOST_EXE);
        return vxtest::runProcess(args);
    }
};

TEST_F(VxhostAnimations, ThreeAnimationsOnThreeObjectsExportThreeAnimatedObjects) {
    GltfBuilder b = threeObjects();
    addAnimation(b, "A moves", {{0, "translation", 0, 1, 1}});
    addAnimation(b, "B moves", {{1, "translation", 1, 2, 1}});
    addAnimation(b, "C moves", {{2, "translation", 2, 3, 1}});
    const std::string gltf = b.writeGltf(path());
    const auto all = vxhost({"export", gltf, "-o", path("all.vxs")});
    ASSERT_EQ(all.exitStatus, 0) << all.err;
    EXPECT_EQ(all.err.find("warning"), std::string::npos) << all.err;
    const std::string scene = vxtest::readFile(path("all.vxs"));
    for (const char* folder : {"A/Position", "B/Position", "C/Position"})
        EXPECT_NE(scene.find("\"folder\" \"" + std::string(folder) + "\""), std::string::npos)
            << folder;

    const auto one = vxhost({"export", gltf, "--animation", "B moves", "-o", path("b.vxs")});
    ASSERT_EQ(one.exitStatus, 0) << one.err;
    const std::string picked = vxtest::readFile(path("b.vxs"));
    EXPECT_NE(picked.find("\"folder\" \"B/Position\""), std::string::npos);
    EXPECT_EQ(picked.find("\"folder\" \"A/Position\""), std::string::npos);
    EXPECT_EQ(picked.find("\"folder\" \"C/Position\""), std::string::npos);
}

TEST_F(VxhostAnimations, AnUnknownAnimationIsOneMessageAndNothingIsWritten) {
    const std::string gltf = alternatives().writeGltf(path());
    const std::string expected = "vxhost: " + gltf +
                                 ": animations: no animation \"Jump\" in the file; it has "
                                 "\"Walk\", \"Run\", animation 2\n";
    const auto scene = vxhost({"export", gltf, "--animation", "Jump", "-o", path("out.vxs")});
    EXPECT_EQ(scene.exitStatus, 1);
    EXPECT_EQ(scene.err, expected);
    const auto doc =
        vxhost({"convert-document", gltf, "--animation", "Jump", "-o", path("out.json")});
    EXPECT_EQ(doc.exitStatus, 1);
    EXPECT_EQ(doc.err, expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1)
        << "only the glTF file";

    // A document file has no glTF animations to pick from.
    const auto json = vxhost({"convert-document", gltf, "-o", path("doc.json")});
    ASSERT_EQ(json.exitStatus, 0) << json.err;
    const auto refused =
        vxhost({"export", path("doc.json"), "--animation", "Walk", "-o", path("doc.vxs")});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.err.find("--animation picks an animation of a glTF file"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(path("doc.vxs")));
}

}  // namespace
