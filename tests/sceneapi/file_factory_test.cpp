// The file factory: a fresh export on disk, "-" to the standard output, and
// the failures to open and to close, and what a failed export leaves.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sceneapi/default_rt_module.h"
#include "sceneapi/light_file_factory.h"
#include "sceneapi/sceneapi_oo.h"
#include "test_support.h"
#include "tests/platform/test_files.h"

namespace tal::test {
namespace {

namespace fs = std::filesystem;

fs::path scratchFile(const std::string& name) {
    static const testfiles::TempDir dir("vx-sceneapi");
    return fs::path(dir.path()) / name;
}

void writeFreshExport(LightFileFactory& factory) {
    talSceneapi_oo scene(&factory);
    DefaultRTModule options;
    scene.add(options);
}

// Runs `child` in a forked process and answers its exit code (-1: killed).
template <class Child>
int inChild(Child child) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = child();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FileFactory, FreshExportStartsWithHeaderBannerAndOptions) {
    const fs::path path = scratchFile("fresh.vxs");
    {
        LightFileFactory factory(path.string());
        writeFreshExport(factory);
        factory.closeApi();
        factory.closeApi();  // closing twice is harmless
    }
    const std::string text = readFile(path);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    expectGolden("fresh_export.vxs", text);
    fs::remove(path);
}

TEST(FileFactory, DashWritesTheSceneToStandardOutput) {
    const fs::path out = scratchFile("stdout.txt");
    const fs::path err = scratchFile("stderr.txt");
    const int code = inChild([&] {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(o, STDOUT_FILENO);
        ::dup2(e, STDERR_FILENO);
        LightFileFactory factory("-");
        std::printf("other output\n");  // now goes to stderr
        std::fflush(stdout);
        writeFreshExport(factory);
        factory.closeApi();
        return 0;
    });
    ASSERT_EQ(code, 0);
    expectGolden("fresh_export.vxs", readFile(out));
    EXPECT_EQ(readFile(err), "other output\n");
    fs::remove(out);
    fs::remove(err);
}

TEST(FileFactory, UnopenablePathIsReportedAndRaised) {
    const std::string path = (scratchFile("no_such_dir") / "scene.vxs").string();
    testing::internal::CaptureStderr();
    try {
        LightFileFactory factory(path);
        ADD_FAILURE() << "opened " << path;
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "could not open file: \"" + path + "\"");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "opening file: No such file or directory\n");
}

TEST(FileFactory, FullDeviceFailsTheCloseAndIsLeftInPlace) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    testing::internal::CaptureStderr();
    LightFileFactory factory("/dev/full");
    writeFreshExport(factory);
    try {
        factory.closeApi();
        ADD_FAILURE() << "the close on a full device succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "could not close file");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "closing file: No space left on device\n");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_NO_THROW(factory.closeApi());
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A file size limit makes the disk "full" for a regular file: the export
// fails, by closeApi (which raises) and by the destructor (which does not),
// and the earlier scene at each path stays as it was, with nothing beside it.
TEST(FileFactory, AFailedExportKeepsTheEarlierFileAndLeavesNothingBeside) {
    const testfiles::TempDir dir;
    const std::string closed = dir / "closed.vxs";
    const std::string destroyed = dir / "destroyed.vxs";
    testfiles::writeFile(closed, "earlier scene");
    testfiles::writeFile(destroyed, "earlier scene");
    const int code = inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::close(STDERR_FILENO);  // keep the expected reports out of the test log
        const std::vector<float> values(100000, 1.0f);
        int result = 0;
        {
            LightFileFactory factory(closed);
            talSceneapi_oo scene(&factory);
            scene.setParameter("v", values);
            try {
                factory.closeApi();
                result |= 1;
            } catch (const std::runtime_error& e) {
                if (std::string(e.what()) != "could not close file") result |= 2;
            }
        }
        {
            LightFileFactory factory(destroyed);
            talSceneapi_oo scene(&factory);
            scene.setParameter("v", values);
        }
        return result;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(testfiles::readFile(closed), "earlier scene");
    EXPECT_EQ(testfiles::readFile(destroyed), "earlier scene");
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"closed.vxs", "destroyed.vxs"}));
}

// A conversion that throws part way leaves a partial scene: the factory that
// the exception unwinds drops it, even though nothing failed to write.
TEST(FileFactory, AnExceptionThroughTheExportKeepsTheEarlierFile) {
    const testfiles::TempDir dir;
    const std::string path = dir / "scene.vxs";
    testfiles::writeFile(path, "earlier scene");
    try {
        LightFileFactory factory(path);
        writeFreshExport(factory);
        throw std::logic_error("conversion failed");
    } catch (const std::logic_error&) {
    }
    EXPECT_EQ(testfiles::readFile(path), "earlier scene");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"scene.vxs"});
}

// Until closeApi the path shows the earlier file; afterwards the new scene,
// with the earlier file's permissions, through the link that named it.
TEST(FileFactory, ACompletedExportReplacesTheFileAtOnceKeepingItsModeAndLinks) {
    const testfiles::TempDir dir;
    const std::string target = dir / "real.vxs";
    const std::string link = dir / "link.vxs";
    testfiles::writeFile(target, "earlier scene");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.vxs", link.c_str()), 0);
    {
        LightFileFactory factory(link);
        writeFreshExport(factory);
        EXPECT_EQ(testfiles::readFile(target), "earlier scene");
        factory.closeApi();
    }
    expectGolden("fresh_export.vxs", testfiles::readFile(target));
    EXPECT_TRUE(fs::is_symlink(link));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"link.vxs", "real.vxs"}));
}

TEST(FileFactory, FoldersAndDanglingLinksAreRefusedWithTheirReason) {
    const testfiles::TempDir dir;
    const std::string dangling = dir / "dangling.vxs";
    ASSERT_EQ(::symlink("missing/scene.vxs", dangling.c_str()), 0);
    const struct {
        std::string path, report;
    } cases[] = {{dir.path(), "opening file: is a folder\n"},
                 {dangling, "opening file: is a symbolic link to a missing file\n"}};
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_THROW(LightFileFactory factory(c.path), std::runtime_error) << c.path;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.report);
    }
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

// A FIFO is written in place: its reader gets the whole scene.
TEST(FileFactory, AFifoIsWrittenInPlaceForItsReader) {
    const testfiles::TempDir dir;
    const std::string fifo = dir / "pipe.vxs";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = testfiles::readFile(fifo); });
    {
        LightFileFactory factory(fifo);
        writeFreshExport(factory);
        factory.closeApi();
    }
    reader.join();
    expectGolden("fresh_export.vxs", received);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

}  // namespace
}  // namespace tal::test
