#include <unistd.h>

#include "livelink/vantrixlive_loader.h"
#include "tests/livelink/live_fixture.h"

namespace {

using livetest::LiveTest;
using tal::tal_free_live_loader;
using tal::tal_get_query_api;
using tal::tal_get_scene_api;

class LoaderTest : public LiveTest {
protected:
    void install(const char* library, const std::string& path) {
        std::filesystem::copy_file(library, path);
    }
    // Log lines that hold `text`.
    std::vector<std::string> logged(const std::string& text) const {
        std::vector<std::string> found;
        for (const std::string& line : logLines()) {
            if (line.find(text) != std::string::npos) found.push_back(line);
        }
        return found;
    }
};

// Runs the test body in another current folder and comes back.
class ScopedChdir {
public:
    explicit ScopedChdir(const std::string& path) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~ScopedChdir() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

TEST_F(LoaderTest, TriesTheFolderThenTheCurrentFolderThirtyTwoFirst) {
    EXPECT_EQ(tal_get_scene_api(7, 8), nullptr);
    EXPECT_EQ(libraries.attempts,
              (std::vector<std::string>{binFolder + "/talvantrixlive6_32.so",
                                        binFolder + "/talvantrixlive6_64.so",
                                        "./talvantrixlive6_32.so", "./talvantrixlive6_64.so"}));
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "vantrixlive_loader:153 - 14:03:07.000 DEBUG4:  " + binFolder,
                  "vantrixlive_loader:218 - 14:03:07.000 DEBUG4:  initialize shared handle: 0",
                  "vantrixlive_loader:234 - 14:03:07.000 WARNING:  NO shared handle"}));
}

TEST_F(LoaderTest, InstallationsBelowSixUseTheOldBaseName) {
    EXPECT_EQ(
        tal::liveLibraryCandidates("D:/r/bin", 5),
        (std::vector<std::string>{"D:/r/bin/talvantrixlive32.so", "D:/r/bin/talvantrixlive64.so",
                                  "./talvantrixlive32.so", "./talvantrixlive64.so"}));
    registerVersion(5);
    EXPECT_EQ(tal_get_scene_api(5, 8), nullptr);
    EXPECT_EQ(libraries.attempts.front(), binFolder + "/talvantrixlive32.so");
    EXPECT_EQ(tal::liveLibraryCandidates("/b", 6).front(), "/b/talvantrixlive6_32.so");
}

TEST_F(LoaderTest, LoadsTheFirstFileThatLoads) {
    install(LIVE_OK_LIBRARY, binFolder + "/talvantrixlive6_64.so");
    EXPECT_NE(tal_get_scene_api(7, 8), nullptr);
    EXPECT_EQ(libraries.loaded, std::vector<std::string>{binFolder + "/talvantrixlive6_64.so"});
    tal_free_live_loader();

    install(LIVE_OK_LIBRARY, binFolder + "/talvantrixlive6_32.so");
    EXPECT_NE(tal_get_scene_api(7, 8), nullptr);
    EXPECT_EQ(libraries.loaded.back(), binFolder + "/talvantrixlive6_32.so");
}

TEST_F(LoaderTest, FallsBackToTheCurrentFolder) {
    const std::string work = dir / "work";
    std::filesystem::create_directories(work);
    install(LIVE_OK_LIBRARY, work + "/talvantrixlive6_64.so");
    ScopedChdir inWork(work);
    EXPECT_NE(tal_get_query_api(7, 8), nullptr);
    EXPECT_EQ(libraries.loaded, std::vector<std::string>{"./talvantrixlive6_64.so"});
}

TEST_F(LoaderTest, WithoutAnInstallationNothingIsLoadedOrLogged) {
    registerVersion(0);
    EXPECT_EQ(tal_get_scene_api(7, 8), nullptr);
    EXPECT_EQ(tal_get_query_api(7, 8), nullptr);
    EXPECT_TRUE(libraries.attempts.empty());
    EXPECT_FALSE(std::filesystem::exists(resources + "/sceneapi.log"));
}

TEST_F(LoaderTest, LibraryWithoutTheEntryPointIsUnloadedAgain) {
    install(LIVE_NOENTRY_LIBRARY, binFolder + "/talvantrixlive6_32.so");
    EXPECT_EQ(tal_get_scene_api(7, 8), nullptr);
    EXPECT_EQ(libraries.loaded.size(), 1u);
    EXPECT_EQ(libraries.closes, 1);
    EXPECT_EQ(
        logged("Vantrix live: "),
        std::vector<std::string>{"vantrixlive_loader:245 - 14:03:07.000 DEBUG4:  Vantrix live: 0"});
    EXPECT_TRUE(logged("NO shared handle").empty());
    EXPECT_EQ(tal_get_query_api(7, 8), nullptr);  // tries again from scratch
    EXPECT_EQ(libraries.loaded.size(), 2u);
    EXPECT_EQ(libraries.closes, 2);
}

TEST_F(LoaderTest, EntryPointThatAnswersNoneLeavesNothingLoaded) {
    install(LIVE_NONE_LIBRARY, binFolder + "/talvantrixlive6_32.so");
    EXPECT_EQ(tal_get_query_api(7, 8), nullptr);
    EXPECT_EQ(libraries.closes, 1);
    EXPECT_EQ(logged("Vantrix live: 0").size(), 1u);
}

TEST_F(LoaderTest, TwoGettersLoadOnceAndFreeingDeletesTheRootBeforeUnloading) {
    install(LIVE_OK_LIBRARY, binFolder + "/talvantrixlive6_32.so");
    tal::talQuery_api* query = tal_get_query_api(7, 8);
    tal::talScene_api* scene = tal_get_scene_api(7, 8);
    ASSERT_NE(query, nullptr);
    ASSERT_NE(scene, nullptr);
    EXPECT_STREQ(query->instanceList(), "<instances/>");
    EXPECT_EQ(tal_get_query_api(100, 200), query);  // the loaded library, whatever the range
    EXPECT_EQ(libraries.attempts.size(), 1u);
    EXPECT_EQ(logged("initialize shared handle: ").size(), 1u);
    // The query getter logs the loader it finds: none at first, then the loaded one.
    const auto queryLines = logged("tal_get_query_api -> vantrix_live_loader: ");
    ASSERT_EQ(queryLines.size(), 2u);
    EXPECT_EQ(queryLines[0],
              "vantrixlive_loader:282 - 14:03:07.000 DEBUG4:  "
              "tal_get_query_api -> vantrix_live_loader: 0");
    EXPECT_NE(queryLines[1].find("vantrix_live_loader: 0x"), std::string::npos) << queryLines[1];

    tal_free_live_loader();
    EXPECT_EQ(libraries.closes, 1);
    EXPECT_EQ(libraries.rootsDestroyedAtClose, 1);
    tal_free_live_loader();  // nothing left to free
    EXPECT_EQ(libraries.closes, 1);
}

}  // namespace
