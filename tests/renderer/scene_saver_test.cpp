// The scene saver: kept ranges reach the file in order while buffers go
// round and it appears whole under its final name, a failed write is
// reported at the end and leaves no file, and so does an unfinished scene.
#include "renderer/scene_saver.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/platform/test_files.h"

namespace {

using vxrenderer::SceneSaver;

TEST(SceneSaver, KeptRangesReachTheFileInOrderAsBuffersGoRound) {
    testfiles::TempDir dir;
    SceneSaver saver(64, 2);
    std::string error;
    ASSERT_TRUE(saver.open(dir / ".incoming.vxs", error)) << error;
    std::string expected;
    for (int round = 0; round < 200; ++round) {
        std::unique_ptr<SceneSaver::Buffer> buffer = saver.take();
        ASSERT_EQ(buffer->size(), 64u);
        for (std::size_t i = 0; i < 64; ++i)
            buffer->data()[i] = static_cast<char>('A' + (round + i) % 26);
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
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "named before it is complete";
    ASSERT_TRUE(saver.finish(dir / "scene.vxs", error)) << error;
    EXPECT_EQ(testfiles::readFile(dir / "scene.vxs"), expected);
    EXPECT_EQ(std::filesystem::status(dir / "scene.vxs").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_FALSE(std::filesystem::exists(dir / ".incoming.vxs"));
}

TEST(SceneSaver, AFailedWriteIsReportedWhenTheSceneEndsAndLeavesNoFile) {
    testfiles::TempDir dir;
    // A file-size limit makes the writes fail (with SIGXFSZ ignored, as the
    // renderer has it).
    struct sigaction ignore {
    }, before{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &before);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{40, limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    SceneSaver saver(16, 2);
    std::string error;
    const bool opened = saver.open(dir / ".incoming.vxs", error);
    for (int round = 0; opened && round < 5; ++round) {
        std::unique_ptr<SceneSaver::Buffer> buffer = saver.take();
        buffer->keep(0, 16);
        saver.submit(std::move(buffer));
    }
    const bool finished = opened && saver.finish(dir / "scene.vxs", error);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::sigaction(SIGXFSZ, &before, nullptr);
    ASSERT_TRUE(opened) << error;
    EXPECT_FALSE(finished);
    EXPECT_EQ(error, "File too large");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(SceneSaver, SomethingOtherThanAFileInTheWayIsRefusedWithoutWaiting) {
    testfiles::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / ".incoming.vxs").c_str(), 0600), 0);
    SceneSaver saver(16, 2);
    std::string error;
    EXPECT_FALSE(saver.open(dir / ".incoming.vxs", error));
    EXPECT_EQ(error, "is a FIFO");
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
