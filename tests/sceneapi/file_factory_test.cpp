// The file factory: a fresh export on disk, "-" to the standard output, and
// the failures to open and to close, with removal of an incomplete file.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

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

// A file size limit makes the disk "full" for a regular file: the incomplete
// file is removed, by closeApi (which raises) and by the destructor (which
// does not).
TEST(FileFactory, IncompleteFileIsRemoved) {
    const fs::path closed = scratchFile("incomplete_close.vxs");
    const fs::path destroyed = scratchFile("incomplete_destroy.vxs");
    const int code = inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::close(STDERR_FILENO);  // keep the expected reports out of the test log
        const std::vector<float> values(100000, 1.0f);
        int result = 0;
        {
            LightFileFactory factory(closed.string());
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
            LightFileFactory factory(destroyed.string());
            talSceneapi_oo scene(&factory);
            scene.setParameter("v", values);
        }
        return result;
    });
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(fs::exists(closed));
    EXPECT_FALSE(fs::exists(destroyed));
}

}  // namespace
}  // namespace tal::test
