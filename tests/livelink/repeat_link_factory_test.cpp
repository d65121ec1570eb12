// The live-link factory against scripted query answers: which instance it
// picks, when it starts the renderer and how long it waits, which ports it
// tries, and the failure texts it keeps.
#include "livelink/repeat_link_factory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "livelink/installation.h"
#include "livelink/instance_choice.h"
#include "scripted_link.h"

namespace {

using linktest::entry;
using linktest::instances;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FactoryTest : public ::testing::Test {
protected:
    // Runs openApi on a factory configured as the command named does.
    tal::talScene_api* open(const std::string& command, const std::string& sceneName = "") {
        factory.setSceneName(command == "update" ? sceneName : "");
        factory.setPreferRunning(command == "update");
        factory.setVersionRange(minVersion, 8);
        return factory.openApi();
    }
    std::string failure(const char* reason) const {
        return std::string(tal::kFailedToConnectPrefix) + reason;
    }

    int minVersion = 7;
    linktest::ScriptedEnvironment env;
    tal::RepeatLinkFactory factory{env};
};

TEST_F(FactoryTest, NoSceneApiAsksForNothingElse) {
    env.giveSceneApi = false;
    EXPECT_EQ(open("render"), nullptr);
    EXPECT_THAT(env.events, ElementsAre("sceneApi 7-8"));
    EXPECT_EQ(factory.errorText(), failure(tal::kNoSceneApiText));
    EXPECT_THAT(env.api.ids, IsEmpty());
}

TEST_F(FactoryTest, NoQueryApiAfterTheClientIdWasSent) {
    env.giveQueryApi = false;
    EXPECT_EQ(open("render"), nullptr);
    EXPECT_THAT(env.events, ElementsAre("sceneApi 7-8", "queryApi 7-8"));
    EXPECT_THAT(env.api.ids, ElementsAre(1u));
    EXPECT_EQ(factory.errorText(), failure(tal::kNoQueryApiText));
    // The library stays loaded for a later attempt and is not disconnected.
    factory.closeApi();
    EXPECT_EQ(env.api.disconnects, 0);
    EXPECT_EQ(env.events.back(), "queryApi 7-8");
}

TEST_F(FactoryTest, RenderTakesTheNewestIdleInstanceAndTheFirstOfEqualVersions) {
    env.query.lists = {instances({entry(7, 70, 5007), entry(8, 80, 5008), entry(8, 81, 5009)})};
    env.api.acceptedPorts = {5008};
    EXPECT_EQ(open("render"), &env.api);
    EXPECT_THAT(env.api.connects, ElementsAre("localhost:5008/4"));
    EXPECT_FALSE(factory.sceneMatched());
    EXPECT_EQ(factory.errorText(), "");
    EXPECT_THAT(env.query.calls,
                ElementsAre("instanceList", "attach 70", "sceneInfo", "detach", "attach 80",
                            "sceneInfo", "detach", "attach 81", "sceneInfo", "detach"));
    // An open factory answers the same API again without a second link.
    EXPECT_EQ(factory.openApi(), &env.api);
    EXPECT_EQ(env.api.connects.size(), 1u);
    factory.closeApi();
    EXPECT_EQ(env.api.disconnects, 1);
    EXPECT_EQ(env.events.back(), "freeLibrary");
    factory.closeApi();
    EXPECT_EQ(env.api.disconnects, 1);
}

TEST_F(FactoryTest, VersionsOutsideTheRangeAndUnattachableInstancesAreNotChosen) {
    const std::string busy =
        "<scene><modelsets><modelset name=\"x\"><summary/></modelset>"
        "</modelsets></scene>";
    env.query.lists = {instances({entry(9, 90, 5090), entry(6, 60, 5060), entry(8, 80, 5080),
                                  entry(7, 70, 5070), entry(7, 71, 5071)})};
    env.query.refused = {80};
    env.query.scenes[70] = std::nullopt;  // answers no description
    env.query.scenes[71] = busy;
    env.launchResult = false;
    EXPECT_EQ(open("render"), nullptr);
    // 9 and 6 are never attached; the refused 8 is not detached; 70 is.
    EXPECT_THAT(env.query.calls, ElementsAre("instanceList", "attach 80", "attach 70", "sceneInfo",
                                             "detach", "attach 71", "sceneInfo", "detach"));
    EXPECT_THAT(env.events, ElementsAre("sceneApi 7-8", "queryApi 7-8", "launch 7-8"));
    EXPECT_EQ(factory.errorText(), failure(tal::kLaunchFailedText));
    EXPECT_THAT(env.api.connects, IsEmpty());
}

TEST_F(FactoryTest, UpdatePrefersTheInstanceHoldingTheSceneOverANewerIdleOne) {
    const std::string holdsChair =
        R"(<scene><modelsets><modelset name="chair" modelset="active"><summary/></modelset>)"
        R"(</modelsets></scene>)";
    env.query.lists = {instances({entry(8, 80, 5080), entry(7, 70, 5070)})};
    env.query.scenes[70] = holdsChair;
    env.api.acceptedPorts = {5070};
    EXPECT_EQ(open("update", "chair"), &env.api);
    EXPECT_TRUE(factory.sceneMatched());
    EXPECT_THAT(env.api.connects, ElementsAre("localhost:5070/4"));
}

TEST_F(FactoryTest, UpdateWithoutAMatchTakesTheNewestReachableInstance) {
    const std::string busy =
        "<scene><modelsets><modelset name=\"table\"><summary/></modelset>"
        "</modelsets></scene>";
    env.query.lists = {instances({entry(7, 70, 5070), entry(8, 80, 5080)})};
    env.query.scenes[70] = busy;
    env.query.scenes[80] = busy;
    env.api.acceptedPorts = {5080};
    EXPECT_EQ(open("update", "chair"), &env.api);
    EXPECT_FALSE(factory.sceneMatched());
    EXPECT_THAT(env.api.connects, ElementsAre("localhost:5080/4"));
}

TEST_F(FactoryTest, AModelsetAttributeOtherThanActiveHidesTheWholeSubtree) {
    const auto chooses = [](const std::string& scene) {
        linktest::ScriptedQuery query;
        query.scenes[80] = scene;
        return tal::chooseInstance(query, {{8, 80, 5080}}, "chair", true).matched;
    };
    EXPECT_TRUE(chooses(R"(<s><m><x name="chair"/></m></s>)"));
    EXPECT_TRUE(chooses(R"(<s><m modelset="active"><x name="chair"/></m></s>)"));
    EXPECT_FALSE(chooses(R"(<s><m><x name="chair" modelset="hidden"/></m></s>)"));
    EXPECT_FALSE(chooses(R"(<s><m modelset="Active"><x name="chair"/></m></s>)"));
    EXPECT_FALSE(chooses(R"(<s><m><x name="Chair"/></m></s>)"));
    EXPECT_TRUE(chooses(R"(<s><m modelset="off"><x name="chair"/></m><x name="chair"/></s>)"));
}

TEST_F(FactoryTest, TheNameSearchGoesFourLevelsDeepFromVersionSevenAndThreeBelow) {
    const std::string level3 = R"(<s><m><x name="chair"/></m></s>)";
    const std::string level4 = R"(<s><m><x><y name="chair"/></x></m></s>)";
    const std::string level5 = R"(<s><m><x><y><z name="chair"/></y></x></m></s>)";
    const auto matched = [](int version, const std::string& scene) {
        linktest::ScriptedQuery query;
        query.scenes[1] = scene;
        return tal::chooseInstance(query, {{version, 1, 5000}}, "chair", true).matched;
    };
    EXPECT_TRUE(matched(6, level3));
    EXPECT_FALSE(matched(6, level4));
    EXPECT_TRUE(matched(7, level4));
    EXPECT_FALSE(matched(8, level5));
    // Through the factory, with a range that admits version 6.
    minVersion = 6;
    env.query.lists = {instances({entry(6, 60, 5060)})};
    env.query.scenes[60] = level4;
    env.api.acceptedPorts = {5060};
    EXPECT_EQ(open("update", "chair"), &env.api);
    EXPECT_FALSE(factory.sceneMatched());
}

TEST_F(FactoryTest, IdleMeansAFirstSectionWithNothingNestedInIt) {
    const auto idle = [](const char* scene) {
        return tal::readSceneDescription(scene, "", 4).idle;
    };
    EXPECT_TRUE(idle("<scene><modelsets/></scene>"));
    EXPECT_TRUE(idle("<scene><modelsets><a/><b/></modelsets><more><x><y/></x></more></scene>"));
    EXPECT_FALSE(idle("<scene><modelsets><a><b/></a></modelsets></scene>"));
    EXPECT_FALSE(idle("<scene/>"));
    EXPECT_FALSE(idle(""));
    EXPECT_FALSE(idle("<!-- nothing --><scene><modelsets/></scene>"));
    EXPECT_FALSE(idle("<scene><modelsets/>"));  // not well-formed
    EXPECT_FALSE(idle(nullptr));
}

TEST_F(FactoryTest, EmptyMalformedAndPartialInstanceListsYieldWhatTheyHold) {
    const auto parse = [](const char* xml) {
        std::vector<std::string> out;
        for (const tal::InstanceInfo& i : tal::parseInstanceList(xml, 7, 8)) {
            out.push_back(std::to_string(i.versionMajor) + "/" + std::to_string(i.processId) + "/" +
                          std::to_string(i.liveLinkPort));
        }
        return out;
    };
    EXPECT_THAT(parse(nullptr), IsEmpty());
    EXPECT_THAT(parse(""), IsEmpty());
    EXPECT_THAT(parse("<instances/>"), IsEmpty());
    EXPECT_THAT(parse("<instances><instance><version_major>8</version_major>"), IsEmpty());
    EXPECT_THAT(parse("not xml at all"), IsEmpty());
    // A declaration before the root is taken as the root.
    EXPECT_THAT(parse(("<?xml version=\"1.0\"?>" + instances({entry(8, 1, 2)})).c_str()),
                IsEmpty());
    // Elements at any depth, names of root and entries ignored, decimal
    // prefixes read as strtol does; entries missing an element or its text
    // are skipped.
    EXPECT_THAT(
        parse("<r><e><v><version_major> 8abc</version_major></v><process_id>-12</process_id>"
              "<livelink_port>0</livelink_port></e>"
              "<e><version_major>8</version_major><livelink_port>5</livelink_port></e>"
              "<e><version_major>8</version_major><process_id/><livelink_port>5</livelink_port></e>"
              "<e><version_major>x</version_major><process_id>3</process_id>"
              "<livelink_port>5</livelink_port></e>"
              "<e><version_major>7</version_major><process_id>4294967297</process_id>"
              "<livelink_port>-1</livelink_port></e></r>"),
        ElementsAre("8/-12/0", "7/2147483647/-1"));
}

TEST_F(FactoryTest, AnEmptyOrUnreadableListStartsTheRenderer) {
    for (const std::optional<std::string>& list :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("<instances><instance>")}) {
        linktest::ScriptedEnvironment scripted;
        tal::RepeatLinkFactory fresh(scripted);
        scripted.query.lists = {list};
        scripted.launchResult = false;
        EXPECT_EQ(fresh.openApi(), nullptr);
        EXPECT_EQ(scripted.events.back(), "launch 7-20");
    }
}

