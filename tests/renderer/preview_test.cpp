// The renderer's previews: a picture beside each saved scene, drawn after the
// answer, named in the summary; an Update draws the model set again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "renderer/link_socket.h"
#include "renderer/preview_worker.h"
#include "server_fixture.h"
#include "tests/platform/test_files.h"

namespace {

using namespace vxtest;

const std::string kPngSignature = "\x89PNG\r\n\x1a\n";

// A scene as the plug-in sends it: options, a camera and the document group.
// `adjust` off marks an Update.
std::string documentScene(bool adjust, const std::string& objects) {
    return std::string("load \"talrtopt.so\" {\n\"import_adjust_camera\" ") +
           (adjust ? "on" : "off") +
           ",\n}\ncamera \"Cam\" {\n}\ngroup \"doc\" {\nattribute \"source file\" \"source "
           "file\"\n" +
           objects + "}\n";
}

std::string triangle(const std::string& name) {
    return "group \"" + name + "\" {\nobject \"" + name +
           "\" {\ngeometry \"triangles\" {\n\"vertices\" [ 0 0 0 1 0 0 0 1 0 ] ,\n"
           "\"triangles\" [ 0 1 2 ] ,\n}\n}\n}\n";
}

class PreviewTest : public ServerFixture {
protected:
    void startPreviewing() {
        vxrenderer::PreviewSettings settings;
        settings.enabled = true;
        settings.width = 8;
        settings.height = 6;
        settings.samples = 1;
        startServer(5000, -1, settings);
    }
    // Sends one scene as a client does; answers the renderer's answer line.
    std::string send(const std::string& scene) {
        std::string error;
        const int fd = vxrenderer::connectLoopback("127.0.0.1", port, 1000, error);
        std::string line;
        EXPECT_TRUE(vxrenderer::readLine(fd, line, 1000, error)) << error;
        const std::string stream = "client 5 " + token() + "\ndata " +
                                   std::to_string(scene.size()) + "\n" + scene + "end\n";
        EXPECT_TRUE(vxrenderer::sendAll(fd, stream.data(), stream.size(), 2000, error)) << error;
        EXPECT_TRUE(vxrenderer::readLine(fd, line, 2000, error)) << error;
        ::close(fd);
        return line;
    }
    // Waits (at most 10 s) for the log to hold `text`.
    bool logged(const std::string& text) const {
        const Clock::time_point start = Clock::now();
        while (logText().find(text) == std::string::npos) {
            if (secondsSince(start) > 10) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    std::string scenePath(int number) const {
        return dir / ("scenes/scene-" + std::to_string(::getpid()) + "-" + std::to_string(number) +
                      "-doc.vxs");
    }
};

TEST_F(PreviewTest, APictureIsWrittenBesideTheSavedSceneAndNamedInTheSummary) {
    startPreviewing();
    EXPECT_EQ(send(documentScene(true, triangle("A"))).rfind("ok 1 ", 0), 0u);
    const std::string picture = vxrenderer::picturePathFor(scenePath(1));
    EXPECT_EQ(picture, dir / ("scenes/scene-" + std::to_string(::getpid()) + "-1-doc.png"));
    ASSERT_TRUE(logged("scene 1 preview: wrote " + picture + " (8 x 6, 1 paths per pixel"))
        << logText();
    EXPECT_NE(logText().find("; saved " + scenePath(1) + "; preview " + picture + "\n"),
              std::string::npos)
        << logText();
    EXPECT_EQ(testfiles::readFile(picture).substr(0, 8), kPngSignature);
}

TEST_F(PreviewTest, AnUpdateDrawsTheModelSetAgain) {
    startPreviewing();
    send(documentScene(true, triangle("A") + triangle("B")));
    ASSERT_TRUE(logged("scene 1 preview: wrote")) << logText();
    EXPECT_EQ(send(documentScene(false, triangle("A"))).rfind("ok 2 ", 0), 0u);
    ASSERT_TRUE(logged("scene 2 preview: wrote")) << logText();
    EXPECT_NE(logText().find("\"doc\" (update)"), std::string::npos) << logText();
    EXPECT_EQ(logText().find("drawn alone"), std::string::npos) << logText();
    EXPECT_EQ(testfiles::readFile(vxrenderer::picturePathFor(scenePath(2))).substr(0, 8),
              kPngSignature);
}

TEST_F(PreviewTest, AFailedPictureIsOneLineAndTheRendererGoesOn) {
    startPreviewing();
    // A folder where the first picture goes: it cannot be written.
    fs::create_directories(vxrenderer::picturePathFor(scenePath(1)));
    EXPECT_EQ(send(documentScene(true, triangle("A"))).rfind("ok 1 ", 0), 0u);
    ASSERT_TRUE(logged("scene 1 preview failed: ")) << logText();
    EXPECT_EQ(send(documentScene(true, triangle("A"))).rfind("ok 2 ", 0), 0u);
    EXPECT_TRUE(logged("scene 2 preview: wrote")) << logText();
}

TEST_F(PreviewTest, PreviewsAreOffUnlessAskedFor) {
    startServer();
    send(documentScene(true, triangle("A")));
    stopServer();
    EXPECT_EQ(logText().find("preview"), std::string::npos) << logText();
    EXPECT_FALSE(fs::exists(vxrenderer::picturePathFor(scenePath(1))));
}

}  // namespace
