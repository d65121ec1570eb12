#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/regular_file.h"
#include "test_files.h"

namespace {

using testfiles::readFile;
using testfiles::TempDir;
using testfiles::writeFile;

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool writeAll(platform::AtomicFile& file, const std::string& text) {
    return ::write(file.fd(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

TEST(AtomicFile, ReplacesTheEarlierFileOnlyOnCommit) {
    TempDir dir;
    const std::string path = dir / "scene.vxs";
    writeFile(path, "earlier");
    ::chmod(path.c_str(), 0640);
    {
        platform::AtomicFile file;
        std::string error;
        ASSERT_TRUE(file.open(path, error)) << error;
        ASSERT_TRUE(writeAll(file, "newer"));
        EXPECT_EQ(readFile(path), "earlier");
        ASSERT_TRUE(file.commit(error)) << error;
    }
    EXPECT_EQ(readFile(path), "newer");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"scene.vxs"});
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "a replaced file keeps its permissions";
}

TEST(AtomicFile, AnAbandonedWriteKeepsTheEarlierFileAndLeavesNothing) {
    TempDir dir;
    const std::string path = dir / "scene.vxs";
    writeFile(path, "earlier");
    {
        platform::AtomicFile file;
        std::string error;
        ASSERT_TRUE(file.open(path, error)) << error;
        std::FILE* stream = file.stream();
        ASSERT_NE(stream, nullptr);
        std::fputs("half of a scene", stream);
    }
    EXPECT_EQ(readFile(path), "earlier");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"scene.vxs"});

    // A new file that is abandoned does not appear at all.
    platform::AtomicFile file;
    std::string error;
    ASSERT_TRUE(file.open(dir / "new.vxs", error)) << error;
    file.discard();
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"scene.vxs"});
}

TEST(AtomicFile, AKilledWriterLeavesTheEarlierFileAndNoTemporary) {
    TempDir dir;
    const std::string path = dir / "scene.vxs";
    writeFile(path, "earlier");
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            platform::installOutputSignalCleanup();
            platform::AtomicFile file;
            std::string error;
            if (!file.open(path, error)) ::_exit(3);
            writeAll(file, std::string(1 << 20, 'x'));
            (void)!::write(ready[1], "r", 1);
            for (;;) ::pause();
        }
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(readFile(path), "earlier") << "signal " << signal;
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"scene.vxs"})
            << "signal " << signal;
    }
}

TEST(AtomicFile, StaleTemporariesOfEndedProcessesAreCleared) {
    TempDir dir;
    const std::string path = dir / "scene.vxs";
    // No process has this number: pid_max is at most 2^22.
    writeFile(dir / ".scene.vxs.part-99999999-abcdef", "left by a SIGKILL");
    writeFile(dir / ".other.vxs.part-99999999-abcdef", "another target's");
    std::string error;
    ASSERT_TRUE(platform::writeFileAtomically(path, "new", 3, error)) << error;
    EXPECT_EQ(entries(dir.path()),
              (std::vector<std::string>{".other.vxs.part-99999999-abcdef", "scene.vxs"}));
}

TEST(AtomicFile, LinksAreFollowedAndFoldersAndDanglingLinksRefused) {
    TempDir dir;
    writeFile(dir / "v3.vxs", "old");
    ASSERT_EQ(::symlink("v3.vxs", (dir / "latest.vxs").c_str()), 0);
    std::string error;
    ASSERT_TRUE(platform::writeFileAtomically(dir / "latest.vxs", "new", 3, error)) << error;
    EXPECT_EQ(readFile(dir / "v3.vxs"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "latest.vxs"));

    ASSERT_EQ(::symlink("missing.vxs", (dir / "dangling.vxs").c_str()), 0);
    EXPECT_FALSE(platform::writeFileAtomically(dir / "dangling.vxs", "x", 1, error));
    EXPECT_EQ(error, "is a symbolic link to a missing file");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.vxs"));

    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(platform::writeFileAtomically(dir / "folder", "x", 1, error));
    EXPECT_EQ(error, "is a folder");
    EXPECT_FALSE(platform::writeFileAtomically(dir / "no/such/folder.vxs", "x", 1, error));
}

TEST(AtomicFile, DevicesAreWrittenInPlace) {
    platform::AtomicFile file;
    std::string error;
    ASSERT_TRUE(file.open("/dev/null", error)) << error;
    EXPECT_TRUE(file.inPlace());
    ASSERT_TRUE(writeAll(file, "gone"));
    EXPECT_TRUE(file.commit(error)) << error;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

TEST(AtomicFile, OwnerOnlyFilesIgnoreTheUmaskAndTheEarlierMode) {
    TempDir dir;
    writeFile(dir / "saved.vxs", "old");
    ::chmod((dir / "saved.vxs").c_str(), 0644);
    std::string error;
    platform::AtomicFileOptions ownerOnly;
    ownerOnly.newMode = 0600;
    ownerOnly.exactMode = true;
    ASSERT_TRUE(platform::writeFileAtomically(dir / "saved.vxs", "new", 3, error, ownerOnly));
    struct stat info {};
    ASSERT_EQ(::stat((dir / "saved.vxs").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(RegularFile, FifosDevicesAndFoldersAreRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string bytes;
    std::string error;
    // A FIFO without a writer would block an ordinary open for ever.
    EXPECT_FALSE(platform::readRegularFile(dir / "fifo", bytes, error));
    EXPECT_EQ(error, "is a FIFO, not a regular file");
    EXPECT_FALSE(platform::readRegularFile(dir.path(), bytes, error));
    EXPECT_EQ(error, "is a folder, not a regular file");
    EXPECT_FALSE(platform::readRegularFile("/dev/zero", bytes, error));
    EXPECT_EQ(error, "is a device, not a regular file");
    EXPECT_EQ(platform::nonRegularKind(dir / "fifo"), "a FIFO");

    writeFile(dir / "file", "12345");
    ASSERT_TRUE(platform::readRegularFile(dir / "file", bytes, error)) << error;
    EXPECT_EQ(bytes, "12345");
    EXPECT_FALSE(platform::readRegularFile(dir / "file", bytes, error, 4));
    EXPECT_EQ(error, "larger than 4 bytes");
}

}  // namespace

namespace {

TEST(RegularFile, LogsAppendUntilTheirLimitAndRefuseFifosWithoutWaiting) {
    TempDir dir;
    const std::string log = dir / "sceneapi.log";
    std::string error;
    for (const char* line : {"one\n", "two\n"}) {
        std::FILE* stream = platform::openRegularLog(log, 8, error);
        ASSERT_NE(stream, nullptr) << error;
        std::fputs(line, stream);
        std::fclose(stream);
    }
    EXPECT_EQ(readFile(log), "one\ntwo\n");
    std::FILE* stream = platform::openRegularLog(log, 8, error);  // at the limit: emptied
    ASSERT_NE(stream, nullptr) << error;
    std::fputs("three\n", stream);
    std::fclose(stream);
    EXPECT_EQ(readFile(log), "three\n");

    // Opening a FIFO for writing would wait for a reader for ever.
    ASSERT_EQ(::mkfifo((dir / "fifo.log").c_str(), 0600), 0);
    EXPECT_EQ(platform::openRegularLog(dir / "fifo.log", 8, error), nullptr);
    EXPECT_EQ(error, "is a FIFO, not a regular file");
    EXPECT_EQ(platform::openRegularLog(dir.path(), 8, error), nullptr);
    EXPECT_EQ(error, "is a folder, not a regular file");
}

}  // namespace
