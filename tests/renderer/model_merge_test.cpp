// The scene an Update leaves: the held model set with the update's objects,
// cameras and animations in place of its own, keyed as the model sets key them.
#include "renderer/model_merge.h"

#include <gtest/gtest.h>

#include <string>

#include "scenefile/dump.h"
#include "scenefile/reader.h"

namespace {

std::string merged(const std::string& held, const std::string& update) {
    return scenefile::dumpDocument(
        vxrenderer::mergeUpdate(scenefile::readScene(held), scenefile::readScene(update)));
}

std::string object(const std::string& name, const std::string& version) {
    return "object \"" + name + "\" {\nattribute \"v\" \"" + version + "\"\n}\n";
}

std::string group(const std::string& name, const std::string& content,
                  const std::string& offset = "0") {
    return "group \"" + name + "\" {\ntransform 1 0 0 0 0 1 0 0 0 0 1 0 " + offset + " 0 0 1\n" +
           content + "}\n";
}

TEST(MergeUpdate, UpdatedObjectsReplaceTheirNamesakesAndTheOthersStay) {
    const std::string held =
        "camera \"Cam\" {\n}\n" +
        group("doc", group("A", object("A", "held")) +
                         group("B", object("B", "held") + object("B", "held 2")));
    // The update carries every group, with today's transforms, and the selected meshes only.
    const std::string update =
        "camera \"Cam\" {\n\"fov\" 30\n}\n" +
        group("doc", group("A", object("A", "new"), "5") + group("B", "", "7"));
    const std::string expected = scenefile::dumpDocument(scenefile::readScene(
        "camera \"Cam\" {\n\"fov\" 30\n}\n" +
        group("doc", group("A", object("A", "new"), "5") +
                         group("B", object("B", "held") + object("B", "held 2"), "7"))));
    EXPECT_EQ(merged(held, update), expected);
}

TEST(MergeUpdate, WhatOnlyTheHeldSceneHasIsKeptWhole) {
    const std::string held =
        "camera \"Old\" {\n}\n" +
        group("doc", group("Gone", object("G", "held")) + object("Top", "held"));
    const std::string update = "camera \"New\" {\n}\n" + group("doc", object("Top", "new"));
    const std::string result = merged(held, update);
    EXPECT_NE(result.find("camera \"Old\""), std::string::npos) << result;
    EXPECT_NE(result.find("camera \"New\""), std::string::npos) << result;
    EXPECT_NE(result.find("group \"Gone\""), std::string::npos) << result;
    const std::size_t top = result.find("object \"Top\"");
    EXPECT_EQ(result.find("object \"Top\"", top + 1), std::string::npos) << result;
    EXPECT_NE(result.find("attribute \"v\" \"new\"", top), std::string::npos) << result;
    // The one held version left is the object of the kept group.
    EXPECT_EQ(result.find("\"held\""), result.rfind("\"held\"")) << result;
}

TEST(MergeUpdate, AnimationsComeFromTheUpdateWhereItHasAnyForTheGroup) {
    const auto animation = [](const std::string& folder) {
        return "animation \"fbx_animation\" \"" + folder + "\" {\n}\n";
    };
    const std::string held =
        group("doc", group("A", animation("held A")) + group("B", animation("held B")));
    const std::string update = group("doc", group("A", animation("new A")) + group("B", ""));
    const std::string result = merged(held, update);
    EXPECT_EQ(result.find("held A"), std::string::npos) << result;
    EXPECT_NE(result.find("new A"), std::string::npos) << result;
    EXPECT_NE(result.find("held B"), std::string::npos) << result;
}

TEST(MergeUpdate, HeldDefinitionsStayUnlessTheUpdateDefinesTheSame) {
    const std::string held =
        "#define shader 5 \"tal_diffuse\" {\n\"diffuse\" 1 0 0\n}\n"
        "#define shader 6 \"tal_diffuse\" {\n\"diffuse\" 0 1 0\n}\n" +
        group("doc", "");
    const std::string update =
        "#define shader 5 \"tal_diffuse\" {\n\"diffuse\" 0 0 1\n}\n" + group("doc", "");
    const std::string result = merged(held, update);
    EXPECT_EQ(result.find("\"diffuse\" 1 0 0"), std::string::npos) << result;
    EXPECT_NE(result.find("\"diffuse\" 0 0 1"), std::string::npos) << result;
    EXPECT_NE(result.find("\"diffuse\" 0 1 0"), std::string::npos) << result;
}

}  // namespace