TEST_F(FactoryTest, AfterALaunchItLooksAgainAndPausesAfterEveryLook) {
    env.query.lists = {instances({}), instances({}), instances({}),
                       instances({entry(8, 80, 5080)})};
    env.api.acceptedPorts = {5080};
    EXPECT_EQ(open("render"), &env.api);
    // The first look, then three passes; the pause follows the successful one too.
    EXPECT_EQ(std::count(env.query.calls.begin(), env.query.calls.end(), "instanceList"), 4);
    EXPECT_THAT(env.sleeps, ElementsAre(1000u, 1000u, 1000u));
    EXPECT_THAT(env.api.connects, ElementsAre("localhost:5080/4"));
}

TEST_F(FactoryTest, NineteenPassesThenThePortScan) {
    env.query.lists = {instances({})};
    env.api.acceptedPorts = {5002};
    EXPECT_EQ(open("render"), &env.api);
    EXPECT_EQ(env.sleeps.size(), static_cast<std::size_t>(tal::kRetryCount - 1));
    EXPECT_EQ(env.events.back(), "ports 5-20");
    EXPECT_THAT(env.api.connects,
                ElementsAre("127.0.0.1:5000/1", "127.0.0.1:5001/1", "127.0.0.1:5002/1"));
}

TEST_F(FactoryTest, AnInstanceWithoutAPortIsReachedThroughTheScan) {
    env.query.lists = {instances({entry(8, 80, 0)})};
    env.api.acceptedPorts = {5003};
    EXPECT_EQ(open("render"), &env.api);
    EXPECT_THAT(env.api.connects, ElementsAre("127.0.0.1:5000/1", "127.0.0.1:5001/1",
                                              "127.0.0.1:5002/1", "127.0.0.1:5003/1"));
    EXPECT_THAT(env.sleeps, IsEmpty());
}

