// vxhost render and update against real renderers: the renderer started from
// the registry, the bytes it receives, what Update sends, and what the user
// sees when no renderer can be reached.
#include <sys/socket.h>

#include "live_world.h"
#include "renderer/link_socket.h"

namespace vxtest {
namespace {

const std::string kStudio = std::string(VX_SOURCE_DIR) + "/examples/studio.json";

// Two meshes, the second one selected.
const std::string kSelection = R"({"name": "chair.c4d", "objects": [
  {"type": "polygon", "name": "Kept", "points": [[0,0,0],[1,0,0],[1,1,0],[0,1,0]], "polygons": [[0,1,2,3]]},
  {"type": "polygon", "name": "Chosen", "selected": true, "position": [5, 0, 0],
   "points": [[0,0,0],[1,0,0],[1,1,0]], "polygons": [[0,1,2]]}]})";

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

using LiveEndToEnd = LiveWorld;

TEST_F(LiveEndToEnd, RenderStartsTheRendererWhichReceivesTheExportedFileLessItsHeader) {
    const ProcessResult render = runProcess({VXHOST_PATH, "render", kStudio});
    ASSERT_EQ(render.exitStatus, 0) << render.err;
    EXPECT_EQ(render.err.find("Failed"), std::string::npos) << render.err;
    ASSERT_EQ(renderers().size(), 1u) << "the renderer was started from the registry";
    const std::string out = dir / "studio.vxs";
    ASSERT_EQ(runProcess({VXHOST_PATH, "export", kStudio, "-o", out}).exitStatus, 0);

    const std::vector<std::string> saved = savedScenes();
    ASSERT_EQ(saved.size(), 1u) << rendererLog();
    const std::string exported = testfiles::readFile(out);
    ASSERT_EQ(exported.rfind(kFileHeader, 0), 0u);
    const std::string received = testfiles::readFile(saved[0]);
    EXPECT_TRUE(received == exported.substr(kFileHeader.size()))
        << received.size() << " bytes received, " << exported.size() - kFileHeader.size()
        << " expected";
    EXPECT_NE(rendererLog().find("scene 1 \"studio\" (render) from client 1: objects 4, "
                                 "triangles 36, materials 4, cameras 2, lights 3, animations 10"),
              std::string::npos)
        << rendererLog();

    // Render again: the renderer holds a scene now, so another one is started.
    ASSERT_EQ(runProcess({VXHOST_PATH, "render", kStudio}).exitStatus, 0);
    EXPECT_EQ(renderers().size(), 2u);
}

TEST_F(LiveEndToEnd, UpdateOfTheHeldSceneKeepsTheViewAndSendsOnlyTheSelectedMeshes) {
    const std::string chair = writeDocument("chair.json", kSelection);
    startRenderer();
    ASSERT_EQ(runProcess({VXHOST_PATH, "render", chair}).exitStatus, 0);
    const ProcessResult update = runProcess({VXHOST_PATH, "update", chair});
    ASSERT_EQ(update.exitStatus, 0) << update.err;
    EXPECT_EQ(renderers().size(), 1u);

    const std::vector<std::string> saved = savedScenes();
    ASSERT_EQ(saved.size(), 2u) << rendererLog();
    const std::string rendered = testfiles::readFile(saved[0]);
    const std::string updated = testfiles::readFile(saved[1]);
    EXPECT_EQ(count(rendered, "\"import_adjust_camera\" on,\n\"import_adjust_environment\" on,"),
              1u);
    EXPECT_EQ(count(updated, "\"import_adjust_camera\" off,\n\"import_adjust_environment\" off,"),
              1u);
    EXPECT_EQ(count(rendered, "object \""), 2u);
    EXPECT_EQ(count(updated, "object \""), 1u);
    EXPECT_EQ(count(updated, "object \"Chosen\""), 1u);
    // Both groups still travel; the model set keeps the mesh that was not sent.
    EXPECT_EQ(count(updated, "group \"Kept\""), 1u);
    EXPECT_NE(
        rendererLog().find("scene 2 \"chair\" (update) from client 1: objects 1, triangles 1,"),
        std::string::npos)
        << rendererLog();
    EXPECT_NE(rendererLog().find("; model set: objects 2, triangles 3,"), std::string::npos);
}

TEST_F(LiveEndToEnd, UpdateOfAnotherRenderersSceneAdjustsTheView) {
    const std::string chair = writeDocument("chair.json", kSelection);
    startRenderer();
    ASSERT_EQ(runProcess({VXHOST_PATH, "render", kStudio}).exitStatus, 0);
    ASSERT_EQ(runProcess({VXHOST_PATH, "update", chair}).exitStatus, 0);
    EXPECT_EQ(renderers().size(), 1u) << "Update takes any running renderer";
    const std::vector<std::string> saved = savedScenes();
    ASSERT_EQ(saved.size(), 2u) << rendererLog();
    const std::string updated = testfiles::readFile(saved[1]);
    EXPECT_EQ(count(updated, "\"import_adjust_camera\" on,\n\"import_adjust_environment\" on,"),
              1u);
    EXPECT_NE(rendererLog().find("scene 2 \"chair\" (render)"), std::string::npos) << rendererLog();
}

TEST_F(LiveEndToEnd, WithoutAnInstallationTheCommandSaysWhyAndFails) {
    testfiles::writeFile(dir / "user.json", "{}");
    const ProcessResult render = runProcess({VXHOST_PATH, "render", kStudio});
    EXPECT_EQ(render.exitStatus, 1);
    EXPECT_NE(render.err.find("Failed to connect. Could not get a scene api. Please check your "
                              "Vantrix installation.\n"),
              std::string::npos)
        << render.err;
    EXPECT_NE(render.err.find("Render in Vantrix (1033591)"), std::string::npos) << render.err;
    EXPECT_TRUE(renderers().empty());
}

TEST_F(LiveEndToEnd, ARendererPortThatAcceptsAndNeverAnswersEndsTheCommandWithItsText) {
    // An instance record of this (running) test process, idle, whose port
    // accepts connections and never says a word.
    int port = 0;
    const int silent = listenOnFreePort(port);
    ASSERT_GE(silent, 0);
    std::filesystem::create_directories(runtime);
    ASSERT_TRUE(vxrenderer::replaceFile(vxrenderer::sceneDescriptionPath(runtime, ::getpid()),
                                        "<scene><modelsets/></scene>"));
    ASSERT_TRUE(vxrenderer::writeRecord(runtime, {8, ::getpid(), port, ""}));
    ::setenv("TALVIK_LIVELINK_TIMEOUT_MS", "500", 1);
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult update = runProcess({VXHOST_PATH, "update", kStudio});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(update.exitStatus, 1);
    EXPECT_NE(update.err.find("Failed to connect. Could not connect on any known port. Please "
                              "check your Vantrix installation and Live Link settings.\n"),
              std::string::npos)
        << update.err;
    ::unlink(vxrenderer::recordPath(runtime, ::getpid()).c_str());
    ::close(silent);
}

}  // namespace
}  // namespace vxtest
