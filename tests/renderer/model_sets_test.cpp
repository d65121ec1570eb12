// Model sets: which scene a renderer holds under which name, what Render and
// Update do to it, and the scene description the plug-in's instance choice
// reads back.
#include "renderer/model_sets.h"

#include <gtest/gtest.h>

#include "livelink/instance_choice.h"
#include "sceneapi/scene_api_file.h"
#include "scenefile/reader.h"
#include "tests/support/memory_scene.h"

namespace {

struct Mesh {
    std::vector<std::string> path;  // groups below the document group, then the object
    int triangles;
};

// A scene as the plug-in sends it: options, a camera, the document group
// with the "source file" attribute and one group per mesh.
scenefile::Document scene(const std::string& name, bool adjust, const std::vector<Mesh>& meshes) {
    vxtest::MemoryStream stream;
    {
        tal::talScene_api_file api(stream.stream(), true);
        api.beginLoad("talrtopt.so");
        const int on = adjust ? 1 : 0;
        api.setParameter("import_adjust_camera", tal::kBool, &on);
        api.endLoad();
        api.beginCamera("Cam");
        api.endCamera();
        api.beginGroup(name.c_str(), true);
        api.attribute("source file", "source file");
        for (const Mesh& mesh : meshes) {
            for (std::size_t i = 0; i + 1 < mesh.path.size(); ++i)
                api.beginGroup(mesh.path[i].c_str(), true);
            api.beginObject(mesh.path.back().c_str(), true);
            api.beginGeometry("triangles");
            const std::vector<std::int32_t> indices(static_cast<std::size_t>(mesh.triangles) * 3,
                                                    0);
            const tal::ArrayValue array{indices.data(), static_cast<std::int32_t>(indices.size())};
            api.setParameter("triangles", tal::kInt | tal::kArrayBit, &array);
            api.endGeometry();
            api.endObject();
            for (std::size_t i = 0; i + 1 < mesh.path.size(); ++i) api.endGroup();
        }
        api.endGroup();
    }
    return scenefile::readScene(stream.text());
}

TEST(ModelSets, RenderReplacesAndUpdateReplacesOnlyWhatItCarries) {
    vxrenderer::ModelSets sets;
    vxrenderer::Applied a =
        sets.apply(scene("chair", true, {{{"Seat", "Seat"}, 2}, {{"Leg", "Leg"}, 1}}));
    EXPECT_EQ(a.name, "chair");
    EXPECT_FALSE(a.update);
    EXPECT_EQ(a.modelSet.objects, 2u);
    EXPECT_EQ(a.modelSet.triangles, 3u);
    EXPECT_EQ(a.modelSet.cameras, 1u);

    // An Update of the held scene: the leg is replaced, the seat kept, a
    // new object added.
    a = sets.apply(scene("chair", false, {{{"Leg", "Leg"}, 5}, {{"Back", "Back"}, 7}}));
    EXPECT_TRUE(a.update);
    EXPECT_EQ(a.scene.objects, 2u);
    EXPECT_EQ(a.scene.triangles, 12u);
    EXPECT_EQ(a.modelSet.objects, 3u);
    EXPECT_EQ(a.modelSet.triangles, 2u + 5u + 7u);
    EXPECT_EQ(a.modelSet.cameras, 1u);

    // A Render (view adjusted) replaces the whole model set.
    a = sets.apply(scene("chair", true, {{{"Seat", "Seat"}, 2}}));
    EXPECT_FALSE(a.update);
    EXPECT_EQ(a.modelSet.objects, 1u);

    // Keeping the view of a scene the renderer does not hold is a new one.
    a = sets.apply(scene("table", false, {{{"Top", "Top"}, 4}}));
    EXPECT_FALSE(a.update);
    EXPECT_EQ(a.modelSet.triangles, 4u);
    EXPECT_EQ(sets.size(), 2u);
}

TEST(ModelSets, ObjectsAreKeyedByTheirWholePath) {
    vxrenderer::ModelSets sets;
    sets.apply(scene("doc", true, {{{"A", "Mesh"}, 1}, {{"B", "Mesh"}, 1}}));
    const vxrenderer::Applied a = sets.apply(scene("doc", false, {{{"B", "Mesh"}, 3}}));
    EXPECT_EQ(a.modelSet.objects, 2u);
    EXPECT_EQ(a.modelSet.triangles, 4u);
}

TEST(ModelSets, TheNameIsTheDocumentGroupsElseTheFirstGroupsElseUntitled) {
    EXPECT_EQ(vxrenderer::modelSetName(
                  scenefile::readScene("group \"cam rig\" {\n}\ngroup \"doc\" {\nattribute "
                                       "\"source file\" \"source file\"\n}\n")),
              "doc");
    EXPECT_EQ(vxrenderer::modelSetName(scenefile::readScene("group \"first\" {\n}\n")), "first");
    EXPECT_EQ(vxrenderer::modelSetName(scenefile::readScene("version 8\n")), "untitled");
}

TEST(ModelSets, TheDescriptionReadsBackAsTheInstanceChoiceReadsIt) {
    vxrenderer::ModelSets sets;
    const std::string idle = sets.describe();
    EXPECT_TRUE(tal::readSceneDescription(idle.c_str(), "chair", 4).idle);
    EXPECT_FALSE(tal::readSceneDescription(idle.c_str(), "chair", 4).holdsName);

    const std::string odd = "a \"b\" & <c> 'd'";
    sets.apply(scene(odd, true, {}));
    sets.apply(scene("chair", true, {{{"Seat", "Seat"}, 2}}));
    const std::string busy = sets.describe();
    for (const std::string& name : {odd, std::string("chair")}) {
        const tal::SceneDescription d = tal::readSceneDescription(busy.c_str(), name, 3);
        EXPECT_FALSE(d.idle) << busy;
        EXPECT_TRUE(d.holdsName) << name << "\n" << busy;
    }
    EXPECT_FALSE(tal::readSceneDescription(busy.c_str(), "Chair", 4).holdsName);
}

}  // namespace