TEST_F(FactoryTest, NoPortToTryKeepsTheScanText) {
    struct Range {
        int status;
        std::optional<int> first, last;
    };
    for (const Range& range :
         {Range{0, 5000, 4999}, Range{tal::kMaxPortMissing, 5000, {}},
          Range{tal::kPortMissing, {}, {}}, Range{tal::kNoInstallation, {}, {}}}) {
        linktest::ScriptedEnvironment scripted;
        tal::RepeatLinkFactory fresh(scripted);
        scripted.query.lists = {instances({entry(8, 80, 0)})};
        scripted.portStatus = range.status;
        scripted.firstPort = range.first;
        scripted.lastPort = range.last;
        scripted.api.acceptedPorts = {4999, 5000, -1};
        EXPECT_EQ(fresh.openApi(), nullptr);
        EXPECT_THAT(scripted.api.connects, IsEmpty());
        EXPECT_EQ(fresh.errorText(), failure(tal::kNoPortText));
    }
}

TEST_F(FactoryTest, AnAdvertisedPortThatRefusesIsNotFollowedByAScan) {
    env.query.lists = {instances({entry(8, 80, 5080)})};
    EXPECT_EQ(open("render"), nullptr);
    EXPECT_THAT(env.api.connects, ElementsAre("localhost:5080/4"));
    EXPECT_EQ(factory.errorText(), failure(tal::kNoPortText));
    // The next attempt starts again from the scene API and succeeds.
    env.api.acceptedPorts = {5080};
    EXPECT_EQ(factory.openApi(), &env.api);
    EXPECT_EQ(factory.errorText(), "");
    EXPECT_THAT(env.api.ids, ElementsAre(1u, 1u));
}

