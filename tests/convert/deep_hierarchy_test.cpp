// The deepest hierarchy a document may hold exports to a scene the reader
// takes back whole; one level more never loads.
#include <gtest/gtest.h>

#include <string>

#include "host/document_loader.h"
#include "scene_tree.h"
#include "scenefile/limits.h"

namespace vxtest {
namespace {

// `levels` nested objects whose deepest is a textured, animated polygon with
// a chrome reflection: the richest content the export nests under a group.
std::string deepDocument(int levels) {
    std::string json = R"({"name": "deep.c4d", "materials": [
      {"id": "wood", "name": "Wood", "channels": {"0": true, "8": true},
       "params": {"2100": [1, 1, 1], "8000": {"link": "bitmap"}, "3100": [0.9, 0.9, 0.9]},
       "shaders": [{"id": "bitmap", "type": "bitmap", "params": {"1000": {"file": "wood.png"}}}]}],
      "objects": [)";
    for (int i = 1; i < levels; ++i) json += R"({"type": "null", "name": "level", "children": [)";
    json += R"({"type": "polygon", "name": "Leaf",
      "points": [[0, 0, 0], [0, 10, 0], [10, 0, 0]], "polygons": [[0, 1, 2]],
      "tags": [{"type": "texture", "material": "wood", "params": {"1004": 6}}],
      "tracks": [{"param": [903, 1000], "keys": [{"time": 0, "value": 0}, {"time": 1, "value": 5}]}]})";
    for (int i = 1; i < levels; ++i) json += "]}";
    return json + "]}";
}

std::size_t deepestBlock(const std::vector<scenefile::Node>& nodes) {
    std::size_t deepest = 0;
    std::vector<std::pair<const scenefile::Node*, std::size_t>> open;
    for (const scenefile::Node& n : nodes) open.emplace_back(&n, 1);
    while (!open.empty()) {
        const auto [node, depth] = open.back();
        open.pop_back();
        if (node->kind != scenefile::NodeKind::Block) continue;
        deepest = std::max(deepest, depth);
        for (const scenefile::Node& c : node->children) open.emplace_back(&c, depth + 1);
    }
    return deepest;
}

TEST_F(SceneTreeTest, TheDeepestDocumentExportsToASceneTheReaderTakesBack) {
    load(deepDocument(host::kMaxObjectDepth));
    scenefile::Document scene;
    ASSERT_NO_THROW(scene = exportScene());
    EXPECT_EQ(blocksOf(scene.statements, "group").size(), 1u + host::kMaxObjectDepth);
    ASSERT_EQ(blocksOf(scene.statements, "animation").size(), 1u);
    const std::size_t deepest = deepestBlock(scene.statements);
    EXPECT_GT(deepest, static_cast<std::size_t>(host::kMaxObjectDepth) + 1);
    EXPECT_LE(deepest, scenefile::kMaxBlockDepth);
}

TEST_F(SceneTreeTest, OneLevelMoreThanTheDeepestDocumentDoesNotLoad) {
    try {
        load(deepDocument(host::kMaxObjectDepth + 1));
        ADD_FAILURE() << "loaded";
    } catch (const host::DocumentError& e) {
        EXPECT_NE(std::string(e.what()).find("objects nested deeper than 1000 levels"),
                  std::string::npos)
            << e.what();
    }
}

}  // namespace
}  // namespace vxtest
