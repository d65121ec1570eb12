// The scene saver: kept ranges reach the file in order while buffers go
// round, a failed write is reported at the end, and an unfinished scene
// leaves no file.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "renderer/scene_saver.h"
#include "tests/platform/test_files.h"

namespace {

using vxrenderer::SceneSaver;

TEST(SceneSaver, KeptRangesReachTheFileInOrderAsBuffersGoRound) {
    testfiles::TempDir dir;
    SceneSaver saver(64, 2);
    std::string error;
    ASSERT_TRUE(saver.open(dir / "scene.vxs", error)) << error;
    std::string expected;
    for (int round = 0; round < 200; ++round) {
        std::unique_ptr<SceneSaver::Buffer> buffer = saver.take();
        ASSERT_EQ(buffer->size(), 64u);
        for (std::size_t i = 0; i < 64; ++i) buffer->data()[i] = static_cast<char>('A' + (round + i) % 26);
        // Like a receive buffer: a message line, then scene bytes in two
        // runs; some buffers hold no scene bytes at all.
        if (round % 5 != 0) {
            const std::size_t cut = static_cast<std::size_t>(round % 64);
            buffer->keep(0, cut / 2);
            buffer->keep(cut / 2, cut / 3);  // joins the run before
            buffer->keep(cut, 64 - cut);
            expected.append(buffer->data(), cut / 2 + cut / 3);
            expected.append(buffer->data() + cut, 64 - cut);
        }
        saver.submit(std::move(buffer));
    }
    ASSERT_TRUE(saver.finish(error)) << error;
    EXPECT_EQ(testfiles::readFile(dir / "scene.vxs"), expected);
}

TEST(SceneSaver, AFailedWriteIsReportedWhenTheSceneEnds) {
    testfiles::TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir / "full.vxs");
    SceneSaver saver(16, 2);
    std::string error;
    ASSERT_TRUE(saver.open(dir / "full.vxs", error)) << error;
    for (int round = 0; round < 5; ++round) {
        std::unique_ptr<SceneSaver::Buffer> buffer = saver.take();
        buffer->keep(0, 16);
        saver.submit(std::move(buffer));
    }
    EXPECT_FALSE(saver.finish(error));
    EXPECT_EQ(error, "No space left on device");
}

TEST(SceneSaver, AnUnfinishedSceneLeavesNoFile) {
    testfiles::TempDir dir;
    std::string error;
    {
        SceneSaver discarded(16, 2);
        ASSERT_TRUE(discarded.open(dir / "a.vxs", error)) << error;
        std::unique_ptr<SceneSaver::Buffer> buffer = discarded.take();
        buffer->keep(0, 16);
        discarded.submit(std::move(buffer));
        discarded.discard();
        SceneSaver dropped(16, 2);
        ASSERT_TRUE(dropped.open(dir / "b.vxs", error)) << error;
        dropped.submit(dropped.take());
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    SceneSaver nowhere(16, 2);
    EXPECT_FALSE(nowhere.open(dir / "no/such/folder.vxs", error));
    EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