TEST_F(FactoryTest, ALinkThatBrokeIsReportedWhenItCloses) {
    env.query.lists = {instances({entry(8, 80, 5080)})};
    env.api.acceptedPorts = {5080};
    env.api.disconnectResult = false;
    ASSERT_EQ(open("render"), &env.api);
    factory.closeApi();
    EXPECT_EQ(factory.errorText(), tal::kLinkLostText);
    EXPECT_EQ(env.events.back(), "freeLibrary");
}

TEST_F(FactoryTest, ASceneTheRendererRefusedIsReportedInTheRenderersWords) {
    env.query.lists = {instances({entry(8, 80, 5080)})};
    env.api.acceptedPorts = {5080};
    env.api.disconnectResult = false;
    env.refusal = "not enough free disk";
    ASSERT_EQ(open("render"), &env.api);
    factory.closeApi();
    EXPECT_EQ(factory.errorText(), std::string(tal::kRefusedPrefix) + "not enough free disk");
    // The reason is asked for while the library that holds it is loaded.
    EXPECT_THAT(std::vector<std::string>(env.events.end() - 2, env.events.end()),
                ElementsAre("refusalReason", "freeLibrary"));
}

TEST_F(FactoryTest, ASceneThatArrivedWholeAsksForNoReason) {
    env.query.lists = {instances({entry(8, 80, 5080)})};
    env.api.acceptedPorts = {5080};
    env.refusal = "stale";
    ASSERT_EQ(open("render"), &env.api);
    factory.closeApi();
    EXPECT_EQ(factory.errorText(), "");
    EXPECT_EQ(std::count(env.events.begin(), env.events.end(), "refusalReason"), 0);
}

}  // namespace
